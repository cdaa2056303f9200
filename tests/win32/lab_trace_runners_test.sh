#!/bin/bash
# lumentrax-trace.exe under Wine and the native runner in one lab: the same table but for
# times (line endings too), past the silent router and into the silent tail (9 monitor
# echoes per run to the dropping router keep its rule in phase); no ICMP.DLL: one line.
# Usage: lab_trace_runners_test.sh LUMENTRAX_TRACE_EXE NATIVE_LUMENTRAX_TRACE
set -u
. "$(dirname "$0")/e2e_common.sh"
native=$2
require_root
[ -x "$native" ] || { echo "no native runner at $native" >&2; [ "${CI:-}" != true ] && exit 77; exit 1; }
e2e_setup_prefix trace-runners
e2e_add_program "$1"
exe=$work/$(basename "$1")

# Both runners on HOST for STEPS steps, their tables side by side; ROUTE the addresses.
compare_runners() {
    local linux windows status
    linux=$(in_client "$native" --timeout 300 --steps "$2" "$1"); status=$?
    windows=$(wine_in_lab "$exe" --timeout 300 --steps "$2" "$1")
    check "$1: both statuses" "0 0" "$status $?"
    paste <(tr -d '\r' <<<"$linux") <(tr -d '\r' <<<"$windows")
    check "$1: route" "$3" "$(route "$windows")"
    check "$1: same table but for times" "$(cut -f1-3,8-10 <<<"$linux")" "$(cut -f1-3,8-10 <<<"$windows")"
}
compare_runners "$LAB_TARGET" 40 "$LAB_ROUTE"
compare_runners "$LAB_TAIL_TARGET" 60 "$LAB_TAIL_ROUTE"

out=$(WINEDLLOVERRIDES=icmp=d wine_in_lab "$exe" --timeout 300 "$LAB_TARGET" 2>"$work/err")
check "no ICMP library: status, stdout, one line naming it" "1||1 1" \
    "$?|$out|$(grep -c 'ICMP.DLL' "$work/err") $(wc -l <"$work/err")"
finish
