#!/bin/bash
# lumentrax.exe whose settings file cannot be written: a read-only file, a read-only
# folder without a file, a read-only folder holding a writable file, a path too long for
# the profile functions, a shared folder where the file may be written but not replaced,
# links planted at the temporary names, and a full volume.
# The program traces, ends with exit code 0, and nothing already in the file is lost.
# Root ignores file modes; every Wine process here (the wineserver, which opens the
# files, included) runs without the capabilities that override them.
set -u
. "$(dirname "$0")/../e2e_common.sh"
e2e_wrap=(setpriv --bounding-set=-dac_override,-dac_read_search,-fowner --inh-caps=-dac_override,-dac_read_search,-fowner)
e2e_setup_driven settings-unwritable "$@"

earlier=$'[Options]\r\nMaxHops=30\r\nTimeOut=900\r\nReverseDns=0\r\nPacketSize=16\r\n[History]\r\nH0=kept.example\r\nH1=\r\n[Extra]\r\nKeep=yes\r\n'

# One run: start tracing the lab's target (with START, default e2e_start), wait for its
# four hops, run $before_close if set, close.
run_once() {
    local what=$1
    local e2e_starter=${2:-e2e_start}
    e2e_start_and_wait "$what: " 4 "/ip:$LAB_TARGET"
    ${before_close:-}
    close_and_check_exit "$what: "
}

# The program copied to EXE, with SETTINGS (default the earlier ones; none when empty) beside it.
program_at() {
    e2e_program=$1
    [ "$1" -ef "$work/lumentrax.exe" ] || cp "$work/lumentrax.exe" "$1" || return 1
    [ -z "${2-$earlier}" ] || printf '%s' "${2-$earlier}" >"${1%.exe}.ini"
}

# The file itself read-only (the folder writable).
program_at "$work/lumentrax.exe" && cp "$ini" "$work/earlier.ini" && chmod 444 "$ini"
run_once "read-only file"
check "read-only file: contents unchanged, still read-only" "0 444" "$(cmp -s "$ini" "$work/earlier.ini"; echo $? "$(stat -c %a "$ini")")"

# A read-only folder with no settings file: nothing can be created there.
mkdir "$work/ro" && program_at "$work/ro/lumentrax.exe" "" && chmod 555 "$work/ro"
run_once "read-only folder"
check "read-only folder: no file created" "lumentrax.exe" "$(ls -A "$work/ro" | tr '\n' ' ' | sed 's/ $//')"

# A read-only folder holding a writable file: whatever the save manages, every key
# already there keeps its value unless the program itself owns it.
chmod 755 "$work/ro" && program_at "$work/ro/lumentrax.exe" && chmod 666 "$work/ro/lumentrax.ini" && chmod 555 "$work/ro"
run_once "read-only folder, writable file"
ro_ini=$work/ro/lumentrax.ini
check "writable file: foreign key, MaxHops, TimeOut, PacketSize kept" "yes 30 900 16" \
    "$(ini_values "$ro_ini" Extra Keep Options MaxHops Options TimeOut Options PacketSize)"
# Saved: the traced address heads the history and the earlier head follows it.
# Not saved: the file as it was. Anything else lost or mixed something up.
read -r h0 h1 <<<"$(ini_values "$ro_ini" History H0 History H1)"
check "writable file: earlier head in H1 when saved, else in H0" "kept.example" "$([ "$h0" = "$LAB_TARGET" ] && echo "$h1" || echo "$h0")"
chmod 755 "$work/ro"

# The longest settings path the profile functions take (259 characters as Wine names it,
# Z: and the Linux path): no room for a temporary name beside it, yet it saves.
deep=$work/$(printf 'd%.0s' $(seq 200))
mkdir "$deep"
program_at "$deep/$(printf 'p%.0s' $(seq $((257 - ${#deep} - 5)))).exe"
run_once "longest path"
check "longest path: saved, foreign key kept" "$LAB_TARGET yes" "$(ini_values "${e2e_program%.exe}.ini" History H0 Extra Keep)"

# One character more: the profile functions cannot take the path, so there are no
# settings. Nothing is read or written, beside the program or in the working folder.
program_at "$deep/$(printf 'p%.0s' $(seq $((258 - ${#deep} - 5)))).exe"
ls -A "$deep" >"$work/deep.before"
mkdir "$work/cwd"
pushd "$work/cwd" >/dev/null || exit 1
run_once "one character more"
popd >/dev/null || exit 1
check "one character more: settings file unchanged" 0 "$(cmp -s "${e2e_program%.exe}.ini" "$work/earlier.ini"; echo $?)"
check "one character more: nothing new in its folder or the working folder" "$(cat "$work/deep.before")|" \
    "$(ls -A "$deep")|$(ls -A "$work/cwd")"

# A shared folder (sticky, another user's) and a settings file of that user that this
# one may write but not replace: saved in place, nothing left beside it; also where the
# temporary name fits and the backup name does not (paths of 240, 241: ids of 2-4 digits).
for length in 0 240 241; do
    shared=$work/shared$length name=lumentrax
    [ "$length" = 0 ] || name=$(printf 'p%.0s' $(seq $((length - 2 - ${#shared} - 5))))
    mkdir "$shared"
    program_at "$shared/$name.exe"
    chown 12345 "$shared" "$shared/$name.ini"
    chmod 666 "$shared/$name.ini"
    chmod 1777 "$shared"
    run_once "shared folder $length"
    check "shared folder $length: saved in place, foreign key kept" "$LAB_TARGET kept.example yes" \
        "$(ini_values "$shared/$name.ini" History H0 History H1 Extra Keep)"
    check "shared folder $length: nothing left beside the file" "$name.exe $name.ini" "$(ls -A "$shared" | paste -sd' ')"
done

# Links planted at temporary names beside the settings file: one of a copy that is gone,
# one at this copy's own process id, one leading nowhere at the name the replaced file
# would move to. None is removed, replaced or written through.
rm -f "$ini"
program_at "$work/lumentrax.exe"
mkdir "$work/home"
echo thesis >"$work/home/thesis.txt"
echo letter >"$work/home/letter.txt"
ln -s home/thesis.txt "$ini.lumentrax-99996.tmp"
plant_own() { own=$ini.lumentrax-$(drive pid) && ln -s home/letter.txt "$own.tmp" && ln -s home/nowhere.txt "$own-2.tmp"; }
before_close=plant_own run_once "planted links"
check "planted links: targets untouched, links kept, saved" \
    "thesis letter letter.txt thesis.txt home/thesis.txt home/letter.txt home/nowhere.txt $LAB_TARGET yes" \
    "$( { cat "$work"/home/{thesis,letter}.txt; ls -A "$work/home"; readlink "$ini.lumentrax-99996.tmp" "$own.tmp" "$own-2.tmp"; } | paste -sd' ') $(ini_values "$ini" History H0 Extra Keep)"
rm -rf "$ini.lumentrax-99996.tmp" "$own.tmp" "$own-2.tmp" "$work/home"

# A settings file that is a symbolic link: the link stays, its target gets the save,
# and the temporary file's data reaches the disk before it is renamed. The program
# flushes, the wineserver renames: both run under strace, the server started first.
rm -f "$ini"
printf '%s' "$earlier" >"$work/target.ini"
ln -s target.ini "$ini"
traced=(strace -f -ttt -y -e trace=fsync,fdatasync,rename,renameat,renameat2 -o)
e2e_wineserver -k
in_client "${e2e_wrap[@]}" "${traced[@]}" "$work/strace.server" env WINEPREFIX="$prefix" wineserver -f -p &
socket=$(printf '/tmp/.wine-%d/server-%x-%x/socket' "$(id -u)" "0x$(stat -c %D "$prefix")" "$(stat -c %i "$prefix")")
poll 50 test -S "$socket"
start_traced() { local e2e_wrap=("${e2e_wrap[@]}" "${traced[@]}" "$work/strace.program"); e2e_start "$@"; }
e2e_program=$work/lumentrax.exe
run_once "linked file" start_traced
check "linked file: still a link, target saved" "target.ini $LAB_TARGET yes" "$(readlink "$ini") $(ini_values "$work/target.ini" History H0 Extra Keep)"
check "linked file: temporary file flushed, then renamed" "fsync rename" "$(cat "$work"/strace.* | sort -k2 -n |
    grep -oE '(fsync|rename[a-z0-9]*)\(.*target\.ini\.lumentrax-[0-9]+\.tmp' | grep -oE '^(fsync|rename)' | uniq | paste -sd' ')"

# A link whose target is not there yet: the save makes the target through the link, as
# writing in place did, and the link stays.
rm -f "$work/target.ini"
run_once "dangling link"
check "dangling link: still a link, its target made" "target.ini $LAB_TARGET" \
    "$(readlink "$ini") $(ini_value "$work/target.ini" History H0)"

# A full volume: a tmpfs in a mount namespace of its own (kept by a waiting shell; the
# wineserver and the program enter it) holds the program, a file of 3984 bytes that the
# save makes longer than a page, and a filler leaving no room or one page. The file must
# stay the old one, or be the new one, whole.
long=$(printf 'l%.0s' $(seq 250))
big=$'[Options]\r\nMaxHops=30\r\n[History]\r\n'
for n in $(seq 0 14); do big+="H$n=h$n.$long"$'\r\n'; done
printf '%s' "$big"$'[Extra]\r\nKeep=yes\r\n[Window]\r\nXPos=10\r\nYPos=20\r\nWidth=600\r\nHeight=400\r\n' >"$work/big.ini"
# Run as: bash -c "$full" DIR EXE; DIR.ready names the waiting shell once DIR is mounted.
full='mkdir "$0" && mount -t tmpfs -o size=1m tmpfs "$0" && cp "$1" "$0/" && echo $$ >"$0.ready" && exec sleep 600'
unshare -m --propagation private bash -c "$full" "$work/full" "$1" &
e2e_cleanup_more "kill $! 2>/dev/null"
poll 50 test -s "$work/full.ready"
on_volume=(nsenter -m -t "$(cat "$work/full.ready")")
in_volume() { "${on_volume[@]}" "$@"; }
# The wineserver is made inside first, so that the driver cannot start one outside.
e2e_wineserver -k
in_client "${e2e_wrap[@]}" "${on_volume[@]}" env WINEPREFIX="$prefix" wineserver -p
start_on_full_volume() { local e2e_wrap=("${e2e_wrap[@]}" "${on_volume[@]}"); e2e_start "$@"; }
e2e_program=$work/full/lumentrax.exe
for room in 0 4096; do
    in_volume bash -c 'cp "$1" "$0/lumentrax.ini" && rm -f "$0/filler" && { dd if=/dev/zero of="$0/filler" bs=4k
        truncate -s "-$2" "$0/filler"; } 2>/dev/null' "$work/full" "$work/big.ini" "$room"
    run_once "full volume, $room bytes free" start_on_full_volume
    in_volume cat "$work/full/lumentrax.ini" >"${after:=$work/full.after}"
    cmp -s "$after" "$work/big.ini" && echo "full volume, $room bytes free: the file is the old one" ||
        check "full volume, $room bytes free: the new file, whole (keys, history, foreign key)" "34 $LAB_TARGET h0.$long yes" \
            "$(settings_keys "$after") $(ini_values "$after" History H0 History H1 Extra Keep)"
done
finish
