# Shared by the end-to-end tests of lumentrax.exe: a namespace lab, a fresh Wine prefix
# whose wineserver (and Wine's network service) starts inside the lab's client
# namespace, the program's own copy with a settings file of its own, and the removal of
# all of it however the test ends. Sourced after tests/lab/lab_common.sh, not run.
#
#   e2e_setup NAME EXE [NAMES_FILE]  lab NAME, work dir $work, prefix $prefix, exe at $work/lumentrax.exe,
#                                    settings file $ini; first Wine start (prefix creation) done
#   e2e_add_program WINDOWS_EXE      copy a helper program into $work (run it with wine_in_lab $work/NAME)
#   wine_in_lab PROGRAM ARGS...      run a Windows program in the lab's client namespace
#   e2e_start ARGS...                start $e2e_program (default $work/lumentrax.exe) with ARGS in the
#                                    background ($program)
#   e2e_unix_pid                     print the Linux process id of the running lumentrax.exe
#   e2e_wait_exit SECONDS            wait for the program; its exit status (124 = still running)
# Extra cleanup can be added with e2e_cleanup_more 'COMMANDS'. A command prefix for every Wine
# process (and so the wineserver), e.g. setpriv to drop root's file-permission override,
# goes into the array e2e_wrap before e2e_setup.

work=
prefix=
ini=
program=
e2e_program=
e2e_wrap=()

e2e_cleanup() {
    if [ -n "$prefix" ]; then
        in_client env WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
        lumentrax_stop_display "$prefix"
    fi
    [ -n "$work" ] && rm -rf "$work"
}

e2e_cleanup_more() { cleanup_extra="$1; ${cleanup_extra:-}"; }

e2e_setup() {
    local name=$1 exe=$2 names=${3:-}
    . "$repo_root/scripts/lib/xvfb.sh"
    work=$(mktemp -d /tmp/lumentrax-e2e.XXXXXX)
    prefix=$work/prefix
    ini=$work/lumentrax.ini
    e2e_program=$work/lumentrax.exe
    cleanup_extra='e2e_cleanup'
    start_lab "$name" "$names"
    cp "$exe" "$work/lumentrax.exe" || { echo "FAIL: no program at $exe" >&2; exit 1; }
    # The prefix is created now, inside the lab, so that no later wait includes it.
    wine_in_lab cmd /c exit 0 >/dev/null 2>&1
    [ -f "$prefix/system.reg" ] || { echo "FAIL: Wine prefix was not created" >&2; exit 1; }
}

e2e_add_program() { cp "$1" "$work/" || { echo "FAIL: no program at $1" >&2; exit 1; }; }

wine_in_lab() {
    in_client "${e2e_wrap[@]}" env LUMENTRAX_WINEPREFIX="$prefix" bash "$repo_root/cmake/wine-run.sh" "$@"
}

e2e_start() {
    wine_in_lab "$e2e_program" "$@" &
    program=$!
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
    local seconds=$1 n
    for n in $(seq 1 $((seconds * 5))); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$program" 2>/dev/null; then
        return 124
    fi
    wait "$program"
}
