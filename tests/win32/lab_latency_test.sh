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
#  - the trace restarted with that short TimeOut: the target and what lies beyond are
#    silent.
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
drive start-stop 20
check "restarted" 0 $?
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
