#!/bin/bash
# lumentrax-trace's command line (Linux, or the exe under Wine), loopback only: bad
# options give the usage on stderr and status 2 with nothing on stdout; option values are
# taken whole or not at all; zero steps print the empty table; --version alone prints the
# project's version byte for byte; a table that cannot be written fails with one line.
# Usage: trace_cli_test.sh VERSION COMMAND... (the runner, after whatever starts it)
set -u
. "$(dirname "$0")/lab_common.sh"
version=$1
trace=("${@:2}")
err=$(mktemp)
trap 'rm -f "$err"' EXIT

expect_usage() {
    local out status
    out=$("${trace[@]}" "$@" 2>"$err")
    status=$?
    check "[$*] status" 2 "$status"
    check "[$*] stdout" "" "$out"
    check "[$*] usage" 1 "$(grep -c '^usage: lumentrax-trace' "$err")"
}

expect_usage
expect_usage --no-dns
expect_usage --bogus 127.0.0.1
expect_usage 127.0.0.1 127.0.0.2
expect_usage --steps
expect_usage --steps -1 127.0.0.1
expect_usage --steps 5x 127.0.0.1
expect_usage --timeout 99999999999 127.0.0.1
expect_usage --max-hops "" 127.0.0.1
expect_usage --size 127.0.0.1
expect_usage --version 127.0.0.1

out=$("${trace[@]}" --version 2>"$err")
check "version: status, stdout, stderr" "0|lumentrax-trace $version|" "$?|$out|$(cat "$err")"

# Zero steps: the host is resolved (a dotted quad, no lookup) and nothing is probed.
out=$("${trace[@]}" --steps 0 --max-hops -5 --timeout -1 --size -1 --no-dns 127.0.0.1 2>"$err")
check "zero steps status" 0 $?
check "zero steps stdout" "" "$out"
check "zero steps stderr" "" "$(cat "$err")"
# Two steps to loopback, the table written to a full disk or to no standard output at all.
"${trace[@]}" --steps 2 --timeout 500 --no-dns 127.0.0.1 >/dev/full 2>"$err"
check "full disk: status, one line naming the cause" "1 1 1" \
    "$? $(grep -c 'standard output: No space left on device' "$err") $(wc -l <"$err")"
"${trace[@]}" --steps 2 --timeout 500 --no-dns 127.0.0.1 >&- 2>"$err"
check "closed standard output: status and one line" "1 1" "$? $(wc -l <"$err")"
finish
