#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, worked from outside by the list and
# dialog drivers.
#   copy:    a trace of the lab's target, stopped, then Copy: the confirmation box shows
#            its text and the clipboard holds one CR LF line per hop, no header, with the
#            lab's route (the silent router as 0.0.0.0, the dropping router's loss
#            consistent with its counts) and the same figures as the list.
#   restart: a first run moves its window, sets the options in the Options dialog and
#            traces the target; a second run shows the same geometry, options and
#            history, read from the settings file beside the program.
# Usage: lab_settings_test.sh copy|restart LUMENTRAX_EXE LIST_DRIVER_EXE DIALOG_DRIVER_EXE
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$repo_root/scripts/lib/xvfb.sh"
mode=$1
require_root

# A prefix of its own, so that its wineserver and Wine's network service start inside
# the lab's client namespace; the exe is copied so that its settings file is ours too.
work=$(mktemp -d /tmp/lumentrax-set-e2e.XXXXXX)
prefix=$work/prefix
ini=$work/lumentrax.ini
cleanup_extra='WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; lumentrax_stop_display "$prefix"; rm -rf "$work"'
start_lab "settings-$mode"
cp "$2" "$work/lumentrax.exe" && cp "$3" "$work/list_driver.exe" && cp "$4" "$work/dialog_driver.exe" ||
    { echo "FAIL: programs missing" >&2; exit 1; }

wine_in_lab() { in_client env LUMENTRAX_WINEPREFIX="$prefix" bash "$repo_root/cmake/wine-run.sh" "$@"; }
list() { wine_in_lab "$work/list_driver.exe" "$@"; }
dialogs() { wine_in_lab "$work/dialog_driver.exe" "$@"; }
# Value of KEY in SECTION of the settings file.
setting() {
    tr -d '\r' <"$ini" | awk -F= -v s="[$1]" -v k="$2" '/^\[/ { in_s = ($0 == s); next } in_s && $1 == k { print substr($0, length(k) + 2); exit }'
}
# Field FIELD (1-based) of line LINE of a tab-separated text.
line_field() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' -v n="$2" -v f="$3" 'NR == n { print $f }'; }

start_program() {
    wine_in_lab "$work/lumentrax.exe" "$@" &
    program=$!
    list wait-window 120
    check "main window appears" 0 $?
}

end_program() {
    list close
    wait "$program"
    check "exit code after the close box" 0 $?
}

copy_test() {
    start_program "/ip:$LAB_TARGET"
    list wait-count 4 120
    check "four hops shown" 0 $?
    list wait-min 2 7 4 60
    check "monitor phase pings hop 3" 0 $?
    # Stopped, the table holds still, so the list and the clipboard show the same figures.
    list command 40003
    list wait-button Start 20
    check "stopped" 0 $?
    rows=$(list rows | tr -d '\r')
    dialogs copy 30 >"$work/clip" 2>"$work/box"
    check "copy confirmed and the box closed" 0 $?
    check "confirmation text" "box: Trace has been copied to the clipboard." "$(tr -d '\r' <"$work/box")"
    clip=$(cat "$work/clip")
    printf '%s\n' "$clip"

    check "lines end in CR LF" 4 "$(grep -c $'\r$' "$work/clip")"
    check "no other line ends" 4 "$(tr -cd '\n' <"$work/clip" | wc -c)"
    check "text ends with CR LF" "0d0a" "$(tail -c 2 "$work/clip" | od -An -tx1 | tr -d ' \n')"
    check "no header: first line starts with hop 1" 1 "$(line_field "$clip" 1 1)"
    for hop in 1 2 3 4; do
        check "hop number $hop" "$hop" "$(line_field "$clip" $hop 1)"
        check "ten fields on line $hop" 10 "$(printf '%s' "$clip" | tr -d '\r' | awk -F'\t' -v n=$hop 'NR == n { print NF }')"
    done
    check "hop 1 address" "$LAB_HOP1" "$(line_field "$clip" 1 2)"
    check "hop 1 name" "$LAB_R1_NAME" "$(line_field "$clip" 1 3)"
    check "silent router line" $'2\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%' "$(printf '%s' "$clip" | tr -d '\r' | sed -n 2p)"
    check "hop 3 address" "$LAB_HOP3" "$(line_field "$clip" 3 2)"
    check "target address" "$LAB_TARGET" "$(line_field "$clip" 4 2)"
    # r3 drops the 1st, 4th, 7th ... echo addressed to itself.
    sent=$(line_field "$clip" 3 8)
    [ "${sent:-0}" -gt 0 ] 2>/dev/null || sent=1
    received=$((sent - (sent + 2) / 3))
    check "dropping router received" "$received" "$(line_field "$clip" 3 9)"
    check "dropping router loss" "$((100 - received * 100 / sent))%" "$(line_field "$clip" 3 10)"
    # The list shows the same cells (list rows start with the box image).
    for hop in 1 3 4; do
        row=$(printf '%s\n' "$rows" | sed -n ${hop}p | cut -f2-11)
        check "hop $hop as in the list" "$row" "$(printf '%s' "$clip" | tr -d '\r' | sed -n ${hop}p)"
    done
    end_program
}

restart_test() {
    start_program "/ip:$LAB_TARGET"
    list wait-count 1 120
    check "trace started" 0 $?
    dialogs place 33 44 700 380
    check "window placed" 0 $?
    dialogs options 1500 64 20 0 30
    check "options set" 0 $?
    end_program
    check "H0" "$LAB_TARGET" "$(setting History H0)"
    check "H1" "one.one.one.one" "$(setting History H1)"
    check "H2" "" "$(setting History H2)"
    check "options saved" "1500 64 20 0" "$(setting Options TimeOut) $(setting Options PacketSize) $(setting Options MaxHops) $(setting Options ReverseDns)"
    check "window saved" "33 44 700 380" "$(setting Window XPos) $(setting Window YPos) $(setting Window Width) $(setting Window Height)"

    start_program
    check "geometry restored" "33 44 700 380" "$(dialogs rect | tr -d '\r')"
    check "history listed newest first" "$LAB_TARGET,one.one.one.one" "$(dialogs history | tr -d '\r' | paste -sd,)"
    check "options restored" "1500 64 20 0" "$(dialogs show-options 30 | tr -d '\r')"
    check "no trace without /ip:" "Start" "$(list button | tr -d '\r')"
    check "address box empty" "" "$(list text | tr -d '\r')"
    end_program
    check "options kept by the second save" "1500 64 20 0" "$(setting Options TimeOut) $(setting Options PacketSize) $(setting Options MaxHops) $(setting Options ReverseDns)"
    check "window kept by the second save" "33 44 700 380" "$(setting Window XPos) $(setting Window YPos) $(setting Window Width) $(setting Window Height)"
    check "history kept by the second save" "$LAB_TARGET" "$(setting History H0)"
}

case $mode in
copy) copy_test ;;
restart) restart_test ;;
*) echo "usage: $0 copy|restart EXE LIST_DRIVER DIALOG_DRIVER" >&2; exit 2 ;;
esac
finish
