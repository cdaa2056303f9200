# Shared by the lab test scripts: the root requirement, a private lab that is removed
# however the test ends, and readers for lumentrax-trace's tab-separated output.
# Sourced, not run. Exit status 77 means "skipped" (ctest SKIP_RETURN_CODE).

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
failures=0

# Namespaces need root. Outside CI a test without root is skipped; in CI it fails,
# so a missing privilege can never pass for a green run.
require_root() {
    [ "$(id -u)" -eq 0 ] && return 0
    [ "${CI:-}" = true ] && { echo "FAIL: lab tests need root (CI=true)" >&2; exit 1; }
    echo "SKIP: lab tests need root" >&2
    exit 77
}

# Brings up lab NAME (a unique name per test and process) and $lab_files, a folder for the
# test's files: both removed on exit, the lab also when this shell is killed untrapped.
start_lab() {
    require_root
    lab_name="$1-$$"
    lab_files=$(mktemp -d)
    trap 'stop_lab' EXIT
    trap 'exit 1' INT TERM
    lab_guard=$("$repo_root/scripts/lib/after_exit.sh" $$ "$repo_root/scripts/lab" down "$lab_name")
    "$repo_root/scripts/lab" up "$lab_name" "${2:-}" || { echo "FAIL: lab did not come up" >&2; exit 1; }
    eval "$("$repo_root/scripts/lab" env "$lab_name")"
}

stop_lab() {
    local status=$?
    [ -n "${cleanup_extra:-}" ] && eval "$cleanup_extra"
    rm -rf "$lab_files"
    "$repo_root/scripts/lab" down "$lab_name"
    kill -- "-$lab_guard" 2>/dev/null
    exit $status
}

in_client() { ip netns exec "$LAB_CLIENT_NS" "$@"; }

# A command prefix that prevents the raw socket path (no CAP_NET_RAW after exec), so a run that works has
# used the unprivileged datagram socket.
without_raw=(setpriv --bounding-set=-net_raw --inh-caps=-net_raw)

# Forbids the datagram socket in the client namespace, so the raw path is taken.
force_raw_path() { in_client sysctl -q -w net.ipv4.ping_group_range="1 0"; }

# Defines run ARGS...: the program $trace in the client namespace on the ICMP socket that
# MODE names: "raw" (datagram sockets forbidden) or "datagram" (raw sockets made impossible);
# the same command as an array in $run_command.
use_socket_mode() {
    run_command=(ip netns exec "$LAB_CLIENT_NS")
    if [ "$1" = raw ]; then force_raw_path; else run_command+=("${without_raw[@]}"); fi
    run_command+=("$trace")
    run() { "${run_command[@]}" "$@"; }
}

# True while a process in the client namespace holds an ICMP socket: a native runner once
# its table is made, Wine's ICMP service while an echo is under way.
icmp_socket_open() { in_client cat /proc/net/icmp /proc/net/raw | grep -qv '^ *sl '; }

# poll TENTHS COMMAND...: true once COMMAND succeeds, tried every 0.1 s, at most TENTHS times.
poll() { local tries=$1; shift; until "$@"; do ((--tries > 0)) || return 1; sleep 0.1; done; }

# interrupt_when READY OUT COMMAND...: COMMAND (a program, not a shell function: the signal
# goes to its process), its stdout into OUT, in a process group of its own, where SIGINT
# is not ignored, as in a terminal; SIGINT once READY (a command line, tried every 0.1 s
# for at most 60 s) succeeds. Sets $status, and $interrupt_ms: from the signal to the end.
interrupt_when() {
    local ready=$1 out=$2 pid start
    shift 2
    set -m
    "$@" >"$out" 2>/dev/null & pid=$!
    set +m
    poll 600 eval "$ready"
    start=$(date +%s%N) && kill -INT "$pid"
    wait "$pid"; status=$?
    interrupt_ms=$((($(date +%s%N) - start) / 1000000))
}

# A trace of --timeout 5000 into the silent tail, interrupted 2 s into hop 2's first echo
# (its step would take 15 s): the report comes at once, hop 2 in no count and no row.
# OUT is the report's file; the rest is the runner's command.
check_interrupted_echo() {
    local out=$1
    shift
    interrupt_when 'icmp_socket_open && sleep 2' "$out" "$@" --timeout 5000 --steps 2 --no-dns "$LAB_TAIL_TARGET"
    echo "report $interrupt_ms ms after the interrupt"
    check "interrupted echo: status, hops, hop 1 sent, report well before the step's end" "0 1 1 1" \
        "$status $(hop_count "$(cat "$out")") $(field "$(cat "$out")" 1 8) $((interrupt_ms < 8000))"
}

# The hops' addresses in the latest report of FILE (JSON Lines, or Prometheus: *.prom).
route_in() {
    if [[ $1 == *.prom ]]; then sed -n 's/^lumentrax_hop_sent_total{.*address="\([^"]*\)".*/\1/p' "$1" 2>/dev/null | paste -sd' '
    else tail -n 1 "$1" 2>/dev/null | jq -r '[.hops[].address] | join(" ")' 2>/dev/null; fi
}

# await_route SECONDS ROUTE FILE...: true, saying when, once the latest report in every
# FILE gives ROUTE; false when SECONDS pass first.
await_route() {
    local file start=$(date +%s%N)
    while [ $(($(date +%s%N) - start)) -lt $(($1 * 1000000000)) ] && sleep 0.2; do
        for file in "${@:3}"; do [ "$(route_in "$file")" = "$2" ] || continue 2; done
        echo "route $2 after $((($(date +%s%N) - start) / 1000000)) ms" && return 0
    done
    return 1
}

# Sent, received and loss of every hop in the trace text TEXT: "S R L%|S R L%|...".
counts() { printf '%s' "$1" | tr -d '\r' | cut -f8-10 --output-delimiter=' ' | paste -sd'|'; }

# Narrows the link between r1 and r2, so large requests must be fragmented there.
narrow_link() { ip -n "$LAB_R1_NS" link set eth1 mtu 576 && ip -n "$LAB_R2_NS" link set eth0 mtu 576; }

# The addresses traceroute finds to ADDRESS (ICMP echoes, one per hop), blank-separated,
# its "*" written as our "0.0.0.0".
peer_route() {
    in_client traceroute -I -n -q 1 -w 1 -m 10 "$1" |
        awk 'NR > 1 { print ($2 == "*" ? "0.0.0.0" : $2) }' | paste -sd' '
}

# The latency lab, for start_lab or e2e_setup: one-way delays per link (client-r1, r1-r2,
# r2-r3, r3-target), jitter on r1-r2 only, so the target lies more than a second away;
# a time-out above every round trip (so far above the target's that a monitor echo still
# waiting as long as a discovery echo would take its late answer), and a short one below
# the target's.
use_latency_lab() {
    export LAB_DELAY=4,3,5,518 LAB_JITTER=0,4
    long_timeout=1500 short_timeout=500
}

# outcome COMMAND...: "STATUS|STDOUT" of COMMAND, its stderr left in the file $err.
outcome() { local out; out=$("$@" 2>"${err:?outcome needs \$err}"); echo "$?|$out"; }

# Field COLUMN (1-based) of hop HOP's line in the trace text TEXT.
field() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' -v h="$2" -v c="$3" '$1 == h { print $c }'; }
hop_count() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' 'NF' | wc -l; }
addresses() { printf '%s' "$1" | tr -d '\r' | awk -F'\t' 'NF { print $2 }'; }
# The same addresses on one line, separated by blanks.
route() { addresses "$1" | paste -sd' '; }

# What the lab's dropping router (hop 3, r3) shows after SENT echoes were counted for it,
# as "RECEIVED LOSS%". Its rule drops the 1st, 4th, 7th ... echo request that arrives
# for r3 itself (INPUT chain). The trace phase's one echo does not count there: it is
# addressed to the target, and r3 answers it from its forwarding path when its
# time-to-live runs out. So only the SENT - 1 monitor echoes meet the rule, and
# (SENT - 1 + 2) / 3 of them are lost.
dropping_router_expected() {
    local received=$(($1 - ($1 - 1 + 2) / 3))
    echo "$received $((100 - received * 100 / $1))%"
}

# Round trips in a lab with latency (scripts/lab's LAB_DELAY): no answer comes before the
# links' delays have passed, and nearly all come within this many milliseconds more (the
# delay links add about 0.1 ms each way, the echo service its own time and its reading
# in whole milliseconds; delay_link_test measures it with ping). Any single echo may
# still wait for a processor much longer on a busy machine, so only the best of several
# answers is held to it.
rtt_slack_ms=5

# check_round_trips TEXT HOP...: the time cells of each HOP in the trace text TEXT (the
# clipboard form) against the round trip RTT that the lab's links give it (LAB_RTT_HOPn),
# JITTER the most their jitter adds (LAB_JITTER_HOPn): each reads "N ms"; Best <= Average
# <= Worst; Last within [Best, Worst]; Best >= RTT, and with 3 answers or more Best <= RTT
# + JITTER + slack; and the average is the truncated total / received for some run with
# that best and worst: with n answers, one of them Best and one Worst, the total lies in
# [Best (n - 1) + Worst, Worst (n - 1) + Best] (so all equal gives Average = Best).
check_round_trips() {
    local hop rtt_var jitter_var rtt jitter cells n last average best worst
    for hop in "${@:2}"; do
        rtt_var=LAB_RTT_HOP$hop jitter_var=LAB_JITTER_HOP$hop
        rtt=${!rtt_var} jitter=${!jitter_var}
        cells=$(printf '%s' "$1" | tr -d '\r' | awk -F'\t' -v h="$hop" '$1 == h { print $4 "|" $5 "|" $6 "|" $7 "|" $9 }')
        [[ $cells =~ ^([0-9]+)\ ms\|([0-9]+)\ ms\|([0-9]+)\ ms\|([0-9]+)\ ms\|(.*)$ ]] ||
            { check "hop $hop: last, average, best, worst read N ms" "N ms|N ms|N ms|N ms" "${cells%|*}"; continue; }
        last=${BASH_REMATCH[1]} average=${BASH_REMATCH[2]} best=${BASH_REMATCH[3]} worst=${BASH_REMATCH[4]} n=${BASH_REMATCH[5]}
        echo "hop $hop: last $last, average $average, best $best, worst $worst of $n (links: $rtt + 0..$jitter ms)"
        check "hop $hop best <= average <= worst" 1 $((best <= average && average <= worst))
        check "hop $hop last within [best, worst]" 1 $((best <= last && last <= worst))
        check "hop $hop best not below the links' $rtt ms" 1 $((best >= rtt))
        [ "${n:-0}" -ge 1 ] 2>/dev/null || n=1
        [ "$n" -ge 3 ] && check "hop $hop best of $n within $((jitter + rtt_slack_ms)) ms above them" 1 \
            $((best <= rtt + jitter + rtt_slack_ms))
        check "hop $hop average is the truncated total / received" 1 \
            $(((best * (n - 1) + worst) / n <= average && average <= (worst * (n - 1) + best) / n))
    done
}

# check WHAT EXPECTED ACTUAL: "ok", or "FAIL" with both and one more failure counted.
check() {
    [ "$2" = "$3" ] && { echo "ok: $1"; return; }
    echo "FAIL: $1: expected [$2], got [$3]" >&2
    failures=$((failures + 1))
}

finish() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
    echo "all checks passed"
    exit 0
}
