#!/bin/bash
# The lab's delay links (scripts/lib/delay_link.py), measured with ping: a 20 ms one-way
# link (client-r1) gives round trips from 40 ms up, nearly all within the slack that the
# other latency tests allow a best round trip; behind it a 10 ms link with 0..10 ms of
# jitter (r1-r2) gives round trips from 60 to 80 ms plus that slack, spread by the
# jitter, in the order sent. Odd packets and a burst of more packets than a link queues
# neither stop nor slow it. A link ends by itself when its namespace's name goes, and
# `scripts/lab down` leaves no link process behind.
set -u
. "$(dirname "$0")/lab_common.sh"
LAB_DELAY=20,10 LAB_JITTER=0,10 start_lab delay-link

# ping's round trips (ms, as it prints them) to ADDRESS, COUNT echoes INTERVAL s apart,
# one a line in the order they came back, prefixed with their sequence number.
ping_rtts() {
    in_client ping -n -c "$2" -i "$3" -W 2 "$1" |
        sed -n 's/.*icmp_seq=\([0-9]*\) .*time=\([0-9.]*\) ms.*/\1 \2/p'
}
# "min median max" of the round trips.
summary() { awk '{ print $2 }' | sort -n | awk '{ v[NR] = $1 } END {
    printf "%s %s %s", v[1], v[int((NR + 1) / 2)], v[NR] }'; }
# WHAT: ping_rtts ADDRESS COUNT INTERVAL into $rtts, shown with its min, median and max
# (also in $low, $median, $high), and checked that all COUNT echoes were answered, none
# faster than FLOOR ms (the links' round trip).
measure() {
    rtts=$(ping_rtts "$2" "$3" "$4")
    read -r low median high <<<"$(summary <<<"$rtts")"
    echo "$1: $(grep -c . <<<"$rtts") round trips, min $low, median $median, max $high ms"
    check "$1: all $3 echoes answered" "$3" "$(grep -c . <<<"$rtts")"
    check "$1: none faster than the links' $5 ms" 0 "$(awk -v l="$5" '$2 < l' <<<"$rtts" | wc -l)"
}
above() { awk -v l="$1" '$2 > l' | wc -l; }
# The delay link process that lives in namespace NS.
link_process() {
    ip netns pids "$1" | while read -r pid; do grep -qa delay_link "/proc/$pid/cmdline" && echo "$pid"; done
}

# 20 ms each way: 40 ms and a little. Nearly all within the slack (a few may wait for
# a processor on a busy machine), the median well within it.
measure "20 ms link" "$LAB_HOP1" 100 0.01 "$LAB_RTT_HOP1"
check "median within 1 ms of them" 1 "$(awk -v m="$median" -v l="$LAB_RTT_HOP1" 'BEGIN { print (m <= l + 1) }')"
late=$(above $((LAB_RTT_HOP1 + rtt_slack_ms)) <<<"$rtts")
echo "above $((LAB_RTT_HOP1 + rtt_slack_ms)) ms: $late"
check "at most 10 of 100 more than $rtt_slack_ms ms late" 1 $((late <= 10))

# Sent every 5 ms, less than the jitter: without order keeping they would overtake.
measure "with the jittery link" "$LAB_HOP2" 60 0.005 "$LAB_RTT_HOP2"
late=$(above $((LAB_RTT_HOP2 + LAB_JITTER_HOP2 + rtt_slack_ms)) <<<"$rtts")
check "at most 6 of 60 above $((LAB_RTT_HOP2 + LAB_JITTER_HOP2 + rtt_slack_ms)) ms" 1 $((late <= 6))
check "jitter spreads them more than 5 ms" 1 "$(awk -v a="$low" -v b="$high" 'BEGIN { print (b - a > 5) }')"
check "answers in the order sent" "$(seq 1 60 | tr '\n' ' ')" "$(awk '{ printf "%s ", $1 }' <<<"$rtts")"

# Odd packets into the client's end of the first link through a packet socket (no
# routing, no checks by the kernel): empty, short, IPv6, a lying IPv4 header, noise; then
# a burst of 3000 IPv4 packets (more than a direction queues, when they come faster than
# the link lets them go).
link_pid=$(link_process "$LAB_R1_NS")
check "first link's process found inside the lab" 1 "$(wc -w <<<"$link_pid")"
in_client python3 - "$LAB_CLIENT_ETH0" "$LAB_HOP1" <<'EOF'
import os, socket, struct, sys
sock = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM)
def send(packet, protocol=0x0800):
    try:
        sock.sendto(packet, ("eth0", protocol))
    except OSError:
        pass
# An ICMP packet from the client's end of the link to r1's, its checksums left at zero.
ipv4 = (bytes.fromhex("4500001c000000004001") + bytes(2) + socket.inet_aton(sys.argv[1])
        + socket.inet_aton(sys.argv[2]) + bytes(8))
for packet in (b"", b"\x45", b"\x60" + bytes(39), bytes.fromhex("4f00ffff") + bytes(16),
               bytes(20), b"\x45" * 1400):
    send(packet)
send(b"\x60" + bytes(39), 0x86DD)
for _ in range(100):
    send(os.urandom(1 + os.urandom(1)[0] * 5))
for _ in range(3000):
    send(ipv4)
EOF
measure "still forwarding after odd packets and the burst" "$LAB_HOP1" 10 0.05 "$LAB_RTT_HOP1"
check "first link's process still running" 0 "$(kill -0 "$link_pid" 2>/dev/null; echo $?)"

# The second link's process lives in r2. Its namespace's name removed by hand, it ends by
# itself (nothing could find it with `ip netns pids` any more).
second_pid=$(link_process "$LAB_R2_NS")
check "second link's process found inside the lab" 1 "$(wc -w <<<"$second_pid")"
ip netns del "$LAB_R2_NS"
# True once process PID has ended (gone, or a zombie).
gone() { [ ! -d "/proc/$1" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat")" = Z ]; }
poll 20 gone "$second_pid"
check "second link ends when its namespace goes" 0 $?

# Namespaces are taken by name only: a path (here one back to the lab's own) is refused.
in_client python3 "$repo_root/scripts/lib/delay_link.py" "../netns/$LAB_R1_NS" dl0 "$LAB_CLIENT_NS" dl1 2>/dev/null
check "a namespace path is refused" "2 no" "$? $(ip -n "$LAB_R1_NS" link show dl0 >/dev/null 2>&1 && echo yes || echo no)"
"$repo_root/scripts/lab" down "$lab_name"
poll 20 gone "$link_pid"
check "down ends the first link" 0 $?
check "no namespace of the lab left" "" "$(ip netns list | grep -F "${LAB_CLIENT_NS%-client}-")"
finish
