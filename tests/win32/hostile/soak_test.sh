#!/bin/bash
# Soak: lumentrax.exe in the lab's monitor phase at full speed for a bounded time
# (LUMENTRAX_SOAK_SECONDS; default 120 under CI=true, 60 otherwise). From outside, every
# few seconds: the Wine process's resident memory and open descriptors (/proc) and its
# Windows handle count. Four copies of the table spread over the run must each be
# consistent (sent >= received, loss = 100 - received * 100 / sent, sent never falling
# between copies); memory and handles must stay flat after warm-up; WM_CLOSE still ends
# the program with exit code 0. The figures are printed at the end.
set -u
. "$(dirname "$0")/../e2e_common.sh"
if [ "${CI:-}" = true ]; then default_seconds=120; else default_seconds=60; fi
duration=${LUMENTRAX_SOAK_SECONDS:-$default_seconds}
warmup=$((duration / 6 > 10 ? duration / 6 : 10))
e2e_setup_driven soak "$@"

# A short time-out keeps the echoes that the lab's third router drops from pacing the
# run: the monitor phase goes as fast as the answers come.
printf '[Options]\r\nMaxHops=40\r\nTimeOut=20\r\nPacketSize=8\r\nReverseDns=1\r\n' >"$ini"
e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
e2e_wait_sent "monitor phase: " 3 4
pid=$(e2e_unix_pid)
check "program's process found" 0 $?
[ "$failures" -eq 0 ] || finish

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
fd_count() { ls "/proc/$pid/fd" | wc -l; }

# One copy of the table: checks each line and that no hop's sent count fell since the
# previous copy (kept in $work/previous.txt as "hop sent" lines).
copies=0
copy_and_check() {
    local clip=$work/copy-$copies.txt bad
    copies=$((copies + 1))
    e2e_copy_checked "copy $copies: " 4 "$clip"
    bad=$(tr -d '\r' <"$clip" | awk -F'\t' '
        NF != 10 { print "fields: " $0; next }
        $8 < $9 { print "received above sent: " $0 }
        $8 > 0 && $10 != (100 - int($9 * 100 / $8)) "%" { print "loss: " $0 }
        $8 == 0 && $10 != "0%" { print "loss without echoes: " $0 }')
    check "copy $copies: every line consistent" "" "$bad"
    if [ -f "$work/previous.txt" ]; then
        bad=$(tr -d '\r' <"$clip" | awk -F'\t' 'NR == FNR { before[$1] = $2; next }
            ($1 in before) && $8 < before[$1] { print "hop " $1 ": " before[$1] " -> " $8 }' \
            "$work/previous.txt" -)
        check "copy $copies: no sent count fell" "" "$bad"
    fi
    tr -d '\r' <"$clip" | awk -F'\t' '{ print $1 "\t" $8 }' >"$work/previous.txt"
    last_copy=$clip
}

start=$SECONDS
sleep "$warmup"
rss_first=$(rss_kb) fd_first=$(fd_count) handles_first=$(drive handles)
check "Windows handle count read" 0 $?
rss_last=$rss_first fd_last=$fd_first handles_last=$handles_first rss_peak=$rss_first
echo "after ${warmup}s warm-up: RSS ${rss_first} kB, descriptors $fd_first, handles $handles_first"
next_copy=$((start + duration / 4))
while [ $((SECONDS - start)) -lt "$duration" ]; do
    sleep 5
    kill -0 "$pid" 2>/dev/null || break
    rss_last=$(rss_kb) fd_last=$(fd_count) handles_last=$(drive handles)
    [ "$rss_last" -gt "$rss_peak" ] && rss_peak=$rss_last
    echo "t=$((SECONDS - start))s RSS ${rss_last} kB, descriptors $fd_last, handles $handles_last"
    if [ "$SECONDS" -ge "$next_copy" ]; then
        copy_and_check
        next_copy=$((next_copy + duration / 4))
    fi
done
kill -0 "$pid" 2>/dev/null
check "program still running at the end" 0 $?
copy_and_check
rss_last=$(rss_kb) fd_last=$(fd_count) handles_last=$(drive handles)

check "RSS growth below 5% + 2 MB ($rss_first -> $rss_last kB)" 1 \
    "$([ $((rss_last - rss_first)) -lt $((rss_first / 20 + 2048)) ] && echo 1)"
check "descriptors flat ($fd_first -> $fd_last)" 1 "$([ "$fd_last" -le $((fd_first + 2)) ] && echo 1)"
check "Windows handles flat ($handles_first -> $handles_last)" 1 \
    "$([ -n "$handles_last" ] && [ "$handles_last" -le $((${handles_first:-0} + 4)) ] && echo 1)"
read -r echoes answered < <(tr -d '\r' <"$last_copy" | awk -F'\t' '{ s += $8; a += $9 } END { print s + 0, a + 0 }')
close_and_check_exit
echo "SOAK: duration $((SECONDS - start)) s; echoes sent $echoes, answered $answered;" \
    "RSS ${rss_first} kB -> ${rss_last} kB (peak ${rss_peak} kB); descriptors $fd_first -> $fd_last;" \
    "Windows handles $handles_first -> $handles_last; copies $copies"
finish
