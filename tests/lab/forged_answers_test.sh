#!/bin/bash
# Answers that are not this probe's own never name a hop: a target that answers every
# echo only late, after forged, foreign-identifier and old-sequence replies and a report
# quoting someone else's probe. With a short timeout the target must stay silent; with
# a timeout longer than the delay it must be found; two probers at once must each keep
# to their own answers.
# Usage: forged_answers_test.sh datagram|raw LUMENTRAX_TRACE
set -u
. "$(dirname "$0")/lab_common.sh"
mode=$1 trace=$2
start_lab "forged-$mode"
use_socket_mode "$mode"

ip netns exec "$LAB_TARGET_NS" sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
# The forged replies come from an address beside the target that no box holds.
ip netns exec "$LAB_TARGET_NS" python3 "$(dirname "$0")/late_forged_answerer.py" \
    "${LAB_TARGET%.*}.99" 0.4 "$lab_files/ready" "$lab_files/count" &
disown  # the lab teardown ends it
check "answerer ready (status of the wait)" 0 "$(poll 100 test -f "$lab_files/ready"; echo $?)"

# Every true answer comes 400 ms late; a 100 ms timeout can never see it in time.
# A second prober with a long timeout runs at the same time on the same target.
run --no-dns --timeout 1000 --steps 4 "$LAB_TARGET" >"$lab_files/patient" &
patient=$!
out=$(run --no-dns --timeout 100 "$LAB_TARGET")
wait $patient
check "late target stays silent" "$LAB_TAIL_ROUTE" "$(route "$out")"
check "target saw the probes" yes "$([ "$(cat "$lab_files/count" 2>/dev/null || echo 0)" -ge 9 ] && echo yes)"

# The patient prober waits long enough for the true reply, and takes none of the
# forged ones (or the other prober's) that came first.
check "patient prober finds the target" "$LAB_ROUTE" "$(route "$(cat "$lab_files/patient")")"

if [ "$mode" = raw ]; then
    # Two probers that are both pid 1, each in a pid namespace of its own, on one network
    # namespace (as two containers can be). r1 drops the first prober's echoes (told
    # apart by their size) while the second one pings r1 without pause; the first must
    # still find no answer, however alike the two processes are.
    ip netns exec "$LAB_R1_NS" iptables -I INPUT -p icmp --icmp-type echo-request \
        -m length --length 300:65535 -j DROP
    pid1() { in_client unshare --pid --fork "$trace" "$@"; }
    (while [ ! -f "$lab_files/stop" ] && kill -0 $$ 2>/dev/null; do pid1 --no-dns --steps 1 --timeout 100 "$LAB_HOP1" >/dev/null; done) &
    busy=$!
    out=$(pid1 --no-dns --steps 1 --timeout 300 --size 400 "$LAB_HOP1")
    touch "$lab_files/stop"
    wait $busy
    check "a prober with the same pid never takes the other's answers" "0.0.0.0" "$(field "$out" 1 2)"
fi
finish
