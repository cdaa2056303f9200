#!/bin/bash
# The virtual-display helper (scripts/lib/xvfb.sh) runs as root: a pid it remembered
# may belong to another process by now, which it must neither kill nor take for its
# display. Here the state file names a plain `sleep` of the test's own.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$here/../../scripts/lib/xvfb.sh"
work=$(mktemp -d /tmp/lumentrax-xvfb.XXXXXX)
sleep 600 &
stranger=$!
trap 'kill "$stranger" 2>/dev/null; lumentrax_stop_display "$work/prefix"; rm -rf "$work"' EXIT
alive() { kill -0 "$1" 2>/dev/null && echo alive || echo gone; }

echo "99 $stranger" >"$work/prefix.display"
lumentrax_ensure_display "$work/prefix"
check "a display came up" 0 $?
read -r n pid <"$work/prefix.display"
check "the remembered stranger is not taken for the display" Xvfb "$(cat "/proc/$pid/comm" 2>/dev/null)"
check "DISPLAY names the display started" ":$n" "${DISPLAY:-}"
lumentrax_stop_display "$work/prefix"
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
check "stop ends the display it started" gone "$(alive "$pid")"

echo "99 $stranger" >"$work/prefix.display"
lumentrax_stop_display "$work/prefix"
check "stop leaves a process it did not start alone" alive "$(alive "$stranger")"
finish
