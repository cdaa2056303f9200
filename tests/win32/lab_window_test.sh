#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, started with /ip: and the lab's
# target: the list shows the lab's route (read from outside by the driver), the silent
# router as "0.0.0.0" with a clear box, the dropping router's loss, and the close box
# ends the program with 0. On the way the window, wide enough for every column, is saved
# as a PNG and checked not to be blank.
# Usage: lab_window_test.sh LUMENTRAX_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
. "$(dirname "$0")/e2e_common.sh"
shots=$3
e2e_setup_driven window "$1" "$2"

# A wide window inside a Wine desktop window of the same size: without a window manager
# on the virtual display Wine draws title bar and menu only there.
printf '[Window]\r\nXPos=0\r\nYPos=0\r\nWidth=1060\r\nHeight=300\r\n' >"$ini"
e2e_user_registry 'Software\\Wine\\Explorer' '"Desktop"="Default"'
e2e_user_registry 'Software\\Wine\\Explorer\\Desktops' '"Default"="1060x300"'

# Four rows: r1, the silent r2, r3, the target; then monitor rounds until the
# dropping router has been pinged a few times.
e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
e2e_wait_sent "" 3 4
check "button while tracing" "Stop" "$(drive button)"
check "address box" "$LAB_TARGET" "$(drive text)"

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

# Stopped, the rows hold still and can be compared as one snapshot.
e2e_stop
echo "$rows"
check "button after stop" "Start" "$(drive button)"
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
check "dropping router received and loss" "$(dropping_router_expected "$(cell "$rows" 3 7)")" \
    "$(cell "$rows" 3 8) $(cell "$rows" 3 9)"
check "hop 1 lost nothing" "0%" "$(cell "$rows" 1 9)"

close_and_check_exit
check "settings written at the close" 1 "$(grep -c '^\[Column\]' "$ini" 2>/dev/null)"
finish
