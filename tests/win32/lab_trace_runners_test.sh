#!/bin/bash
# One engine, one behaviour: lumentrax-trace.exe under Wine and the native lumentrax-trace
# trace the same lab from its client namespace and must give the same table apart from
# the four time cells (hop, address, name, sent, received and loss, line endings
# included), to the target past the silent router and to the target that never answers.
# Each run sends the dropping router a multiple of three monitor echoes, so every run
# meets its drop rule in the same phase. Without the ICMP library the exe says so on
# stderr and fails instead of printing a dark route.
# Usage: lab_trace_runners_test.sh LUMENTRAX_TRACE_EXE NATIVE_LUMENTRAX_TRACE
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$here/e2e_common.sh"
native=$2
require_root
if [ ! -x "$native" ]; then
    echo "native runner missing at $native (build the native preset, or set LUMENTRAX_NATIVE_TRACE)" >&2
    [ "${CI:-}" = true ] && exit 1
    exit 77
fi
e2e_setup_prefix trace-runners
e2e_add_program "$1"
exe=$work/$(basename "$1")

# Both runners on HOST for STEPS steps; the tables side by side, then compared, and the
# route (addresses on one line) that they must show.
compare_runners() {
    local host=$1 steps=$2 expected=$3 linux windows
    linux=$(in_client "$native" --timeout 300 --steps "$steps" "$host")
    check "$host: native status" 0 $?
    windows=$(wine_in_lab "$exe" --timeout 300 --steps "$steps" "$host")
    check "$host: Windows status" 0 $?
    paste <(printf '%s\n' "$linux" | tr -d '\r') <(printf '%s\n' "$windows" | tr -d '\r')
    check "$host: the same table but for times" "$(cut -f1-3,8-10 <<<"$linux")" \
        "$(cut -f1-3,8-10 <<<"$windows")"
    check "$host: route" "$expected" "$(route "$windows")"
}

# Trace phase of 4 hops, then 9 rounds; of 6 hops into the silent tail, then 9 rounds.
compare_runners "$LAB_TARGET" 40 "$LAB_HOP1 0.0.0.0 $LAB_HOP3 $LAB_TARGET"
compare_runners "$LAB_TAIL_TARGET" 60 "$LAB_HOP1 0.0.0.0 $LAB_HOP3 0.0.0.0 0.0.0.0 0.0.0.0"

err=$work/stderr
out=$(WINEDLLOVERRIDES=icmp=d wine_in_lab "$exe" --timeout 300 "$LAB_TARGET" 2>"$err")
check "no ICMP library: status" 1 $?
check "no ICMP library: nothing on stdout" "" "$out"
check "no ICMP library: one line naming it" "1 1" "$(grep -c 'ICMP.DLL' "$err") $(wc -l <"$err")"
finish
