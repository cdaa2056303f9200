#!/bin/bash
# lumentrax.exe under Wine through a lab with real latency (delay links): hop 1 behind a
# jitter-free link, hop 3 behind a jittery one, the target more than a second away.
#  - TimeOut 1300, above every round trip: the time cells of every answering hop agree
#    with the links' delays, the target's read "N ms" above 1000 ms in the list and on
#    the clipboard;
#  - TimeOut lowered to 500 in the Options dialog during the monitor phase: the target
#    loses every echo from then on, though its answers come, late, during the echoes
#    that follow, which must not count them; hop 1 answers every echo;
#  - the trace restarted with 500: the target and what lies beyond are silent.
# The table is read through the clipboard, whose text is taken in one piece.
# Usage: lab_latency_test.sh LUMENTRAX_EXE DRIVER_EXE
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$here/e2e_common.sh"
require_root
# One-way delays per link (client-r1, r1-r2, r2-r3, r3-target); jitter on r1-r2 only.
LAB_DELAY=4,3,5,518 LAB_JITTER=0,4 e2e_setup latency "$1"
e2e_add_driver "$2"

# Copies the table; $table then holds the clipboard's text without CRs.
copy_table() {
    drive_raw copy 30 >"$work/clip" 2>/dev/null
    check "copy taken" 0 $?
    table=$(tr -d '\r' <"$work/clip")
}
# Hop 3's echoes: r3 answers all but those its drop rule takes (lab_common.sh).
check_drop_rule() {
    check "$2: hop 3 lost only the dropped echoes" "$(dropping_router_expected "$(field "$1" 3 8)")" \
        "$(field "$1" 3 9) $(field "$1" 3 10)"
}

printf '[Options]\r\nMaxHops=30\r\nTimeOut=1300\r\nPacketSize=8\r\nReverseDns=0\r\n' >"$ini"
e2e_start "/ip:$LAB_TARGET"
drive wait-window 120
check "main window appears" 0 $?
drive wait-count 4 120
check "four hops traced" 0 $?
# The target's trace-phase echo and two monitor rounds.
drive wait-min 3 7 3 60
check "monitor phase pings the target" 0 $?
copy_table
echo "$table"
check "route" "$LAB_HOP1 0.0.0.0 $LAB_HOP3 $LAB_TARGET" "$(route "$table")"
check "hop 1 answered every echo" "$(field "$table" 1 8)" "$(field "$table" 1 9)"
check "target answered every echo" "$(field "$table" 4 8)" "$(field "$table" 4 9)"
check_drop_rule "$table" "TimeOut 1300"
check_round_trips "$table" 1 "$LAB_RTT_HOP1" "$LAB_JITTER_HOP1"
check_round_trips "$table" 3 "$LAB_RTT_HOP3" "$LAB_JITTER_HOP3"
check_round_trips "$table" 4 "$LAB_RTT_HOP4" "$LAB_JITTER_HOP4"

drive options 500 8 30 0 30
check "TimeOut 500 set" 0 $?
copy_table
before=$table
sent=$(field "$before" 4 8)
drive wait-min 3 7 $((sent + 3)) 60
check "target pinged three more times" 0 $?
copy_table
after=$table
echo "$after"
check "target lost every echo after TimeOut 500" "$(field "$before" 4 9)" "$(field "$after" 4 9)"
check "hop 1 still answered every echo" "$(field "$after" 1 8)" "$(field "$after" 1 9)"
check_drop_rule "$after" "TimeOut 500"
check_round_trips "$after" 1 "$LAB_RTT_HOP1" "$LAB_JITTER_HOP1"
check_round_trips "$after" 3 "$LAB_RTT_HOP3" "$LAB_JITTER_HOP3"

# Stopped, the list holds still and is read cell by cell (while the program runs, each
# message to it waits for a step). Then a new trace, with TimeOut 500 from its first echo.
rows=$(drive stop 20)
check "stopped" 0 $?
check "target's time cells in the list read N ms, at least 1000" 4 \
    "$(for column in 3 4 5 6; do cell "$rows" 4 $column; done | grep -cE '^[0-9]{4,} ms$')"
drive start-stop 20
check "restarted" 0 $?
drive wait-count 6 60
check "six hops traced" 0 $?
drive wait-min 0 7 3 60
check "monitor phase pings hop 1" 0 $?
copy_table
echo "$table"
check "TimeOut 500: the target and beyond are silent" \
    "$LAB_HOP1 0.0.0.0 $LAB_HOP3 0.0.0.0 0.0.0.0 0.0.0.0" "$(route "$table")"
check "nothing counted for the silent target" "0 0" "$(field "$table" 4 8) $(field "$table" 4 9)"
check "hop 1 answered every echo" "$(field "$table" 1 8)" "$(field "$table" 1 9)"

close_and_check_exit
finish
