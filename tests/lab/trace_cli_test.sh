#!/bin/bash
# lumentrax-trace's command line and report forms (Linux, or the exe under Wine), on
# loopback only: what each part holds is said above it.
# Usage: trace_cli_test.sh VERSION COMMAND... (the runner, after whatever starts it)
set -u
. "$(dirname "$0")/lab_common.sh"
version=$1 trace=("${@:2}")
tmp=$(mktemp -d) exporter=
err=$tmp/err files=$tmp/reports && mkdir "$files"
trap '[ -n "$exporter" ] && kill "$exporter" 2>/dev/null; rm -rf "$tmp"' EXIT

# A bad option, or an option value not taken whole: status 2, nothing on stdout, and the
# first line of stderr names ARGUMENT, then the usage follows.
expect_usage() {
    local argument=$1
    shift
    check "[$*] status, stdout, usage, first line names $argument" "2||1 1" \
        "$(outcome "${trace[@]}" "$@")|$(grep -c '^usage: lumentrax-trace' "$err") $(head -1 "$err" | grep -c "^lumentrax-trace: .*$argument")"
}

expect_usage "no host"
expect_usage "no host" --no-dns
expect_usage --bogus --bogus 127.0.0.1
expect_usage "extra operand 127.0.0.2" 127.0.0.1 127.0.0.2
expect_usage --steps --steps
expect_usage "--steps -1" --steps -1 127.0.0.1
expect_usage "--steps \"5x\"" --steps 5x 127.0.0.1
expect_usage "--timeout \"abc\": not a whole number" --timeout abc 127.0.0.1
expect_usage "--timeout 99999999999" --timeout 99999999999 127.0.0.1
expect_usage "--max-hops \"\"" --max-hops "" 127.0.0.1
expect_usage "--size \"127.0.0.1\"" --size 127.0.0.1
expect_usage --version --version 127.0.0.1
expect_usage "--format \"xml\"" --format xml 127.0.0.1
expect_usage "--output \"\": an empty path" --output "" 127.0.0.1
expect_usage "--every 0: not a positive" --every 0 127.0.0.1
expect_usage "--duration -3: not a positive" --duration -3 127.0.0.1
expect_usage "--duration 99999999999999999999: out of range (1 to" --duration 99999999999999999999 127.0.0.1

# A wrong command line needs no standard output: status 2, the usage on stderr.
"${trace[@]}" --bogus 127.0.0.1 >&- 2>"$err"
check "closed stdout, wrong command line: status, usage" "2 1" "$? $(grep -c '^usage: lumentrax-trace' "$err")"
out=$("${trace[@]}" --help 2>"$err")
check "--help: status, usage on stdout (--no-route-checks too), stderr" "0|1 1|" \
    "$?|$(grep -c '^usage: lumentrax-trace' <<<"$out") $(grep -c '\[--no-route-checks\]' <<<"$out")|$(cat "$err")"
usage_lines=$(wc -l <<<"$out")
# A line break or a terminal's escape in what a message names stays inside its one line.
"${trace[@]}" --steps $'1\n\e[2J' 127.0.0.1 2>"$err"
lines="$? $(wc -l <"$err") $(grep -c $'\e' "$err")"
"${trace[@]}" --steps 1 --no-dns --output "$files/none"$'/\n\e[2J' 127.0.0.1 2>"$err"
check "a line break and an escape in an argument, a path: status, lines, escapes" \
    "2 $((1 + usage_lines)) 0|1 1 0" "$lines|$? $(wc -l <"$err") $(grep -c $'\e' "$err")"

check "version: status, stdout, stderr" "0|lumentrax-trace $version|" "$(outcome "${trace[@]}" --version)|$(cat "$err")"

# Zero steps: the host is resolved (a dotted quad, no lookup) and nothing is probed.
check "zero steps: status, stdout, stderr" "0||" \
    "$(outcome "${trace[@]}" --steps 0 --max-hops -5 --timeout -1 --size -1 --no-dns 127.0.0.1)|$(cat "$err")"
# The options a report names are those in force: values beyond the engine's limits held.
out=$("${trace[@]}" --steps 0 --format json --max-hops 999 --timeout 99999 --size -1 --no-dns 127.0.0.1)
check "options in force" '"options":{"maxHops":255,"timeoutMs":60000,"monitorTimeoutMs":60000,"sizeBytes":2048,' \
    "$(grep -o '"options":{[^,]*,[^,]*,[^,]*,[^,]*,' <<<"$out")"
# Two steps to loopback, the table written to a full disk or to no standard output at all.
"${trace[@]}" --steps 2 --timeout 500 --no-dns 127.0.0.1 >/dev/full 2>"$err"
check "full disk: status, one line naming the cause" "1 1 1" \
    "$? $(grep -c 'standard output: No space left on device' "$err") $(wc -l <"$err")"
"${trace[@]}" --steps 2 --timeout 500 --no-dns 127.0.0.1 >&- 2>"$err"
check "closed standard output: status and one line" "1 1" "$? $(wc -l <"$err")"

# Reports every second for three seconds: at least three, each headed by its local time
# and the target with its address.
stamp='^# [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [+-][0-9]{2}:[0-9]{2} 127\.0\.0\.1 127\.0\.0\.1'$'\r$'
# A run of three seconds with a report every second: timed [OPTION...].
timed() { "${trace[@]}" --every 1 --duration 3 --timeout 500 --no-dns "$@" 127.0.0.1 2>"$err"; }
out=$(timed)
status=$?
stamps=$(grep -cE "$stamp" <<<"$out")
check "every 1 s for 3 s: status, at least 3 reports, each stamped" "0 1 $stamps" \
    "$status $((stamps >= 3)) $(grep -c $'^1\t' <<<"$out")"

# The wall clock set back an hour once the first report is out (libfaketime, the monotonic
# clock left alone): the run's start and its reports' times still go forward, in JSON and
# in the stamp lines.
faked=(env LD_PRELOAD="$(echo /usr/lib/*/faketime/libfaketime.so.1)" FAKETIME_TIMESTAMP_FILE="$tmp/clock"
       FAKETIME_NO_CACHE=1 DONT_FAKE_MONOTONIC=1)
for form in json tsv; do
    echo +0 >"$tmp/clock"
    "${faked[@]}" "${trace[@]}" --format $form --every 1 --duration 3 --timeout 500 --no-dns 127.0.0.1 >"$tmp/out" &
    poll 600 test -s "$tmp/out"
    echo -3600 >"$tmp/clock"
    wait $!
    times=$(if [ $form = json ]; then jq -rs '.[0].start, .[].end' "$tmp/out"; else grep -ao '^# [^ ]* [^ ]*' "$tmp/out"; fi)
    check "clock set back: $form, at least 3 times, in order" "1 in order" \
        "$(($(wc -l <<<"$times") >= 3)) $(LC_ALL=C sort -c <<<"$times" && echo in order)"
done

# CSV every second: one table of twenty columns under one header, no comment line, rows
# numbered by their report; with --no-header no header at all.
out=$(timed --format csv)
check "csv every 1 s: status, one header, one width, reports 1, 2, 3 ..." "0 1 {20} True" "$? $(python3 -c '
import csv, sys; rows = list(csv.reader(sys.stdin)); seqs = [int(r[13]) for r in rows[1:]]
print(sum(r[0] == "hop" for r in rows), set(map(len, rows)), rows[0][0] == "hop" and seqs[-1] >= 3 and seqs == sorted(seqs))' <<<"$out")"
out=$("${trace[@]}" --format csv --no-header --steps 2 --timeout 500 --no-dns 127.0.0.1 2>"$err")
check "csv --no-header: the rows alone" "1,127.0.0.1," "$(head -c 12 <<<"$out")"
# JSON every second: schema, version, numbered reports, the last one final.
out=$(timed --format json)
check "json every 1 s: status, schema and version, seq 1, 2, 3 ..., final last, target reached" "0 true" \
    "$? $(jq -s --arg v "$version" 'length >= 3 and all(.schema == 2 and .version == $v and .reached and (.host | length > 0))
         and [.[].seq] == [range(1; length + 1)] and [.[].final] == [range(length - 1) | false] + [true]' <<<"$out")"

# Prometheus text into a file that each report replaces whole (a timed run checks its
# route, so each ends with the route changes counted): a reader never sees part of one,
# nothing is left beside it, promtool finds nothing, and node_exporter's textfile
# collector serves it without a scrape error.
prom=$files/lumentrax.prom
timed --format prometheus --output "$prom" >"$tmp/out" &
runner=$! reads=0 torn=0
while kill -0 $runner 2>/dev/null && sleep 0.05; do
    [ -e "$prom" ] && reads=$((reads + 1)) && [[ $(cat "$prom") != *$'\nlumentrax_target_reached{target="127.0.0.1"} 1\n'*$'\nlumentrax_route_changes_total{target="127.0.0.1"} 0' ]] && torn=$((torn + 1))
done
wait $runner
check "--output: status, stdout, stderr, whole reports, one file" "0|||1 0|lumentrax.prom" \
    "$?|$(cat "$tmp/out")|$(cat "$err")|$((reads > 0)) $torn|$(ls "$files")"
check "promtool check metrics: findings and status" "|0" "$(promtool check metrics <"$prom" 2>&1)|$?"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$files" >/dev/null 2>&1 & exporter=$!
scrape() { metrics=$(python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1], timeout=5).read().decode())' \
    "http://127.0.0.1:$port/metrics" 2>/dev/null); }
poll 100 scrape
kill $exporter && wait $exporter 2>/dev/null; exporter=
check "node_exporter: no scrape error, the hop's counter" "1 1" "$(grep -c '^node_textfile_scrape_error 0$' <<<"$metrics") \
$(grep -c '^lumentrax_hop_sent_total{address="127.0.0.1",hop="1",name="",target="127.0.0.1"} [1-9]' <<<"$metrics")"

# Six runs replacing one file at once take turns: each ends well, the file is one whole
# report and nothing is left beside it.
for _ in {1..6}; do "${trace[@]}" --every 1 --duration 3 --no-dns --format json --output "$files/shared.json" 127.0.0.1 & done 2>"$tmp/out"
statuses= && for _ in {1..6}; do wait -n; statuses+=$?; done
check "six runs, one --output: statuses, stderr, a whole report, nothing beside it" "000000||true|lumentrax.prom shared.json" \
    "$statuses|$(cat "$tmp/out")|$(jq .final "$files/shared.json")|$(ls "$files" | paste -sd' ')"
# Only a plain file is replaced: a pipe (as /dev/null is a device), a link to it or a
# folder at the path stays as it is, and the run fails with one line.
rm "$files"/* && mkfifo "$files/pipe" && ln -s pipe "$files/link" && mkdir "$files/folder" && statuses=
for name in pipe link folder; do statuses+="$(outcome "${trace[@]}" --steps 1 --no-dns --output "$files/$name" 127.0.0.1) $(wc -l <"$err"),"; done
check "--output onto a pipe, a link to it, a folder: status, stdout and lines, what stays, nothing beside" \
    "1| 1,1| 1,1| 1,|fifo symbolic link directory|folder link pipe" \
    "$statuses|$(cd "$files" && stat -c %F pipe link folder | paste -sd' ')|$(ls "$files" | paste -sd' ')"

# Interrupted once its first report is out (a second into the run): the report of what it
# gathered, before its million steps, status 0.
interrupt_when '[ -s "$tmp/interrupted" ]' "$tmp/interrupted" "${trace[@]}" --every 1 --steps 1000000 --timeout 500 --no-dns 127.0.0.1
sent=$(tr -d '\r' <"$tmp/interrupted" | awk -F'\t' '$2 == "127.0.0.1" { sent = $8 } END { print sent + 0 }')
check "interrupt: status, a last report before the run's end" "0 1" "$status $((sent > 0 && sent < 1000000))"

# Interrupted while its report waits for the reader of a full pipe: whole, status 0, also
# when a second interrupt follows 0.2 s later (as when `timeout` passes one on to the run
# and to its process group, or a terminal's Ctrl+C reaches both): it is the same one.
out=$(python3 - "${trace[@]}" --steps 3 --no-dns 127.0.0.1 <<'EOF'
import fcntl, os, signal, subprocess, sys, time
r, w = os.pipe()
fcntl.fcntl(w, 1031, 4096)  # F_SETPIPE_SZ: the smallest pipe, filled before the run
os.write(w, b"x" * 4096)
p = subprocess.Popen(sys.argv[1:], stdout=w, stderr=subprocess.DEVNULL)
os.close(w)
for _ in range(600):
    if "pipe_write" in open(f"/proc/{p.pid}/wchan").read(): break
    time.sleep(0.1)
p.send_signal(signal.SIGINT), time.sleep(0.2), p.send_signal(signal.SIGINT), time.sleep(0.5)
report = b"".join(iter(lambda: os.read(r, 65536), b""))[4096:]  # until the run ends
print(p.wait(timeout=60), report.count(b"\t127.0.0.1\t"))
EOF
)
check "two interrupts while the report waits for a full pipe: status, the report" "0 1" "$out"
finish
