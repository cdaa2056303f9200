#!/bin/bash
# lumentrax.exe and lumentrax-trace.exe must run on a bare Windows, safely from a
# download folder: programs that import only the system's known DLLs, which Windows
# always takes from its own folder (no MinGW runtime DLLs, and no COMCTL32.DLL, which is
# not one of them: a file of that name beside the program would be loaded at start-up).
# The window is a GUI-subsystem program with its menu and icon compiled in; the runner
# is a console program.
# Usage: exe_imports_test.sh LUMENTRAX_EXE LUMENTRAX_TRACE_EXE
set -u
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The imports of EXE, and its subsystem as objdump names it (GUI or CUI).
check_exe() {
    local exe=$1 subsystem=$2 headers imports dll
    headers=$(x86_64-w64-mingw32-objdump -p "$exe") || { fail "objdump $exe"; return; }
    imports=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
    echo "$(basename "$exe") imports:" $imports
    [ -n "$imports" ] || fail "no imports found"
    for dll in $imports; do
        case $dll in
            kernel32.dll | user32.dll | gdi32.dll | ws2_32.dll | msvcrt.dll | advapi32.dll | \
            shell32.dll | ole32.dll) ;;
            *) fail "$exe imports $dll, which is not one of the system's known DLLs" ;;
        esac
    done
    printf '%s\n' "$headers" | grep -q "Subsystem.*(Windows $subsystem)" || fail "$exe: not a $subsystem program"
}
check_exe "$1" GUI
x86_64-w64-mingw32-objdump -h "$1" | awk '{ print $2 }' | grep -qx '.rsrc' || fail "no resource section"
check_exe "$2" CUI
[ "$failures" -eq 0 ] && echo "all checks passed"
exit $((failures != 0))
