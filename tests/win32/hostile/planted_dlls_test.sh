#!/bin/bash
# lumentrax.exe run from a folder that also holds a planted icmp.dll and comctl32.dll
# (planted_dll.cpp: each leaves a marker file when loaded), with Wine told to prefer a
# native DLL wherever it finds one. A program that loads a DLL by name, as a naive
# LoadLibraryA("icmp.dll") does, takes the planted file; lumentrax.exe must take neither
# and trace the lab with the system's own libraries.
# Usage: planted_dlls_test.sh LUMENTRAX_EXE DRIVER_EXE PLANTED_DLL
set -u
. "$(dirname "$0")/../e2e_common.sh"
planted=${3:?usage: $0 LUMENTRAX_EXE DRIVER_EXE PLANTED_DLL}
e2e_setup_driven planted-dlls "$1" "$2"
cp "$planted" "$work/icmp.dll" && cp "$planted" "$work/comctl32.dll"
check "planted DLLs beside the program" 0 $?
native_first="icmp,comctl32=n,b"
markers() { (cd "$work" && ls -- *.loaded 2>/dev/null | tr '\n' ' '); }

# The planted file is what a search that starts in the program's folder finds.
WINEDLLOVERRIDES=$native_first drive loadlib icmp.dll >/dev/null
check "a naive LoadLibraryA(\"icmp.dll\") beside it loads" 0 $?
check "... and it is the planted file" "icmp.dll.loaded " "$(markers)"
rm -f "$work"/*.loaded

e2e_dlls=$native_first
e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
rows=$(drive rows)
echo "$rows"
check "hop 1 answered through the system's ICMP library" "$LAB_HOP1" "$(cell "$rows" 1 1)"
check "the target answered" "$LAB_TARGET" "$(cell "$rows" 4 1)"
close_and_check_exit
check "no planted DLL was loaded" "" "$(markers)"
finish
