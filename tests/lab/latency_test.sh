#!/bin/bash
# lumentrax-trace's round-trip figures through a lab with real latency (delay links):
# hop 1 behind a jitter-free link, hop 3 behind a jittery one, the target more than a
# second away. Two runs at once:
#  - a trace with a short timeout well below the target's round trip: the target and
#    what lies beyond it are silent, though the target's answers do come, late, each
#    during a later echo of the same hop, which must not take it;
#  - a trace with a timeout above every round trip (by so much that a monitor echo still
#    waiting as long would take the target's answer), then monitor rounds with the short
#    timeout: hops 1 and 3 answer every echo that reaches them, the target none; its
#    late answers reach the echoes that follow and must not count for them. The figures
#    of every answering hop agree with the links' delays, the target's read "N ms" above
#    1000 ms.
# Then a run by time through a route that grows back past the target.
# Usage: latency_test.sh LUMENTRAX_TRACE
set -u
. "$(dirname "$0")/lab_common.sh"
trace=$1

use_latency_lab
start_lab latency
run() { in_client "$trace" --no-dns "$@"; }
rounds=6

early=$lab_files/early
run --timeout "$short_timeout" --steps 6 "$LAB_TARGET" >"$early" &
early_run=$!
out=$(run --timeout "$long_timeout" --monitor-timeout "$short_timeout" --steps $((4 + 4 * rounds)) "$LAB_TARGET")
status=$? && wait "$early_run"
check "exit statuses: trace, short-timeout trace" "0 0" "$status $?"
short=$(cat "$early")
printf '%s\n' "$out" "$short"

check "short timeout: hops 1 and 3 answer, the target and beyond are silent and count nothing" \
    "$LAB_TAIL_ROUTE|0 0" "$(route "$short")|$(field "$short" 4 8) $(field "$short" 4 9)"

# Each answering hop: its trace-phase echo and one per monitor round; hop 1 answered
# every echo, hop 3 all but the dropped ones, the target only the first.
n=$((1 + rounds))
check "route; sent, received, loss per hop" "$LAB_ROUTE|$n $n 0%|0 0 0%|$n $(dropping_router_expected $n)|$n 1 $((100 - 100 / n))%" \
    "$(route "$out")|$(counts "$out")"
check_round_trips "$out" 1 3 4
check_round_trips "$short" 1 3

# A route grown back past the target (r2 answering, r1's bypass of it, then direct) under
# a run by time: discovery goes on after the target's old hop with the trace's timeout.
ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE && "$repo_root/scripts/lab" route "$lab_name" bypass
run --timeout "$long_timeout" --monitor-timeout "$short_timeout" --every 1 --duration 40 --format json "$LAB_TARGET" >"$early" &
await_route 10 "$LAB_HOP1 $LAB_BYPASS_HOP2 $LAB_TARGET" "$early" && sleep 2 &&
    "$repo_root/scripts/lab" route "$lab_name" direct
wait $!
check "route grown back past the target: status, found again" "0 $LAB_HOP1 $LAB_HOP2 $LAB_HOP3 $LAB_TARGET" \
    "$? $(route_in "$early")"
finish
