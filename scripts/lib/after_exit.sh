#!/bin/bash
# Runs a command once a process has ended, for the clean-up that process's own traps
# could not do: a test killed with SIGKILL (as ctest ends one that runs out of time,
# with every process of it) leaves its lab behind otherwise.
#   after_exit.sh PID COMMAND [ARGS...]   prints the pid of the process that waits
# The waiter leaves PID's process tree and session at once, so that what ends the tree
# or the session spares it, and holds none of the caller's descriptors (a test runner
# waits for the test's output to close). It looks once a second; the caller may end it
# with SIGTERM when it has cleaned up itself.
set -u
[[ ${1:-} =~ ^[0-9]+$ ]] && [ $# -ge 2 ] || { echo "usage: after_exit.sh PID COMMAND [ARGS...]" >&2; exit 2; }
setsid bash -c 'while kill -0 "$0" 2>/dev/null; do sleep 1; done; exec "$@"' "$@" </dev/null >/dev/null 2>&1 &
echo $!
