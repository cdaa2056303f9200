#!/bin/bash
# lumentrax.exe under Wine through a lab with real latency (delay links): hop 1 behind a
# jitter-free link, hop 3 behind a jittery one, the target more than a second away.
#  - a TimeOut above every round trip: the time cells of every answering hop agree with
#    the links' delays, the target's read "N ms" above 1000 ms in the list and on the
#    clipboard;
#  - TimeOut lowered below the target's round trip in the Options dialog during the
#    monitor phase: the target loses every echo from then on, though its answers come,
#    late, during the echoes that follow, which must not count them; hop 1 answers every
#    echo;
#  - stopped, each hop's timeline since the Start: activating hop 3's row opens one
#    window titled with its hop and address (a second activation no second one), whose
#    copy has one line per second with echoes summing to the row's Sent and Received,
#    about a third lost; the target's copy has averages from its links' round trip on;
#  - the trace restarted with that short TimeOut: the timeline windows are gone, the
#    target and what lies beyond are silent.
# The table is read through the clipboard, whose text is taken in one piece.
# Usage: lab_latency_test.sh LUMENTRAX_EXE DRIVER_EXE
set -u
. "$(dirname "$0")/e2e_common.sh"
use_latency_lab
e2e_setup_driven latency "$1" "$2"

# Copies the table of HOPS hops; $table then holds the clipboard's text without CRs.
copy_table() {
    e2e_copy_checked "" "$1" "$work/clip"
    table=$(tr -d '\r' <"$work/clip")
}
# Copies hop HOP's timeline window (open since `drive activate`) into FILE and checks its
# form: one line per second, oldest first, six fields; the sent and answered sums are
# compared with the row's Sent and Received.
copy_timeline() {
    local hop=$1 file=$2
    drive_raw timeline-copy $((hop - 1)) 30 >"$file"
    check "hop $hop: timeline copied" 0 $?
    tr -d '\r' <"$file"
    local lines
    lines=$(wc -l <"$file")
    check "hop $hop: timeline lines are 'YYYY-MM-DD HH:MM:SS' and five counts, CR LF" "$lines, none empty" \
        "$(grep -cP '^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t\d+\t\d+(\t\d*){3}\r$' "$file"), $([ "$lines" -gt 0 ] && echo none empty)"
    check "hop $hop: one line per second, in order" "some: $(cut -f1 "$file" | sort -u)" \
        "$([ "$lines" -gt 0 ] && echo some): $(cut -f1 "$file")"
    check "hop $hop: timeline sums to the row's Sent and Received" "$(cell "$rows" "$hop" 7) $(cell "$rows" "$hop" 8)" \
        "$(awk -F'\t' '{ s += $2; a += $3 } END { print s + 0, a + 0 }' "$file")"
}
# Hop 3's echoes: r3 answers all but those its drop rule takes (lab_common.sh).
check_drop_rule() {
    check "$2: hop 3 lost only the dropped echoes" "$(dropping_router_expected "$(field "$1" 3 8)")" \
        "$(field "$1" 3 9) $(field "$1" 3 10)"
}

printf '[Options]\r\nMaxHops=30\r\nTimeOut=%s\r\nPacketSize=8\r\nReverseDns=0\r\n' "$long_timeout" >"$ini"
e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
# The target's trace-phase echo and two monitor rounds.
e2e_wait_sent "" 4 3
copy_table 4
echo "$table"
check "route" "$LAB_ROUTE" "$(route "$table")"
check "hop 1 answered every echo" "$(field "$table" 1 8)" "$(field "$table" 1 9)"
check "target answered every echo" "$(field "$table" 4 8)" "$(field "$table" 4 9)"
check_drop_rule "$table" "TimeOut $long_timeout"
check_round_trips "$table" 1 3 4

drive options "$short_timeout" 8 30 0 30
check "TimeOut $short_timeout set" 0 $?
copy_table 4
before=$table
e2e_wait_sent "three more times: " 4 $(($(field "$before" 4 8) + 3))
copy_table 4
after=$table
echo "$after"
check "target lost every echo after TimeOut $short_timeout" "$(field "$before" 4 9)" "$(field "$after" 4 9)"
check "hop 1 still answered every echo" "$(field "$after" 1 8)" "$(field "$after" 1 9)"
check_drop_rule "$after" "TimeOut $short_timeout"
check_round_trips "$after" 1 3

# Stopped, the list holds still and is read cell by cell (while the program runs, each
# message to it waits for a step). Then a new trace, with the short TimeOut from its first
# echo.
e2e_stop
check "target's time cells in the list read N ms, at least 1000" 4 \
    "$(for column in 3 4 5 6; do cell "$rows" 4 $column; done | grep -cE '^[0-9]{4,} ms$')"

check "hop 3's row opens its timeline window" "Hop 3 - $LAB_HOP3" "$(drive activate 2 30)"
drive activate 2 30 >/dev/null
check "a second activation opens no second window" "Hop 3 - $LAB_HOP3" "$(drive timelines)"
copy_timeline 3 "$work/hop3"
check "hop 3: about a third of its echoes lost" 1 \
    "$(awk -F'\t' '{ s += $2; a += $3 } END { l = 3 * (s - a); print (s > 0 && l >= s - 3 && l <= s + 3) }' "$work/hop3")"
check "the target's row opens its timeline window" "Hop 4 - $LAB_TARGET" "$(drive activate 3 30)"
copy_timeline 4 "$work/target"
least=$(awk -F'\t' '$3 > 0 { print $5 }' "$work/target" | sort -n | tee "$work/averages" | head -1)
echo "target's averages per second: $(paste -sd' ' "$work/averages")"
check "target: no average below its links' $LAB_RTT_HOP4 ms, the least within $((LAB_JITTER_HOP4 + rtt_slack_ms)) ms above" 1 \
    "$((${least:-0} >= LAB_RTT_HOP4 && ${least:-0} <= LAB_RTT_HOP4 + LAB_JITTER_HOP4 + rtt_slack_ms))"
open=$(drive timelines | wc -l)
drive start-stop 20
check "restarted" 0 $?
check "the restart closed both timeline windows" "2 0" "$open $(drive timelines | wc -l)"
drive wait-count 6 60
check "six hops traced" 0 $?
e2e_wait_sent "" 1 3
copy_table 6
echo "$table"
check "TimeOut $short_timeout: the target and beyond are silent" "$LAB_TAIL_ROUTE" "$(route "$table")"
check "nothing counted for the silent target" "0 0" "$(field "$table" 4 8) $(field "$table" 4 9)"
check "hop 1 answered every echo" "$(field "$table" 1 8)" "$(field "$table" 1 9)"

close_and_check_exit
finish
