#!/bin/bash
# lumentrax.exe given a /ip: value of 10,000 characters, then an address box text of 300
# characters started by hand: no crash, exit code 0, and the saved history holds each
# address cut to 255 characters, in a well-formed settings file (every line a section
# or a key, exactly the 34 keys the program writes, each History value within 255).
set -u
. "$(dirname "$0")/../e2e_common.sh"
e2e_setup_driven long-addresses "$@"

# Texts with a position pattern, so a cut in the wrong place shows: "a00000b00006c..."
pattern() {
    local length=$1 text='' n=0 letters=abcdefghijklmnopqrstuvwxyz
    while [ ${#text} -lt "$length" ]; do
        text+=$(printf '%s%05d' "${letters:n % 26:1}" ${#text})
        n=$((n + 1))
    done
    printf '%s' "${text:0:length}"
}
long_option=$(pattern 10000)
box_text=BOX-$(pattern 296 | tr a-z A-Z)

# 1. The 10,000-character option: the program starts with its first 255 characters
#    in the address box; such a name does not resolve, so the button stays on Start.
e2e_start_and_wait "long /ip: " 0 "/ip:$long_option"
drive settle 30
check "long /ip: the Start it posted itself has been handled" 0 $?
check "long /ip: address box holds the first 255 characters" "${long_option:0:255}" "$(drive text)"
check "long /ip: unresolvable name leaves the button on Start" "Start" "$(drive button)"
close_and_check_exit

# 2. 300 characters typed into the address box, then Start.
e2e_start_and_wait "long box text: " 0
drive set-address "$box_text"
check "long box text: text set" 0 $?
shown=$(drive text)
check "long box text: the box holds all 300 characters" "$box_text" "$shown"
drive start-stop 30
check "long box text: Start handled" 0 $?
check "long box text: unresolvable name leaves the button on Start" "Start" "$(drive button)"
close_and_check_exit

# The settings file: section headers, KEY=VALUE lines and blank lines only; the 34 keys,
# each once; the history as remembered, most recent first.
tr -d '\r' <"$ini" >"$work/saved.txt"
check "every line a section, a key or blank" 0 \
    "$(grep -cvE '^(\[[A-Za-z]+\]|[A-Za-z0-9]+=.*|)$' "$work/saved.txt")"
keys=$(grep -oE '^[A-Za-z0-9]+=' "$work/saved.txt" | tr -d '=' | sort | tr '\n' ' ')
expected_keys=$(settings_saved_keys | sed 's|.*/||' | sort | tr '\n' ' ')
check "exactly the 34 keys, each once" "$expected_keys" "$keys"
check "longest History value" 255 "$(awk '/^\[History\]/ { h = 1; next } /^\[/ { h = 0 } h && /=/ {
    v = substr($0, index($0, "=") + 1); if (length(v) > m) m = length(v) } END { print m + 0 }' "$work/saved.txt")"
check "H0, H1: the box text and the option cut to 255; H2 the preset host" \
    "${box_text:0:255} ${long_option:0:255} one.one.one.one" "$(ini_values "$ini" History H0 History H1 History H2)"
for n in $(seq 3 15); do check "H$n empty" "" "$(ini_value "$ini" History H$n)"; done
finish
