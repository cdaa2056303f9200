#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, started with /ip: and the lab's
# target: the list shows the lab's route (read from outside by list_driver), the silent
# router as "0.0.0.0" with a clear box, and the close box ends the program with 0.
# In screenshot mode the window is also saved as a PNG and checked not to be blank.
# Usage: lab_window_test.sh e2e|screenshot LUMENTRAX_EXE LIST_DRIVER_EXE [SCREENSHOT_DIR]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$here/e2e_common.sh"
mode=$1
shots=${4:-}
require_root
e2e_setup "window-$mode" "$2"
e2e_add_driver "$3"

if [ "$mode" = screenshot ]; then
    # A wide window, so that every column shows in the picture, inside a Wine desktop
    # window of the same size: without a window manager on the virtual display Wine
    # draws title bar and menu only there.
    printf '[Window]\r\nXPos=0\r\nYPos=0\r\nWidth=1060\r\nHeight=300\r\n' >"$ini"
    wine_in_lab reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine_in_lab reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1060x300 /f >/dev/null 2>&1
    e2e_wineserver -k >/dev/null 2>&1
    e2e_wineserver -w >/dev/null 2>&1
fi

e2e_start "/ip:$LAB_TARGET"

drive wait-window 120
check "main window appears" 0 $?
# Four rows: r1, the silent r2, r3, the target; then monitor rounds until the
# dropping router has been pinged a few times.
drive wait-count 4 120
check "four hops shown" 0 $?
drive wait-min 2 7 4 60
check "monitor phase pings hop 3" 0 $?
check "button while tracing" "Stop" "$(drive button)"
check "address box" "$LAB_TARGET" "$(drive text)"

if [ "$mode" = screenshot ]; then
    mkdir -p "$shots"
    png=$shots/window-lab.png
    export DISPLAY=
    lumentrax_ensure_display "$prefix"
    in_client import -window root -crop 1060x300+0+0 "$png"
    check "screenshot written" 0 $?
    colours=$(identify -format '%k' "$png" 2>/dev/null)
    echo "screenshot: $png ($colours colours)"
    [ "${colours:-0}" -gt 16 ] 2>/dev/null
    check "screenshot is not blank (more than 16 colours)" 0 $?
fi

# Stopped, the rows hold still and can be compared as one snapshot.
drive command 40003
drive wait-button Start 20
check "button after stop" 0 $?
rows=$(drive rows)
echo "$rows"
check "rows" 4 "$(row_count "$rows")"
check "hop 1 address" "$LAB_HOP1" "$(cell "$rows" 1 1)"
check "hop 1 name" "$LAB_R1_NAME" "$(cell "$rows" 1 2)"
check "hop 1 box ticked" 2 "$(box_image "$rows" 1)"
check "silent router" "0.0.0.0" "$(cell "$rows" 2 1)"
check "silent router box clear" 1 "$(box_image "$rows" 2)"
check "silent router name" "" "$(cell "$rows" 2 2)"
check "silent router sent" 0 "$(cell "$rows" 2 7)"
check "silent router loss empty" "" "$(cell "$rows" 2 9)"
check "hop 3 address" "$LAB_HOP3" "$(cell "$rows" 3 1)"
check "target address" "$LAB_TARGET" "$(cell "$rows" 4 1)"
check "target name" "$LAB_TARGET_NAME" "$(cell "$rows" 4 2)"
for hop in 1 2 3 4; do check "hop number $hop" "$hop" "$(cell "$rows" $hop 0)"; done
# r3 drops the 1st, 4th, 7th ... echo addressed to itself; the trace-phase echo went
# to the target and is not subject to that rule.
sent=$(cell "$rows" 3 7)
[ "${sent:-0}" -gt 0 ] 2>/dev/null || sent=1
received=$((sent - (sent - 1 + 2) / 3))
check "dropping router received" "$received" "$(cell "$rows" 3 8)"
check "dropping router loss" "$((100 - received * 100 / sent))%" "$(cell "$rows" 3 9)"
check "hop 1 lost nothing" "0%" "$(cell "$rows" 1 9)"

close_and_check_exit
check "settings written at the close" 1 "$(grep -c '^\[Column\]' "$ini" 2>/dev/null)"
finish
