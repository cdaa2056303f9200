#!/bin/bash
# The virtual-display helper (scripts/lib/xvfb.sh) runs as root: a remembered pid may
# be another process by now (here a `sleep`), never to be killed or taken for its display,
# and other users' files and X servers are never trusted. The user nobody plays the other
# user, in a folder of its own: no sticky bit, so the kernel's link protection plays no part.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lab/lab_common.sh"
. "$here/../../scripts/lib/xvfb.sh"
require_root
work=$(mktemp -d /tmp/lumentrax-xvfb.XXXXXX)
chmod 711 "$work"
sleep 600 &
stranger=$!
foreign=
trap 'kill -KILL $stranger $foreign 2>/dev/null; lumentrax_stop_display "$work/prefix"; rm -rf "$work"' EXIT
alive() { kill -0 "$1" 2>/dev/null && echo alive || echo gone; }
# How many signals wait for process PID (stopped first, so that a signal stays pending).
pending() { awk '/^(SigPnd|ShdPnd):/ { n += ($2 !~ /^0+$/) } END { print n + 0 }' "/proc/$1/status"; }
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

echo "99 $stranger" >"$work/prefix.display"
lumentrax_ensure_display "$work/prefix"
check "a display came up" 0 $?
read -r n pid <"$work/prefix.display"
check "the remembered stranger is not taken for the display" Xvfb "$(cat "/proc/$pid/comm" 2>/dev/null)"
check "DISPLAY names the display started" ":$n" "${DISPLAY:-}"
lumentrax_stop_display "$work/prefix"
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
check "stop ends the display it started" gone "$(alive "$pid")"

mkdir "$work/theirs" && chown nobody "$work/theirs"
echo kept >"$work/victim"
"${as_nobody[@]}" ln -s "$work/victim" "$work/theirs/linked.display.lock"
lumentrax_ensure_display "$work/theirs/linked"
check "a linked lock file is refused, nothing written through it" "1 kept" "$? $(cat "$work/victim")"

for n in $(seq 141 190); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
"${as_nobody[@]}" Xvfb ":$n" -nolisten tcp >/dev/null 2>&1 &
foreign=$!
for _ in $(seq 1 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
[ -S "/tmp/.X11-unix/X$n" ] || { echo "FAIL: nobody's Xvfb did not come up" >&2; exit 1; }
"${as_nobody[@]}" sh -c "echo '$n $foreign' >'$work/theirs/planted.display'"
DISPLAY=
lumentrax_ensure_display "$work/theirs/planted"
check "a state file of another user is refused" "1 " "$? $DISPLAY"
echo "$n $foreign" >"$work/prefix.display"
lumentrax_ensure_display "$work/prefix"
check "another user's X server is not adopted" "0 yes" "$? $([ "$DISPLAY" != ":$n" ] && echo yes)"

lumentrax_stop_display "$work/prefix"
kill -STOP "$stranger" "$foreign"
for pid in "99 $stranger" "$n $foreign"; do
    echo "$pid" >"$work/prefix.display"
    lumentrax_stop_display "$work/prefix"
done
check "stop signals no process it did not start" "0 0" "$(pending "$stranger") $(pending "$foreign")"
finish
