#!/bin/bash
# Runs a Win32 test program in the default Wine prefix at another DPI: Wine takes its one
# DPI from the user's LogPixels when a process starts, so the value is set for the run
# and put back to 96 (the prefix's own) however the run ends. The tests of the default
# prefix run one at a time (RESOURCE_LOCK), so no other test sees the changed value.
# Usage: at_dpi.sh DPI WINE_RUN PROGRAM ARGS...
set -u
dpi=${1:?usage: $0 DPI WINE_RUN PROGRAM ARGS...}
wine_run=${2:?usage: $0 DPI WINE_RUN PROGRAM ARGS...}
shift 2
log_pixels() {
    timeout 120 "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}
trap 'log_pixels 96' EXIT
log_pixels "$dpi" || { echo "at_dpi: LogPixels not set" >&2; exit 1; }
# A filter that selects no test passes in GoogleTest's eyes: at least one must have run.
output=$(timeout 300 "$wine_run" "$@" 2>&1)
status=$?
printf '%s\n' "$output"
grep -Eq '^\[==========\] [1-9][0-9]* tests? from .* ran' <<<"$output" || { echo "at_dpi: no test ran" >&2; exit 1; }
exit "$status"
