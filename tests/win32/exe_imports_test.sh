#!/bin/bash
# lumentrax.exe and lumentrax-trace.exe must run on a bare Windows, safely from a
# download folder: programs that import only the system's known DLLs, which Windows
# always takes from its own folder (no MinGW runtime DLLs, and no COMCTL32.DLL, which is
# not one of them: a file of that name beside the program would be loaded at start-up).
# The window is a GUI-subsystem program with its menu and icon compiled in; the runner
# is a console program.
# Usage: exe_imports_test.sh EXE [console]
set -u
exe=$1
subsystem=${2:-gui}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

headers=$(x86_64-w64-mingw32-objdump -p "$exe") || { echo "FAIL: objdump" >&2; exit 1; }
imports=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
echo "imports:" $imports
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
    case $dll in
        kernel32.dll | user32.dll | gdi32.dll | ws2_32.dll | msvcrt.dll | advapi32.dll | \
        shell32.dll | ole32.dll) ;;
        *) fail "imports $dll, which is not one of the system's known DLLs" ;;
    esac
done
if [ "$subsystem" = console ]; then
    printf '%s\n' "$headers" | grep -q 'Subsystem.*(Windows CUI)' || fail "not a console program"
else
    printf '%s\n' "$headers" | grep -q 'Subsystem.*(Windows GUI)' || fail "not a GUI-subsystem program"
    resources=$(x86_64-w64-mingw32-objdump -h "$exe" | awk '{ print $2 }')
    printf '%s\n' "$resources" | grep -qx '.rsrc' || fail "no resource section"
fi
[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures != 0))
