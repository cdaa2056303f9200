#!/bin/bash
# lumentrax.exe whose settings file cannot be written: a read-only file, a read-only
# folder without a file, and a read-only folder holding a writable file. The program
# traces, ends with exit code 0, and nothing already in the file is lost.
# Root ignores file modes; every Wine process here (the wineserver, which opens the
# files, included) runs without the capabilities that override them.
set -u
. "$(dirname "$0")/../e2e_common.sh"
e2e_wrap=(setpriv --bounding-set=-dac_override,-dac_read_search,-fowner --inh-caps=-dac_override,-dac_read_search,-fowner)
e2e_setup_driven settings-unwritable "$@"

earlier=$'[Options]\r\nMaxHops=30\r\nTimeOut=900\r\nReverseDns=0\r\nPacketSize=16\r\n[History]\r\nH0=kept.example\r\nH1=\r\n[Extra]\r\nKeep=yes\r\n'

# One run: start tracing the lab's target, wait for its four hops, close.
run_once() {
    local what=$1
    e2e_start_and_wait "$what: " 4 "/ip:$LAB_TARGET"
    drive close
    e2e_wait_exit 60
    check "$what: exit code after WM_CLOSE" 0 $?
}

# The file itself read-only (the folder writable).
printf '%s' "$earlier" >"$ini"
cp "$ini" "$work/earlier.ini"
chmod 444 "$ini"
run_once "read-only file"
cmp -s "$ini" "$work/earlier.ini"
check "read-only file: contents unchanged" 0 $?
check "read-only file: still read-only" 444 "$(stat -c %a "$ini")"

# A read-only folder with no settings file: nothing can be created there.
mkdir "$work/ro"
cp "$work/lumentrax.exe" "$work/ro/"
chmod 555 "$work/ro"
e2e_program=$work/ro/lumentrax.exe
run_once "read-only folder"
check "read-only folder: no file created" "lumentrax.exe" "$(ls -A "$work/ro" | tr '\n' ' ' | sed 's/ $//')"

# A read-only folder holding a writable file: whatever the save manages, every key
# already there keeps its value unless the program itself owns it.
chmod 755 "$work/ro"
printf '%s' "$earlier" >"$work/ro/lumentrax.ini"
chmod 666 "$work/ro/lumentrax.ini"
chmod 555 "$work/ro"
run_once "read-only folder, writable file"
ro_ini=$work/ro/lumentrax.ini
check "writable file: foreign key kept" "yes" "$(ini_value "$ro_ini" Extra Keep)"
check "writable file: MaxHops kept" "30" "$(ini_value "$ro_ini" Options MaxHops)"
check "writable file: TimeOut kept" "900" "$(ini_value "$ro_ini" Options TimeOut)"
check "writable file: PacketSize kept" "16" "$(ini_value "$ro_ini" Options PacketSize)"
h0=$(ini_value "$ro_ini" History H0)
h1=$(ini_value "$ro_ini" History H1)
# Saved: the traced address heads the history and the earlier head follows it.
# Not saved: the file as it was. Anything else lost or mixed something up.
if [ "$h0" = "$LAB_TARGET" ]; then
    check "writable file: earlier head moved to H1" "kept.example" "$h1"
else
    check "writable file: unsaved history unchanged" "kept.example" "$h0"
fi
chmod 755 "$work/ro"
finish
