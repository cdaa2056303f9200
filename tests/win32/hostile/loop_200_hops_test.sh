#!/bin/bash
# lumentrax.exe tracing into a routing loop: r1 and r2 (both with 255-character names)
# route the target's prefix to each other, so every time-to-live gets a time-exceeded
# answer. With MaxHops=200 the trace runs to exactly 200 hops; with MaxHops=100000 it
# stops at 255, the last time-to-live there is. Copy then puts the whole table on the
# clipboard (at 255 hops more than the 60000-byte minimum block), one well-formed line
# per hop.
set -u
. "$(dirname "$0")/../e2e_common.sh"

name_of() { local text; text=$(printf "$1%03d." $(seq 1 70)); printf '%s' "${text:0:255}"; }
r1_name=$(name_of r)
r2_name=$(name_of s)
names=$(mktemp /tmp/lumentrax-names.XXXXXX)
printf 'r1 %s\nr2 %s\n' "$r1_name" "$r2_name" >"$names"
e2e_setup_driven loop-200 "$1" "$2" "$names"
rm -f "$names"

# The loop: r2 answers too (its silence rule goes), and each of r1, r2 sends the lab's
# spare network, which no link holds, to the other. Nothing there exists; packets
# circle until their time-to-live runs out, inside the lab.
loop_target=${LAB_SPARE_NET%.*}.2
# The rule's words are split on purpose.
# shellcheck disable=SC2086
ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE &&
ip -n "$LAB_R1_NS" route add "$LAB_SPARE_NET" via "$LAB_R2_ETH0" &&
ip -n "$LAB_R2_NS" route add "$LAB_SPARE_NET" via "$LAB_R1_ETH1" &&
for ns in "$LAB_R1_NS" "$LAB_R2_NS"; do
    ip netns exec "$ns" sh -c 'for f in /proc/sys/net/ipv4/conf/*/rp_filter; do echo 0 >"$f"; done' || exit 1
done
check "routing loop built" 0 $?
[ "$failures" -eq 0 ] || finish

# One run with hop limit MAX: expects LIMIT rows, then copies and checks the text.
loop_run() {
    local max=$1 limit=$2 what="MaxHops=$1" rows clip=$work/clip-$1.txt
    printf '[Options]\r\nMaxHops=%s\r\nTimeOut=1000\r\nPacketSize=8\r\nReverseDns=1\r\n' "$max" >"$ini"
    e2e_start_and_wait "$what: " "$limit" "/ip:$loop_target"
    e2e_no_hop_beyond "$what: " "$limit"
    e2e_stop "$what: "
    check "$what: rows" "$limit" "$(row_count "$rows")"
    check "$what: every hop answered by r1 or r2" 0 \
        "$(printf '%s\n' "$rows" | awk -F'\t' -v a="$LAB_R1_ETH0" -v b="$LAB_R1_ETH1" -v c="$LAB_R2_ETH0" \
            'NF && $3 != a && $3 != b && $3 != c' | wc -l)"
    check "$what: hop 1 is r1 with its name" "$LAB_HOP1 $r1_name" "$(cell "$rows" 1 1) $(cell "$rows" 1 2)"
    check "$what: hop 2 is r2 with its name" "$LAB_HOP2 $r2_name" "$(cell "$rows" 2 1) $(cell "$rows" 2 2)"
    check "$what: hop numbers 1..$limit" "$(seq 1 "$limit" | tr '\n' ' ')" \
        "$(printf '%s\n' "$rows" | awk -F'\t' 'NF { printf "%s ", $2 }')"

    e2e_copy_checked "$what: " "$limit" "$clip"
    echo "$what: clipboard holds $(wc -c <"$clip") bytes"
    # 255 lines of long names need more than the 60000-byte minimum block.
    [ "$limit" -lt 255 ] ||
        check "$what: clipboard larger than the minimum block" 1 "$([ "$(wc -c <"$clip")" -gt 60000 ] && echo 1)"
    # The clipboard's hop, address and name fields are the list's, line by line.
    check "$what: lines match the rows" \
        "$(printf '%s\n' "$rows" | awk -F'\t' 'NF { print $2 "\t" $3 "\t" $4 }' | md5sum)" \
        "$(tr -d '\r' <"$clip" | cut -f1-3 | md5sum)"
    close_and_check_exit
}

loop_run 200 200
loop_run 100000 255
finish
