#!/bin/bash
# Runs a Win32 test program in the default Wine prefix at DPI: Wine reads the user's LogPixels
# as a process starts; put back to the prefix's 96 however the run ends (its tests run one
# at a time). A filter that selects no test passes in GoogleTest's eyes: one must run.
# The limits below add up to less than the test's own (400 s), so the reset runs before
# ctest could kill the script and leave the prefix at another DPI.
# Usage: at_dpi.sh DPI WINE_RUN PROGRAM ARGS...
dpi=$1 wine_run=$2 && shift 2
log_pixels() { timeout 60 "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null; }
trap 'log_pixels 96' EXIT
log_pixels "$dpi" && output=$(timeout 240 "$wine_run" "$@" 2>&1)
status=$?
printf '%s\n' "$output"
grep -Eq '^\[==========\] [1-9][0-9]* tests? from .* ran' <<<"$output" || status=1
exit "$status"
