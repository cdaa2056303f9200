#!/bin/bash
# Runs a cross-built Windows program under Wine, in a private Wine prefix and on a
# virtual X display of its own (never the user's). The display is started once per
# prefix and reused; `wine-run.sh --stop` ends it and the prefix's wineserver.
# The default prefix lives in the checkout's build folder, which its user owns, never
# under a fixed name in /tmp, where another user could have put it first.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${LUMENTRAX_WINEPREFIX:-$(dirname "$here")/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: nothing here needs them, and their installers would wait for input.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-}${WINEDLLOVERRIDES:+;}mscoree,mshtml="
# shellcheck source=/dev/null
. "$here/../scripts/lib/xvfb.sh"
if [ "${1:-}" = --stop ]; then
    # wine-run.sh --stop: ends the prefix's wineserver and display (after its last use).
    wineserver -k >/dev/null 2>&1
    lumentrax_stop_display "$WINEPREFIX"
    exit 0
fi
lumentrax_ensure_display "$WINEPREFIX" || { echo "wine-run: no virtual display" >&2; exit 3; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 300 wine wineboot -i >/dev/null 2>&1
    if ! timeout 300 wineserver -w; then
        wineserver -k
        echo "wine-run: the new prefix's wineserver did not end within 300 s" >&2
        exit 3
    fi
    # No window manager runs on the virtual display, and Wine waits up to 2 s for one
    # whenever a window it lets one manage is shown or hidden: windows here are Wine's own.
    printf '\n[Software\\\\Wine\\\\X11 Driver]\n"Managed"="N"\n' >>"$WINEPREFIX/user.reg"
elif ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    # A prefix made before that setting: its wineserver may be running, so the registry
    # is changed through Wine rather than in the file.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
exec wine "$@"
