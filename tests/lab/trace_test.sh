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
mode=$1 trace=$2

# r1 gets a name longer than a record holds, r3 one with a control byte and two bytes
# above 0x7F (0x9B would start a terminal control sequence).
long_name=$(printf 'n%.0s' $(seq 300)).lab.test
start_lab "trace-$mode" <(printf 'r1 %s\nr3 r3\001ctl\233\351.lab.test\n' "$long_name")
use_socket_mode "$mode"
err=$lab_files/err

# The route to the target, default steps: trace phase then 10 monitor rounds, every one
# answered but every third monitor echo to the dropping router; none to the silent one.
out=$(run --no-dns --timeout 300 "$LAB_TARGET")
check "trace: status, route (4 hops, hop 2 silent), no names with --no-dns" "0|$LAB_ROUTE|" \
    "$?|$(route "$out")|$(tr -d '\r' <<<"$out" | cut -f3 | tr -d '\n')"
check "sent, received and loss per hop" "11 11 0%|0 0 0%|11 $(dropping_router_expected 11)|11 11 0%" "$(counts "$out")"

# traceroute as a peer: the same addresses, its "*" being our "0.0.0.0".
check "addresses match traceroute -I -n" "$(peer_route "$LAB_TARGET")" "$(route "$out")"

# The destination beyond r3 that never answers: three routers, then the silent tail.
out=$(run --no-dns --timeout 200 "$LAB_TAIL_TARGET")
check "tail route: 6 hops" "$LAB_TAIL_ROUTE" "$(route "$out")"
check_interrupted_echo "$err" "${run_command[@]}"

# A size negative as a signed value is capped at 2048 data bytes, more than one frame
# holds. With a narrow link between r1 and r2 the request crosses it only because
# don't-fragment is clear (else r1 would answer "fragmentation needed" as hop 4).
narrow_link
out=$(run --no-dns --timeout 300 --steps 4 --size -1 "$LAB_TARGET")
check "largest size reaches the target" "$LAB_TARGET" "$(field "$out" 4 2)"

# Reverse names from the lab's hosts file, the target given by name: a long name cut to
# 255 characters, control and high bytes replaced, none for the silent hop.
out=$(run --timeout 300 --steps 4 "$LAB_TARGET_NAME")
check "target resolved by name; the hops' names" "$LAB_TARGET|${long_name:0:255}||r3?ctl??.lab.test|$LAB_TARGET_NAME" \
    "$(field "$out" 4 2)|$(tr -d '\r' <<<"$out" | cut -f3 | paste -sd'|')"

# A name that does not resolve: one line on stderr naming it, nothing on stdout.
check "unresolvable host: status, stdout, message naming it, one line" "1||1 1" \
    "$(outcome run nowhere.lab.test)|$(grep -c 'nowhere.lab.test' "$err") $(wc -l <"$err")"

# Runs by time check their route: watch_route OUT OPTION... starts one (a time-out of 100 ms
# once the route is known), wait_runners waits for all, their exit statuses in $statuses.
watch_route() { local out=$1; shift; "${run_command[@]}" --no-dns --timeout 300 --monitor-timeout 100 "$@" >"$out" & runners+=($!); }
wait_runners() { local pid; statuses=(); for pid in "${runners[@]}"; do wait "$pid"; statuses+=($?); done; runners=(); }
if [ "$mode" = datagram ]; then
    # r2 answering, r1's route switched to the bypass and back under three runners: the
    # reports follow within (probed hops + 15) s and a report's period, hop 1 counting on;
    # JSON names the changes, Prometheus counts them, --no-route-checks keeps the rows.
    ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE
    direct="$LAB_HOP1 $LAB_HOP2 $LAB_HOP3 $LAB_TARGET" json=$lab_files/checked.jsonl prom=$lab_files/checked.prom
    watch_route "$json" --every 1 --duration 300 --format json "$LAB_TARGET"
    watch_route /dev/null --every 1 --duration 300 --format prometheus --output "$prom" "$LAB_TARGET"
    watch_route "$lab_files/unchecked.jsonl" --every 1 --duration 300 --format json --no-route-checks "$LAB_TARGET"
    await_route 10 "$direct" "$json" "$prom" "$lab_files/unchecked.jsonl" && sleep 2
    "$repo_root/scripts/lab" route "$lab_name" bypass
    await_route $((4 + 15 + 1)) "$LAB_HOP1 $LAB_BYPASS_HOP2 $LAB_TARGET" "$json" "$prom"; followed=$?
    "$repo_root/scripts/lab" route "$lab_name" direct
    await_route $((3 + 15 + 1)) "$direct" "$json" "$prom"; followed+=" $?"
    kill -TERM "${runners[@]}" && wait_runners
    check "bypass and back: followed each way, statuses" "0 0|0 0 0" "$followed|${statuses[*]}"
    check "json: the changes (hop from to) each way, hop 1 counting on, times in order, final" \
        "[\"2 $LAB_HOP2 $LAB_BYPASS_HOP2\",\"3 $LAB_HOP3 $LAB_TARGET\"][\"2 $LAB_BYPASS_HOP2 $LAB_HOP2\",\"3 $LAB_TARGET $LAB_HOP3\"]true" \
        "$(jq -rs --arg h1 "$LAB_HOP1" '.[-1].routeChanges as $c | ($c | map("\(.hop) \(.from) \(.to)") | [.[:2], .[2:]] | map(sort | tojson) | add)
            + (all(.hops[0].address == $h1) and ([.[].hops[0].sent] | . == sort and .[-1] > .[0]) and ($c | map(.time) | . == sort) and .[-1].final | tostring)' "$json")"
    check "prometheus counts the changes; --no-route-checks: every report's rows as found, no change" "lumentrax_route_changes_total{target=\"$LAB_TARGET\"} 4|$direct|[]" \
        "$(grep '^lumentrax_route_changes_total' "$prom")|$(jq -rs 'map([.hops[].address] | join(" ")) + map(.routeChanges | tojson) | unique | join("|")' "$lab_files/unchecked.jsonl")"
else
    # No change where the route stays: the standard lab to the target and into the silent
    # tail, both at once (a silent router, a router dropping every third echo, a target
    # dropping all); then hop 2 balanced between r2 and r2b (r2 answering), where r1's
    # mark counter shows that checks went through r2b too.
    for target in "$LAB_TARGET" "$LAB_TAIL_TARGET"; do watch_route "$lab_files/$target.prom" --duration 25 --format prometheus "$target"; done
    wait_runners
    check "standard lab, 25 s: statuses, no change counted, routes as found" "0 0 2|$LAB_ROUTE|$LAB_TAIL_ROUTE" \
        "${statuses[*]} $(cat "$lab_files"/*.prom | grep -c '^lumentrax_route_changes_total{.*} 0$')|$(route_in "$lab_files/$LAB_TARGET.prom")|$(route_in "$lab_files/$LAB_TAIL_TARGET.prom")"
    ip netns exec "$LAB_R2_NS" iptables -D $LAB_R2_RULE && "$repo_root/scripts/lab" route "$lab_name" balanced
    watch_route "$lab_files/balanced.jsonl" --every 5 --duration 40 --format json "$LAB_TARGET"
    wait_runners
    marked=$(ip netns exec "$LAB_R1_NS" iptables -t mangle -nvxL PREROUTING | awk '/MARK/ { print $1 }')
    check "balanced lab, 40 s: status, every report's rows as found, no change, $marked echoes through r2b" "0 true 1" \
        "${statuses[*]} $(jq -s --arg a "$LAB_HOP2" --arg b "$LAB_BALANCED_HOP2" '(map([.hops[].address]) | unique | length == 1)
            and (.[0].hops[1].address | IN($a, $b)) and .[-1].routeChanges == [] and .[-1].final' "$lab_files/balanced.jsonl") $((marked >= 4))"
fi

# Neither kind of ICMP socket allowed (datagram sockets forbidden to every group, no
# CAP_NET_RAW): the run says why and fails instead of printing a dark route.
force_raw_path
check "no ICMP socket: status, stdout, one line on stderr naming both remedies" "1||1 1" \
    "$(outcome in_client "${without_raw[@]}" "$trace" --no-dns --timeout 100 "$LAB_TARGET")|$(wc -l <"$err") $(grep -c 'ping_group_range.*CAP_NET_RAW' "$err")"
finish
