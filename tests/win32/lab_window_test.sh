#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, started with /ip: and the lab's
# target: the list shows the lab's route (read from outside by list_driver), the silent
# router as "0.0.0.0" with a clear box, and the close box ends the program with 0.
# In screenshot mode the window is also saved as a PNG and checked not to be blank.
# Usage: lab_window_test.sh e2e|screenshot LUMENTRAX_EXE LIST_DRIVER_EXE [SCREENSHOT_DIR]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$repo_root/scripts/lib/xvfb.sh"
mode=$1
exe=$2
driver=$3
shots=${4:-}
require_root

# A prefix of its own, so that its wineserver and Wine's network service are started
# inside the lab's client namespace; the exe is copied so its settings file is ours too.
work=$(mktemp -d /tmp/lumentrax-e2e.XXXXXX)
prefix=$work/prefix
cleanup_extra='WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; lumentrax_stop_display "$prefix"; rm -rf "$work"'
start_lab "window-$mode"
cp "$exe" "$work/lumentrax.exe"
cp "$driver" "$work/list_driver.exe"

wine_in_lab() { in_client env LUMENTRAX_WINEPREFIX="$prefix" bash "$repo_root/cmake/wine-run.sh" "$@"; }
drive() { wine_in_lab "$work/list_driver.exe" "$@"; }
# Cell COLUMN (0-based list column) of hop HOP (1-based) in the driver's rows.
cell() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' -v h="$2" -v c="$3" 'NR == h { print $(c + 2) }'; }
box() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' -v h="$2" 'NR == h { print $1 }'; }

if [ "$mode" = screenshot ]; then
    # A wide window, so that every column shows in the picture, inside a Wine desktop
    # window of the same size: without a window manager on the virtual display Wine
    # draws title bar and menu only there.
    printf '[Window]\r\nXPos=0\r\nYPos=0\r\nWidth=1060\r\nHeight=300\r\n' >"$work/lumentrax.ini"
    wine_in_lab reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine_in_lab reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1060x300 /f >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
fi

wine_in_lab "$work/lumentrax.exe" "/ip:$LAB_TARGET" &
program=$!

drive wait-window 120
check "main window appears" 0 $?
# Four rows: r1, the silent r2, r3, the target; then monitor rounds until the
# dropping router has been pinged a few times.
drive wait-count 4 120
check "four hops shown" 0 $?
drive wait-min 2 7 4 60
check "monitor phase pings hop 3" 0 $?
check "button while tracing" "Stop" "$(drive button | tr -d '\r')"
check "address box" "$LAB_TARGET" "$(drive text | tr -d '\r')"

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
check "rows" 4 "$(printf '%s' "$rows" | awk 'NF' | wc -l)"
check "hop 1 address" "$LAB_HOP1" "$(cell "$rows" 1 1)"
check "hop 1 name" "$LAB_R1_NAME" "$(cell "$rows" 1 2)"
check "hop 1 box ticked" 2 "$(box "$rows" 1)"
check "silent router" "0.0.0.0" "$(cell "$rows" 2 1)"
check "silent router box clear" 1 "$(box "$rows" 2)"
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

drive close
check "close posted" 0 $?
wait "$program"
check "exit code after the close box" 0 $?
check "settings written at the close" 1 "$(grep -c '^\[Column\]' "$work/lumentrax.ini" 2>/dev/null)"
finish
