# Shared by the end-to-end tests under Wine: a namespace lab, a Wine prefix of the test's
# own whose wineserver (and Wine's network service) starts inside the lab's client
# namespace, the program's own copy with a settings file of its own, the outside driver
# (lumentrax_driver, see driver.cpp), readers for its output and the settings file, and
# the removal of all of it however the test ends. The one library of the end-to-end
# tests: it sources tests/lab/lab_common.sh and the display helper. Sourced, not run.
#
# Making a Wine prefix takes seconds, so one is made per test run and copied: the first
# test that needs it makes the template (e2e_template: beside $LUMENTRAX_WINEPREFIX, under
# a lock, so that tests run side by side never make it twice; scripts/test removes it
# before and after its run), and each test takes a copy of its own before any Wine
# process starts in it. No wineserver runs on the template once it is made, and a copy
# never shares one: each test's wineserver starts in its own lab.
#
#   e2e_setup_prefix NAME [NAMES_FILE]  lab NAME, work dir $work, prefix $prefix (a copy of
#                                    the template; no Wine process started yet)
#   e2e_setup NAME EXE [NAMES_FILE]  the same, and the program at $work/lumentrax.exe with
#                                    its settings file $ini
#   e2e_setup_driven NAME EXE DRIVER_EXE [NAMES_FILE]
#                                    root required, e2e_setup and e2e_add_driver in one
#   e2e_add_program WINDOWS_EXE      copy a helper program into $work (run it with wine_in_lab $work/NAME)
#   e2e_add_driver DRIVER_EXE        copy the outside driver into $work for drive/drive_raw
#   e2e_user_registry KEY LINE       add a value (LINE as in a .reg file, e.g. '"Desktop"="Default"')
#                                    under KEY (e.g. 'Software\\Wine\\Explorer') of the prefix's
#                                    user hive; only before the first Wine start
#   wine_in_lab PROGRAM ARGS...      run a Windows program in the lab's client namespace
#   e2e_wineserver ARGS...           run the prefix's wineserver command (e.g. -k, -w)
#   e2e_start ARGS...                start $e2e_program (default $work/lumentrax.exe) with ARGS in the
#                                    background ($program), Wine's DLL overrides from $e2e_dlls
#   e2e_start_and_wait WHAT HOPS ARGS...  e2e_start, then check that the main window appears and,
#                                    unless HOPS is 0, that HOPS hops are traced (WHAT heads the
#                                    checks' names)
#   e2e_wait_sent WHAT HOP SENT      check that hop HOP's sent count reaches SENT
#   e2e_no_hop_beyond WHAT HOPS      check that no hop after HOPS is added
#   e2e_stop WHAT                    stop the trace, its rows into $rows
#   e2e_copy_checked WHAT LINES FILE Copy into FILE (the box's text in $work/box), checked: LINES
#                                    lines, each ending in CR LF, ten fields on every line
#   e2e_unix_pid                     print the Linux process id of the running lumentrax.exe
#   e2e_wait_exit SECONDS            wait for the program; its exit status (124 = still running)
#   drive COMMAND ARGS...            run the driver; its output without the CRs of the console
#   drive_raw COMMAND ARGS...        the same, output byte for byte (clipboard text)
#   close_and_check_exit [WHAT]      WM_CLOSE, then check the program ends with exit code 0
#   cell ROWS ROW COLUMN             cell COLUMN (0-based) of row ROW (1-based) of `drive rows`
#   box_image ROWS ROW               the box image of row ROW (1 clear, 2 ticked)
#   row_count ROWS / column_sum ROWS COLUMN
#   ini_value FILE SECTION KEY       a value of an initialization file
#   ini_values FILE SECTION KEY...   the values of several SECTION KEY pairs, joined by blanks
# Every Wine start costs time: prefer the driver's subcommands that wait and print in one
# start (stop, copy, read-options, start-stop) to a chain of separate ones.
# Extra cleanup can be added with e2e_cleanup_more 'COMMANDS'. A command prefix for every Wine
# process (and so the wineserver), e.g. setpriv to drop root's file-permission override,
# goes into the array e2e_wrap before e2e_setup.

. "$(dirname "${BASH_SOURCE[0]}")/../lab/lab_common.sh"
. "$repo_root/scripts/lib/xvfb.sh"

e2e_template=${LUMENTRAX_WINEPREFIX:-$repo_root/build/wineprefix}-e2e-template
work=
prefix=
ini=
program=
e2e_program=
e2e_driver=
e2e_dlls=
e2e_wrap=()

e2e_cleanup() {
    if [ -n "$prefix" ]; then
        e2e_wineserver -k >/dev/null 2>&1
        lumentrax_stop_display "$prefix"
    fi
    [ -n "$work" ] && rm -rf "$work"
}

e2e_cleanup_more() { cleanup_extra="$1; ${cleanup_extra:-}"; }

# Makes the template once, in this (the host's) namespace; the wineserver that made it
# has ended before the lock is released.
e2e_make_template() {
    local making=$e2e_template.making.$$ status=0
    exec 8<>"$e2e_template.lock"
    flock -w 600 8 || { echo "FAIL: the template prefix's lock is still held after 600 s" >&2; return 1; }
    if [ ! -f "$e2e_template/system.reg" ]; then
        rm -rf "$making"
        # The lock's descriptor stays here: the display and the wineserver outlive a call.
        LUMENTRAX_WINEPREFIX=$making timeout 300 bash "$repo_root/cmake/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 8>&-
        WINEPREFIX=$making timeout 300 wineserver -w >/dev/null 2>&1 8>&- || WINEPREFIX=$making wineserver -k 8>&-
        lumentrax_stop_display "$making"
        if [ -f "$making/system.reg" ]; then
            rm -rf "$e2e_template" && mv "$making" "$e2e_template" || status=1
        else
            rm -rf "$making"
            status=1
        fi
    fi
    exec 8>&-
    return $status
}

# The copy shares the template's files through hard links, except those Wine writes in
# place (registry hives, .ini files, the update stamp), which are copied.
e2e_copy_template() {
    local file
    cp -al "$e2e_template" "$prefix" 2>/dev/null || { rm -rf "$prefix"; cp -a "$e2e_template" "$prefix"; } || return 1
    find "$prefix" -type f \( -name '*.reg' -o -name '*.ini' -o -name '.update-timestamp' \) -print0 |
        while IFS= read -r -d '' file; do
            cp -p "$file" "$file.copy" && mv -f "$file.copy" "$file" || exit 1
        done
}

e2e_setup_prefix() {
    local name=$1 names=${2:-}
    command -v wine >/dev/null || { echo "FAIL: wine is not installed" >&2; exit 1; }
    e2e_make_template || { echo "FAIL: the template Wine prefix was not made" >&2; exit 1; }
    work=$(mktemp -d /tmp/lumentrax-e2e.XXXXXX)
    prefix=$work/prefix
    cleanup_extra='e2e_cleanup'
    start_lab "$name" "$names"
    e2e_copy_template || { echo "FAIL: Wine prefix not copied from $e2e_template" >&2; exit 1; }
}

e2e_setup() {
    e2e_setup_prefix "$1" "${3:-}"
    ini=$work/lumentrax.ini
    e2e_program=$work/lumentrax.exe
    cp "$2" "$e2e_program" || { echo "FAIL: no program at $2" >&2; exit 1; }
}

e2e_setup_driven() {
    [ -n "${3:-}" ] || { echo "usage: $0 LUMENTRAX_EXE DRIVER_EXE" >&2; exit 2; }
    require_root
    e2e_setup "$1" "$2" "${4:-}"
    e2e_add_driver "$3"
}

e2e_add_program() { cp "$1" "$work/" || { echo "FAIL: no program at $1" >&2; exit 1; }; }

e2e_add_driver() {
    e2e_add_program "$1"
    e2e_driver=$work/$(basename "$1")
}

e2e_user_registry() { printf '\n[%s]\n%s\n' "$1" "$2" >>"$prefix/user.reg"; }

wine_in_lab() {
    in_client "${e2e_wrap[@]}" env LUMENTRAX_WINEPREFIX="$prefix" bash "$repo_root/cmake/wine-run.sh" "$@"
}

e2e_wineserver() { in_client env WINEPREFIX="$prefix" wineserver "$@"; }

e2e_start() {
    WINEDLLOVERRIDES=${e2e_dlls:-${WINEDLLOVERRIDES:-}} wine_in_lab "$e2e_program" "$@" &
    program=$!
}

e2e_start_and_wait() {
    local what=$1 hops=$2
    shift 2
    "${e2e_starter:-e2e_start}" "$@"
    drive wait-window 120
    check "${what}main window appears" 0 $?
    [ "$hops" -eq 0 ] && return
    drive wait-count "$hops" 120
    check "${what}$hops hops traced" 0 $?
}

# Column 7 of the driver's rows is the sent count.
e2e_wait_sent() {
    drive wait-min $(($2 - 1)) 7 "$3" 60
    check "${1}hop $2 pinged $3 times" 0 $?
}

# Discovery is over: the monitor phase has nothing more to find and adds no row.
e2e_no_hop_beyond() {
    drive wait-count $(($2 + 1)) 5
    check "${1}no hop beyond $2" 1 $?
}

# Stops the trace; the list then holds still and its rows, read at once, go into $rows.
e2e_stop() {
    rows=$(drive stop 30)
    check "${1:-}stopped, rows read" 0 $?
}

# The driver returns once the confirmation box is gone, so the next command cannot meet it.
e2e_copy_checked() {
    local what=$1 lines=$2 clip=$3
    drive_raw copy 30 >"$clip" 2>"$work/box"
    check "${what}copy confirmed, clipboard read, box closed" 0 $?
    check "${what}clipboard lines" "$lines" "$(wc -l <"$clip")"
    check "${what}every line ends in CR LF" "$lines" "$(grep -c $'\r$' "$clip")"
    check "${what}text ends after a whole line" 0d0a "$(tail -c 2 "$clip" | od -An -tx1 | tr -d ' \n')"
    check "${what}ten fields on every line" 0 "$(tr -d '\r' <"$clip" | awk -F'\t' 'NF != 10' | wc -l)"
}

# The Wine process that runs the program is the one in the client namespace whose
# command line names lumentrax.exe (helpers have other names; wine-run.sh execs Wine).
e2e_unix_pid() {
    local pid
    for pid in $(ip netns pids "$LAB_CLIENT_NS" 2>/dev/null); do
        [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" != /usr/bin/bash ] || continue
        if tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -q 'lumentrax\.exe$'; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

e2e_wait_exit() {
    poll $(($1 * 10)) eval '! kill -0 "$program" 2>/dev/null' || return 124
    wait "$program"
}

drive_raw() { wine_in_lab "$e2e_driver" "$@"; }
drive() { drive_raw "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# Closes the program with WM_CLOSE and checks that it ends with exit code 0.
close_and_check_exit() {
    drive close
    check "${1:-}close posted" 0 $?
    e2e_wait_exit 60
    check "${1:-}exit code after WM_CLOSE" 0 $?
}

cell() { printf '%s\n' "$1" | awk -F'\t' -v r="$2" -v c="$3" 'NR == r { print $(c + 2) }'; }
box_image() { printf '%s\n' "$1" | awk -F'\t' -v r="$2" 'NR == r { print $1 }'; }
row_count() { printf '%s' "$1" | awk 'NF' | wc -l; }
# Sum of column COLUMN over all rows (sent = 7, received = 8).
column_sum() { printf '%s\n' "$1" | awk -F'\t' -v c="$2" 'NF { s += $(c + 2) } END { print s + 0 }'; }

# Value of KEY in SECTION of an initialization file (the first one, as Windows reads it;
# the program writes each key once).
ini_value() {
    tr -d '\r' <"$1" | awk -v s="[$2]" -v k="$3" '
        /^\[/ { in_section = ($0 == s); next }
        in_section && index($0, k "=") == 1 { print substr($0, length(k) + 2); exit }'
}
ini_values() {
    local file=$1 out=()
    shift
    while [ $# -ge 2 ]; do out+=("$(ini_value "$file" "$1" "$2")") && shift 2; done
    echo "${out[*]}"
}

# The 34 keys the program saves, one a line as SECTION/KEY.
settings_saved_keys() {
    printf '%s\n' Options/{MaxHops,TimeOut,ReverseDns,PacketSize} Window/{XPos,YPos,Width,Height} \
        Column/C{0..9} History/H{0..15}
}

# How many of those FILE holds, each in its own section.
settings_keys() {
    tr -d '\r' <"$1" | awk '/^\[/ { s = substr($0, 2, length($0) - 2); next }
        index($0, "=") { print s "/" substr($0, 1, index($0, "=") - 1) }' |
        sort -u | grep -cxFf <(settings_saved_keys)
}
