#!/bin/bash
# lumentrax.exe (a GUI-subsystem program with its menu and icon compiled in) and
# lumentrax-trace.exe (a console program) must run on a bare Windows, safely from a
# download folder: they import only the system's known DLLs, which Windows always takes
# from its own folder (no MinGW runtime DLLs, and no COMCTL32.DLL, which is not one of
# them: a file of that name beside the program would be loaded at start-up).
# Usage: exe_imports_test.sh LUMENTRAX_EXE LUMENTRAX_TRACE_EXE
set -u
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for exe_subsystem in "$1:GUI" "$2:CUI"; do
    exe=${exe_subsystem%:*}
    headers=$(x86_64-w64-mingw32-objdump -p "$exe") || { echo "FAIL: objdump" >&2; exit 1; }
    imports=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
    echo "$exe imports:" $imports
    [ -n "$imports" ] || fail "no imports found"
    for dll in $imports; do
        case $dll in
            kernel32.dll | user32.dll | gdi32.dll | ws2_32.dll | msvcrt.dll | advapi32.dll | \
            shell32.dll | ole32.dll) ;;
            *) fail "$exe imports $dll, which is not one of the system's known DLLs" ;;
        esac
    done
    printf '%s\n' "$headers" | grep -q "Subsystem.*(Windows ${exe_subsystem#*:})" || fail "$exe: not a ${exe_subsystem#*:} program"
done
resources=$(x86_64-w64-mingw32-objdump -h "$1" | awk '{ print $2 }')
printf '%s\n' "$resources" | grep -qx '.rsrc' || fail "no resource section"
[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures != 0))
