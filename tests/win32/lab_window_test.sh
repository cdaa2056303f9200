#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, started with /ip: and the lab's
# target: the list shows the lab's route (read from outside by the driver), the silent
# router as "0.0.0.0" with a clear box, the dropping router's loss, and the close box
# ends the program with 0. On the way the window, wide enough for every column, is saved
# as a PNG and checked not to be blank. A minute of it changes no row and no route
# history; then, r2 answering, the route goes round r2 and back: rows, copy, a timeline's
# title and the history follow; a minute of a load-balanced hop 2 changes no row either.
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
monitoring=$SECONDS
first=$(drive rows)
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

# Stopped after a minute, the rows hold still and can be compared as one snapshot.
sleep $((monitoring + 60 > SECONDS ? monitoring + 60 - SECONDS : 0))
e2e_stop
echo "$rows"
check "button after stop" "Start" "$(drive button)"
# Each row's hop number, box (2 ticked, 1 clear), address and name.
check "rows" "1 2 $LAB_HOP1 $LAB_R1_NAME|2 1 0.0.0.0 |3 2 $LAB_HOP3 $LAB_R3_NAME|4 2 $LAB_TARGET $LAB_TARGET_NAME" \
    "$(awk -F'\t' '{ print $2, $1, $3, $4 }' <<<"$rows" | paste -sd'|')"
check "silent router sent 0, loss empty" "0 " "$(cell "$rows" 2 7) $(cell "$rows" 2 9)"
check "dropping router received and loss" "$(dropping_router_expected "$(cell "$rows" 3 7)")" \
    "$(cell "$rows" 3 8) $(cell "$rows" 3 9)"
check "hop 1 lost nothing" "0%" "$(cell "$rows" 1 9)"

check "a minute: hop 1 counted on" 1 "$(($(cell "$rows" 1 7) > $(cell "$first" 1 7)))"
check "history window from the system menu" "Route history - $LAB_TARGET" "$(drive route-history 30)"
check "a minute: no route event" "copied" "$(drive route-history-copy 30 && echo copied)"

# The addresses the list shows, blank-separated.
shown_route() { drive rows | awk -F'\t' '{ print $3 }' | paste -sd' '; }
# Switches the lab's route to WAY and waits until the list shows ROUTE; the time it took
# is printed beside the bound of (hops probed + 15) seconds, and not checked.
switch_route() {
    local start=$SECONDS bound=$(($(shown_route | wc -w) + 15)) shown
    "$repo_root/scripts/lab" route "$lab_name" "$1"
    while shown=$(shown_route) && [ "$shown" != "$2" ] && [ $((SECONDS - start)) -lt 60 ]; do sleep 1; done
    echo "$1: the list followed in $((SECONDS - start)) s (bound $bound s)"
    check "$1: the list shows the new route" "$2" "$shown"
}
# The history's events as "HOP EVENT BEFORE AFTER" (addresses without names, a balanced
# hop's routers without shares), newest first, into $history; events FROM TO prints those
# lines sorted (a switch changes two hops, either may be confirmed first).
read_history() {
    history=$(drive route-history-copy 30 | tr -d '\r' | awk -F'\t' '{ split($4, b, " "); after = $10
        if ($3 == "changed") split($10, a, " "); else gsub(/ [0-9]+%/, "", after)
        print $2, $3, b[1], ($3 == "changed" ? a[1] : after) }')
}
events() { sed -n "$1,$2p" <<<"$history" | sort | paste -sd'|'; }

ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE
drive start-stop 20
e2e_wait_sent "r2 answering: " 4 3
check "hop 2's timeline window" "Hop 2 - $LAB_HOP2 $LAB_R2_NAME" "$(drive activate 1 30)"
before=$(drive rows)
switch_route bypass "$LAB_HOP1 $LAB_BYPASS_HOP2 $LAB_TARGET"
e2e_copy_checked "bypass: " 3 "$work/clip"
check "bypass: the copy is the new route" "$LAB_HOP1 $LAB_BYPASS_HOP2 $LAB_TARGET" "$(route "$(cat "$work/clip")")"
rows=$(drive rows)
check "bypass: hop 1 counted on, the new hop 2 box ticked" "1 2" \
    "$(($(cell "$rows" 1 7) > $(cell "$before" 1 7))) $(box_image "$rows" 2)"
check "bypass: hop 2's timeline window names its new router" "Hop 2 - $LAB_BYPASS_HOP2" "$(drive timelines)"
switch_route direct "$LAB_HOP1 $LAB_HOP2 $LAB_HOP3 $LAB_TARGET"
changes="2 changed $LAB_BYPASS_HOP2 $LAB_HOP2|3 changed $LAB_TARGET $LAB_HOP3 / 2 changed $LAB_HOP2 $LAB_BYPASS_HOP2|3 changed $LAB_HOP3 $LAB_TARGET"
read_history
check "the history lists both switches, newest first" "4: $changes" "$(wc -l <<<"$history"): $(events 1 2) / $(events 3 4)"

"$repo_root/scripts/lab" route "$lab_name" balanced
before=$(drive rows)
sleep 60
rows=$(drive rows)
check "balanced: every hop counted on" "1 1 1 1" \
    "$(for hop in 1 2 3 4; do echo $(($(cell "$rows" $hop 7) > $(cell "$before" $hop 7))); done | paste -sd' ')"
check "balanced: the rows kept their routers" "$LAB_HOP1 $LAB_HOP2 $LAB_HOP3 $LAB_TARGET" "$(shown_route)"
read_history
check "balanced: hop 2 load-balanced, no further change" "5: 2 load-balanced $LAB_HOP2 $LAB_HOP2, $LAB_BALANCED_HOP2 / $changes" \
    "$(wc -l <<<"$history"): $(events 1 1) / $(events 2 3) / $(events 4 5)"

close_and_check_exit
check "settings written at the close" 1 "$(grep -c '^\[Column\]' "$ini" 2>/dev/null)"
finish
