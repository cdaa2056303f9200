#!/bin/bash
# lumentrax-trace.exe under Wine and the native runner in one lab: the same report in each
# form (TSV, CSV, JSON, Prometheus) but for times, line endings too, past the silent
# router and into the silent tail (9 monitor echoes per run to the dropping router keep
# its rule in phase); the CSV and JSON read by real parsers name the lab's route, the
# silent hop without round trips and the dropping router's exact loss; a name outside
# the code page resolves and is reported in UTF-8 by both; an interrupt ends the exe's
# echo under way; no ICMP.DLL: one line.
# Usage: lab_trace_runners_test.sh LUMENTRAX_TRACE_EXE NATIVE_LUMENTRAX_TRACE
set -u
. "$(dirname "$0")/e2e_common.sh"
native=$2
require_root
[ -x "$native" ] || { echo "no native runner at $native" >&2; [ "${CI:-}" != true ] && exit 77; exit 1; }
# The tail's name holds a letter outside the code page. Linux looks it up as it stands,
# Windows in its ASCII form (as for DNS), so the hosts file holds both.
name=ziel-ü.lab.test
e2e_setup_prefix trace-runners <(echo "tail $name $(python3 -c 'import sys; print(sys.argv[1].encode("idna").decode())' $name)")
e2e_add_program "$1"
exe=$work/$(basename "$1")

# A report in FORM with its times masked, read by a parser for CSV and JSON: TSV fields
# 1-3 and 8-10; CSV, JSON and Prometheus with every nonempty time as "t".
masked() {
    case $1 in
        tsv) tr -d '\r' <<<"$2" | cut -f1-3,8-10 ;;
        csv) python3 -c 'import csv, sys
for row in csv.reader(open(0, newline="")):
    print("\t".join(row[:3] + [f and "t" for f in row[3:7]] + row[7:10] + ["t"] + row[11:17] + [f and "t" for f in row[17:]]))' <<<"$2" ;;
        json) jq -c 'def t: with_entries(if (.key | endswith("Ms")) and .value != null then .value = "t" else . end);
                     (.start, .end, .elapsedMs, .host) = "t" | .hops[] |= (t | .interval |= t)' <<<"$2" ;;
        prometheus) sed -E 's/^(lumentrax_hop_[a-z]+_rtt_seconds\{.*\}) .*/\1 t/' <<<"$2" ;;
    esac
}

# Both runners on HOST for STEPS steps in each form, their reports side by side; ROUTE
# the addresses.
compare_runners() {
    local form linux windows status json r3 received
    for form in tsv csv json prometheus; do
        linux=$(in_client "$native" --format $form --timeout 300 --steps "$2" "$1"); status=$?
        windows=$(wine_in_lab "$exe" --format $form --timeout 300 --steps "$2" "$1")
        check "$1 $form: both statuses" "0 0" "$status $?"
        paste <(tr -d '\r' <<<"$linux") <(tr -d '\r' <<<"$windows")
        check "$1 $form: same report but for times" "$(masked $form "$linux")" "$(masked $form "$windows")"
        check "$1 $form: same line ends" "$(tr -dc '\r\n' <<<"$linux" | od -c)" "$(tr -dc '\r\n' <<<"$windows" | od -c)"
        [ $form = tsv ] && check "$1: route" "$3" "$(route "$windows")"
        [ $form = json ] && json=$windows
        [ $form = csv ] && check "$1 csv: header and route" "address $3" \
            "$(masked csv "$windows" | cut -f2 | paste -sd' ')"
    done
    check "$1 json: target, address, route" "$1 $1 $3" \
        "$(jq -r '"\(.target) \(.address) \([.hops[].address] | join(" "))"' <<<"$json")"
    check "$1 json: silent hops without name, echoes, round trips or loss" true \
        "$(jq '[.hops[] | select(.address == "0.0.0.0") | [.name, .sent, .lastMs, .averageMs, .bestMs, .worstMs, .lossPercent]]
               | length > 0 and all(. == [null, 0, null, null, null, null, null])' <<<"$json")"
    # Sent, what the dropping router answers of them, and the share lost to two decimals.
    r3=$(jq -r --arg a "$LAB_HOP3" '.hops[] | select(.address == $a) | "\(.sent) \(.received) \(.lossPercent)"' <<<"$json")
    received=$(dropping_router_expected "${r3%% *}")
    check "$1 json: the dropping router's exact loss" "$(awk -v s="${r3%% *}" -v r="${received%% *}" 'BEGIN {
        l = s > 0 ? sprintf("%.2f", (s - r) * 100 / s) : "-"; sub(/\.?0+$/, "", l); print s, r, l }')" "$r3"
}

compare_runners "$LAB_TARGET" 40 "$LAB_ROUTE"
compare_runners "$LAB_TAIL_TARGET" 60 "$LAB_TAIL_ROUTE"

# Both runners resolve the name outside the code page and report it as given, in UTF-8
# (the terminal's: Wine takes the command line from it), and neither takes an address
# with more text after a blank for that address.
given_name() {
    LC_ALL=C.UTF-8 "$@" --steps 0 --format json "$name" | jq -r '"\(.target) \(.address)"'
    "$@" --steps 0 "$LAB_TARGET x" >/dev/null 2>&1
    echo $?
}
check "a name outside the code page, an address and more: Linux, Windows" \
    "$name $LAB_TAIL_TARGET 1|$name $LAB_TAIL_TARGET 1" \
    "$(given_name in_client "$native" | paste -sd' ')|$(given_name wine_in_lab "$exe" | paste -sd' ')"

check_interrupted_echo "$work/out" ip netns exec "$LAB_CLIENT_NS" env LUMENTRAX_WINEPREFIX="$prefix" \
    bash "$repo_root/cmake/wine-run.sh" "$exe"

out=$(WINEDLLOVERRIDES=icmp=d wine_in_lab "$exe" --timeout 300 "$LAB_TARGET" 2>"$work/err")
check "no ICMP library: status, stdout, one line naming it" "1||1 1" \
    "$?|$out|$(grep -c 'ICMP.DLL' "$work/err") $(wc -l <"$work/err")"
finish
