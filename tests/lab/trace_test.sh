#!/bin/bash
# lumentrax-trace through the namespace lab with the real Linux echo service, on the
# ICMP datagram socket (raw sockets made impossible) or on the raw socket (datagram
# sockets forbidden): the route traceroute finds, the silent router, the silent tail,
# the exact loss of the router that drops every third echo, names from the hosts file,
# an interrupt that ends the echo under way; route checks: a route switched under runners
# that follow it (datagram), routes that stay with the runners' rows (raw).
# Usage: trace_test.sh datagram|raw LUMENTRAX_TRACE
set -u
. "$(dirname "$0")/lab_common.sh"
mode=$1
trace=$2
require_root

# r1 gets a name longer than a record holds, r3 one with a control byte and two bytes
# above 0x7F (0x9B would start a terminal control sequence).
names=$(mktemp)
err=$(mktemp)
routes=$(mktemp -d)
long_name=$(printf 'n%.0s' $(seq 300)).lab.test
printf 'r1 %s\nr3 r3\001ctl\233\351.lab.test\n' "$long_name" >"$names"
cleanup_extra='rm -rf "$names" "$err" "$routes"'
start_lab "trace-$mode" "$names"
use_socket_mode "$mode"

# The route to the target, default steps: trace phase then 10 monitor rounds.
out=$(run --no-dns --timeout 300 "$LAB_TARGET")
check "trace exit status" 0 $?
check "hops to the target" 4 "$(hop_count "$out")"
check "hop 1 address" "$LAB_HOP1" "$(field "$out" 1 2)"
check "silent router address" "0.0.0.0" "$(field "$out" 2 2)"
check "silent router sent" 0 "$(field "$out" 2 8)"
check "silent router received" 0 "$(field "$out" 2 9)"
check "hop 3 address" "$LAB_HOP3" "$(field "$out" 3 2)"
check "last hop is the target" "$LAB_TARGET" "$(field "$out" 4 2)"
check "no names with --no-dns" "" "$(field "$out" 1 3)$(field "$out" 3 3)$(field "$out" 4 3)"
# One echo of the trace phase and 10 monitor rounds for every answering hop.
check "hop 1 sent" 11 "$(field "$out" 1 8)"
check "hop 1 received" 11 "$(field "$out" 1 9)"
check "target received" 11 "$(field "$out" 4 9)"

# The trace-phase echo and 10 monitor rounds; every third monitor echo dropped.
check "echoes to the dropping router" 11 "$(field "$out" 3 8)"
check "dropping router received and loss" "$(dropping_router_expected 11)" \
    "$(field "$out" 3 9) $(field "$out" 3 10)"

# traceroute as a peer: the same addresses, its "*" being our "0.0.0.0".
check "addresses match traceroute -I -n" "$(peer_route "$LAB_TARGET")" "$(route "$out")"

# The destination beyond r3 that never answers: three routers, then the silent tail.
out=$(run --no-dns --timeout 200 "$LAB_TAIL_TARGET")
check "hops to the silent tail" 6 "$(hop_count "$out")"
check "tail route" "$LAB_TAIL_ROUTE" "$(route "$out")"
check_interrupted_echo "$err" "${run_command[@]}"

# A size negative as a signed value is capped at 2048 data bytes, more than one frame
# holds. With a narrow link between r1 and r2 the request crosses it only because
# don't-fragment is clear (else r1 would answer "fragmentation needed" as hop 4).
narrow_link
out=$(run --no-dns --timeout 300 --steps 4 --size -1 "$LAB_TARGET")
check "largest size reaches the target" "$LAB_TARGET" "$(field "$out" 4 2)"

# Reverse names from the lab's hosts file; the target given by name.
out=$(run --timeout 300 --steps 4 "$LAB_TARGET_NAME")
check "target resolved by name" "$LAB_TARGET" "$(field "$out" 4 2)"
check "target name" "$LAB_TARGET_NAME" "$(field "$out" 4 3)"
check "long name cut to 255 characters" "${long_name:0:255}" "$(field "$out" 1 3)"
check "control and high bytes in a name replaced" "r3?ctl??.lab.test" "$(field "$out" 3 3)"
check "silent hop has no name" "" "$(field "$out" 2 3)"

# A name that does not resolve: one line on stderr naming it, nothing on stdout.
out=$(run nowhere.lab.test 2>"$err")
check "unresolvable host exit status" 1 $?
check "unresolvable host stdout" "" "$out"
check "unresolvable host message" 1 "$(grep -c 'nowhere.lab.test' "$err")"
check "message is one line" 1 "$(wc -l <"$err")"

# Runs by time check their route (a time-out of 100 ms once the route is known, one report a second or at the end);
# watch_route OUT OPTION... adds the runner's process to $runners.
runners=()
watch_route() { local out=$1; shift; "${run_command[@]}" --no-dns --timeout 300 --monitor-timeout 100 "$@" >"$out" & runners+=($!); }
# Waits for $runners; their exit statuses in $statuses.
wait_runners() { local pid; statuses=(); for pid in "${runners[@]}"; do wait "$pid"; statuses+=($?); done; runners=(); }
if [ "$mode" = datagram ]; then
    # r2 answering, r1's route switched to the bypass and back under three runners: the
    # reports follow within (probed hops + 15) s (and the next report), hop 1 counting
    # on; the changes named in JSON and counted in Prometheus; --no-route-checks keeps
    # the rows as found.
    ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE
    direct="$LAB_HOP1 $LAB_HOP2 $LAB_HOP3 $LAB_TARGET" bypass="$LAB_HOP1 $LAB_BYPASS_HOP2 $LAB_TARGET"
    watched=("$routes/checked.jsonl" "$routes/checked.prom")
    watch_route "${watched[0]}" --every 1 --duration 300 --format json "$LAB_TARGET"
    watch_route /dev/null --every 1 --duration 300 --format prometheus --output "${watched[1]}" "$LAB_TARGET"
    watch_route "$routes/unchecked.jsonl" --every 1 --duration 300 --format json --no-route-checks "$LAB_TARGET"
    await_route 10 "$direct" "${watched[@]}" "$routes/unchecked.jsonl" && sleep 2
    "$repo_root/scripts/lab" route "$lab_name" bypass
    await_route $((4 + 15 + 1)) "$bypass" "${watched[@]}"
    check "bypass: the reports follow" 0 $?
    "$repo_root/scripts/lab" route "$lab_name" direct
    await_route $((3 + 15 + 1)) "$direct" "${watched[@]}"
    check "direct again: the reports follow" 0 $?
    kill -TERM "${runners[@]}"
    wait_runners
    check "runners ended by SIGTERM: statuses" "0 0 0" "${statuses[*]}"
    check "json: the changes (hop from to), hop 1 counting on, times in order, final" \
        "[\"2 $LAB_HOP2 $LAB_BYPASS_HOP2\",\"3 $LAB_HOP3 $LAB_TARGET\"]|[\"2 $LAB_BYPASS_HOP2 $LAB_HOP2\",\"3 $LAB_TARGET $LAB_HOP3\"]|true" \
        "$(jq -rs --arg h1 "$LAB_HOP1" '(.[-1].routeChanges | map("\(.hop) \(.from) \(.to)") | [.[:2], .[2:]] | map(sort | tojson) | join("|"))
            + "|" + (all(.hops[0].address == $h1) and ([.[].hops[0].sent] | . == sort and .[-1] > .[0])
            and ([.[-1].routeChanges[].time] | . == sort) and .[-1].final | tostring)' "${watched[0]}")"
    check "prometheus: the changes counted" "lumentrax_route_changes_total{target=\"$LAB_TARGET\"} 4" \
        "$(grep '^lumentrax_route_changes_total' "${watched[1]}")"
    check "--no-route-checks: every report's rows as found, no change" "$direct|[]" \
        "$(jq -rs 'map([.hops[].address] | join(" ")) + map(.routeChanges | tojson) | unique | join("|")' "$routes/unchecked.jsonl")"
else
    # Nothing changes, nothing is counted: the standard lab to the target and into the
    # silent tail (a silent router, a router dropping every third echo, a target dropping
    # all), both at once; then hop 2 balanced between r2 and r2b (r2 answering), where
    # r1's mark counter shows that checks went through r2b too.
    watch_route "$routes/target.prom" --duration 25 --format prometheus "$LAB_TARGET"
    watch_route "$routes/tail.prom" --duration 25 --format prometheus "$LAB_TAIL_TARGET"
    wait_runners
    check "standard lab, 25 s: statuses, changes counted, routes" "0 0|0 0|$LAB_ROUTE|$LAB_TAIL_ROUTE" \
        "${statuses[*]}|$(cat "$routes"/{target,tail}.prom | awk '/^lumentrax_route_changes_total/ { print $2 }' | paste -sd' ')|$(route_in "$routes/target.prom")|$(route_in "$routes/tail.prom")"
    ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE
    "$repo_root/scripts/lab" route "$lab_name" balanced
    watch_route "$routes/balanced.jsonl" --every 5 --duration 40 --format json "$LAB_TARGET"
    wait_runners
    marked=$(ip netns exec "$LAB_R1_NS" iptables -t mangle -nvxL PREROUTING | awk '/MARK/ { print $1 }')
    echo "$marked echoes with time-to-live 2 went through r2b"
    check "balanced lab, 40 s: status; rows as found in every report, no change; checks through r2b" "0 true 1" \
        "${statuses[*]} $(jq -s --arg a "$LAB_HOP2" --arg b "$LAB_BALANCED_HOP2" '(map([.hops[].address]) | unique | length == 1)
            and (.[0].hops[1].address | IN($a, $b)) and .[-1].routeChanges == [] and .[-1].final' "$routes/balanced.jsonl") $((marked >= 4))"
fi

# Neither kind of ICMP socket allowed (datagram sockets forbidden to every group, no
# CAP_NET_RAW): the run says why and fails instead of printing a dark route.
force_raw_path
out=$(in_client "${without_raw[@]}" "$trace" --no-dns --timeout 100 "$LAB_TARGET" 2>"$err")
check "no ICMP socket: exit status" 1 $?
check "no ICMP socket: nothing on stdout" "" "$out"
check "no ICMP socket: one line on stderr" 1 "$(wc -l <"$err")"
check "no ICMP socket: both remedies named" 1 "$(grep -c 'ping_group_range.*CAP_NET_RAW' "$err")"
finish
