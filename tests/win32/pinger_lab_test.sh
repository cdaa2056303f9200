#!/bin/bash
# The Windows echo service (ICMP.DLL under Wine) inside the namespace lab: a Wine prefix
# of its own whose wineserver starts inside the lab's client namespace (e2e_common.sh), so
# every echo goes through the lab. It must find the routers traceroute finds, report
# the silent router as no answer, reach the target (by address and by name, with the
# largest data size), and with the ICMP library taken away fail every echo.
# Usage: pinger_lab_test.sh PINGER_PROBE_EXE
set -u
. "$(dirname "$0")/e2e_common.sh"
probe_exe=$1
require_root
e2e_setup_prefix wine-pinger

# The probe with Wine's DLL overrides OVERRIDES (e.g. "icmp=" to take the library away).
probe() {
    local overrides=$1
    shift
    WINEDLLOVERRIDES=$overrides wine_in_lab "$probe_exe" "$@" 2>/dev/null | tr -d '\r'
}
# "ADDRESS" per time-to-live, "0.0.0.0" for no answer.
answers() { printf '%s\n' "$1" | awk '$1 == "ttl" { print ($3 == "none" ? "0.0.0.0" : $3) }' |
    tr '\n' ' ' | sed 's/ $//'; }
line() { printf '%s\n' "$1" | grep "^ttl $2 "; }

out=$(probe "" "$LAB_TARGET" 8 300)
check "library loaded" "library 1" "$(printf '%s\n' "$out" | grep '^library')"
check "handle created" "handle 1" "$(printf '%s\n' "$out" | grep '^handle')"
check "route to the target" "$LAB_ROUTE" "$(answers "$out")"
check "router names" "ttl 1 $LAB_HOP1 $LAB_R1_NAME|ttl 3 $LAB_HOP3 $LAB_R3_NAME" \
    "$(line "$out" 1)|$(line "$out" 3)"

check "same hops as traceroute -I -n" "$(peer_route "$LAB_TARGET")" "$(answers "$out")"

out=$(probe "" "$LAB_TAIL_TARGET" 6 200)
check "route into the silent tail" "$LAB_TAIL_ROUTE" "$(answers "$out")"

# By name through gethostbyname, and with a size that is negative as a signed value:
# capped at 2048 data bytes, which cross the narrowed link between r1 and r2 only
# because don't-fragment is clear.
narrow_link
out=$(probe "" "$LAB_TARGET_NAME" 8 300 -1)
check "target by name, largest size" "ttl 4 $LAB_TARGET $LAB_TARGET_NAME" "$(line "$out" 4)"

# Without the ICMP library every echo fails at once (a timeout of 10 minutes per echo
# would otherwise run far past the test's time limit).
out=$(probe "icmp=" "$LAB_TARGET" 6 600000)
check "library missing" "library 0" "$(printf '%s\n' "$out" | grep '^library')"
check "no handle" "handle 0" "$(printf '%s\n' "$out" | grep '^handle')"
check "every echo fails" "0.0.0.0 0.0.0.0 0.0.0.0 0.0.0.0 0.0.0.0 0.0.0.0" "$(answers "$out")"
finish
