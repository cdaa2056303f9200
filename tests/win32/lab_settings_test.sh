#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, worked from outside by the driver.
#   copy:    a trace of the lab's target, stopped, then Copy: the confirmation box shows
#            its text and the clipboard holds one CR LF line per hop, no header, with the
#            lab's route (the silent router as 0.0.0.0, the dropping router's loss
#            consistent with its counts) and the same figures as the list.
#   restart: a first run moves its window, sets the options in the Options dialog and
#            traces the target; a second run shows the same geometry, options and
#            history, read from the settings file beside the program.
# Usage: lab_settings_test.sh copy|restart LUMENTRAX_EXE DRIVER_EXE
set -u
. "$(dirname "$0")/e2e_common.sh"
mode=$1
e2e_setup_driven "settings-$mode" "$2" "$3"

# Value of KEY in SECTION of the settings file.
setting() { ini_value "$ini" "$@"; }
# Field FIELD (1-based) of line LINE of a tab-separated text.
line_field() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' -v n="$2" -v f="$3" 'NR == n { print $f }'; }

copy_test() {
    e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
    e2e_wait_sent "" 3 4
    # Stopped, the table holds still, so the list and the clipboard show the same figures.
    e2e_stop
    e2e_copy_checked "" 4 "$work/clip"
    check "confirmation text" "box: Trace has been copied to the clipboard." "$(tr -d '\r' <"$work/box")"
    clip=$(cat "$work/clip")
    printf '%s\n' "$clip"
    check "no header: first line starts with hop 1" 1 "$(line_field "$clip" 1 1)"
    for hop in 1 2 3 4; do check "hop number $hop" "$hop" "$(line_field "$clip" $hop 1)"; done
    check "hop 1 address" "$LAB_HOP1" "$(line_field "$clip" 1 2)"
    check "hop 1 name" "$LAB_R1_NAME" "$(line_field "$clip" 1 3)"
    check "silent router line" $'2\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%' "$(printf '%s' "$clip" | tr -d '\r' | sed -n 2p)"
    check "hop 3 address" "$LAB_HOP3" "$(line_field "$clip" 3 2)"
    check "target address" "$LAB_TARGET" "$(line_field "$clip" 4 2)"
    check "dropping router received and loss" "$(dropping_router_expected "$(line_field "$clip" 3 8)")" \
        "$(line_field "$clip" 3 9) $(line_field "$clip" 3 10)"
    # The list shows the same cells (list rows start with the box image).
    for hop in 1 3 4; do
        row=$(printf '%s\n' "$rows" | sed -n ${hop}p | cut -f2-11)
        check "hop $hop as in the list" "$row" "$(printf '%s' "$clip" | tr -d '\r' | sed -n ${hop}p)"
    done
    close_and_check_exit
}

restart_test() {
    e2e_start_and_wait "" 1 "/ip:$LAB_TARGET"
    drive place 33 44 700 380
    check "window placed" 0 $?
    drive options 1500 64 20 0 30
    check "options set" 0 $?
    # At a log-off Windows ends the process after WM_ENDSESSION, without destroying the
    # window: the settings must be on disk when the message has been handled.
    drive end-session
    check "end of session handled" 0 $?
    check "history saved at the end of session" "$LAB_TARGET" "$(setting History H0)"
    check "options saved at the end of session" "1500 64 20 0" "$(setting Options TimeOut) $(setting Options PacketSize) $(setting Options MaxHops) $(setting Options ReverseDns)"
    check "window saved at the end of session" "33 44 700 380" "$(setting Window XPos) $(setting Window YPos) $(setting Window Width) $(setting Window Height)"
    cp "$ini" "$work/end-session.ini" 2>/dev/null
    close_and_check_exit
    cmp -s "$ini" "$work/end-session.ini"
    check "the normal close afterwards writes the same bytes" 0 $?
    check "H0" "$LAB_TARGET" "$(setting History H0)"
    check "H1" "one.one.one.one" "$(setting History H1)"
    check "H2" "" "$(setting History H2)"
    check "options saved" "1500 64 20 0" "$(setting Options TimeOut) $(setting Options PacketSize) $(setting Options MaxHops) $(setting Options ReverseDns)"
    check "window saved" "33 44 700 380" "$(setting Window XPos) $(setting Window YPos) $(setting Window Width) $(setting Window Height)"

    e2e_start_and_wait "" 0
    check "geometry restored" "33 44 700 380" "$(drive rect)"
    check "history listed newest first" "$LAB_TARGET,one.one.one.one" "$(drive history | paste -sd,)"
    check "options restored" $'1500\t64\t20\t0' "$(drive read-options cancel 30)"
    check "no trace without /ip:" "Start" "$(drive button)"
    check "address box empty" "" "$(drive text)"
    close_and_check_exit
    check "options kept by the second save" "1500 64 20 0" "$(setting Options TimeOut) $(setting Options PacketSize) $(setting Options MaxHops) $(setting Options ReverseDns)"
    check "window kept by the second save" "33 44 700 380" "$(setting Window XPos) $(setting Window YPos) $(setting Window Width) $(setting Window Height)"
    check "history kept by the second save" "$LAB_TARGET" "$(setting History H0)"
}

case $mode in
copy) copy_test ;;
restart) restart_test ;;
*) echo "usage: $0 copy|restart EXE DRIVER" >&2; exit 2 ;;
esac
finish
