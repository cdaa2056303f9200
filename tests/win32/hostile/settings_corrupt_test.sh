#!/bin/bash
# lumentrax.exe with a hand-damaged settings file: binary bytes, a 1 MB line, values such
# as "0x10", "12abc", "" and numbers beyond 32 bits, then hop limit 100000, time-out -1
# and packet size -5. The program starts, keeps tracing (sent counts grow), stays
# within its hop table (the silent tail still ends discovery), and its Options dialog
# shows the values and brings them into range on OK, which is what the file then holds.
set -u
. "$(dirname "$0")/../e2e_common.sh"
# The Options dialog's ranges, "LOW HIGH" each, handed in by the build from the header
# that defines them.
read -r timeout_low timeout_high <<<"${LUMENTRAX_TIMEOUT_RANGE:?not set by the build}"
read -r size_low size_high <<<"${LUMENTRAX_PACKETSIZE_RANGE:?not set by the build}"
read -r hops_low hops_high <<<"${LUMENTRAX_MAXHOPS_RANGE:?not set by the build}"
e2e_setup_driven settings-corrupt "$@"

# readFieldInteger's reading: blanks, a sign, decimal digits, saturating at 32 bits.
field_integer() {
    local text=$1 sign=1 digits
    text=${text#"${text%%[! $'\t']*}"}
    case $text in -*) sign=-1; text=${text#-} ;; +*) text=${text#+} ;; esac
    digits=${text%%[!0-9]*}
    digits=${digits#"${digits%%[!0]*}"}
    if [ ${#digits} -gt 10 ] || { [ -n "$digits" ] && [ "$digits" -gt 2147483648 ]; }; then
        digits=2147483648
    fi
    local value=$((sign * ${digits:-0}))
    [ "$value" -gt 2147483647 ] && value=2147483647
    echo "$value"
}
clamp() { local v=$1 low=$2 high=$3; [ "$v" -ge "$high" ] && v=$high; [ "$v" -lt "$low" ] && v=$low; echo "$v"; }

# Sum of the Sent column grows by at least 5 within 60 seconds: probing goes on.
expect_probing() {
    local what=$1 before after n
    before=$(column_sum "$(drive rows)" 7)
    for n in $(seq 1 60); do
        after=$(column_sum "$(drive rows)" 7)
        [ "$after" -ge $((before + 5)) ] && break
        sleep 1
    done
    check "$what: sent counts grow ($before -> $after)" 1 "$([ "$after" -ge $((before + 5)) ] && echo 1)"
}

# Opens Options, reads the fields, presses OK; the saved file must then hold what the
# dialog makes of them. Sets shown_* to the field texts.
options_round_trip() {
    local what=$1 fields
    fields=$(drive read-options ok 30)
    check "$what: Options dialog opened, read and closed by OK" 0 $?
    echo "$what: Options dialog shows [$fields]"
    IFS=$'\t' read -r shown_timeout shown_size shown_hops shown_check <<<"$fields"
    want_timeout=$(clamp "$(field_integer "$shown_timeout")" "$timeout_low" "$timeout_high")
    want_size=$(clamp "$(field_integer "$shown_size")" "$size_low" "$size_high")
    want_hops=$(clamp "$(field_integer "$shown_hops")" "$hops_low" "$hops_high")
}

check_saved() {
    local what=$1
    check "$what: saved MaxHops, TimeOut, PacketSize" "$want_hops $want_timeout $want_size" \
        "$(ini_values "$ini" Options MaxHops Options TimeOut Options PacketSize)"
}

# 1. Garbage around and inside the options: control and high bytes, a line of 1 MB,
#    numbers in other bases, with trailing letters, empty, and beyond 32 bits (also for
#    the window's placement and a column width).
{
    printf '[Options]\r\nMaxHops=12abc\r\nTimeOut=0x10\r\nPacketSize=\r\nReverseDns=4294967297\r\n'
    printf 'Filler='; head -c 1048576 /dev/zero | tr '\0' 'x'; printf '\r\n'
    printf '[Window]\r\nXPos=99999999999\r\nYPos=-99999999999\r\nWidth=0x10\r\nHeight=12abc\r\n'
    printf '[Column]\r\nC0=-99999999999\r\nC1=99999999999\r\nC2=0x7fffffff\r\n'
    printf '[\x01\x02\xff\xfe]\r\n\x00\x1b=\x7f\x80\r\n=\r\n[[[\r\n\xef\xbb\xbf\r\n'
    head -c 4096 /dev/urandom
    printf '\r\n[History]\r\nH0=\x01\x09tab\r\n'
} >"$ini"
e2e_start_and_wait "garbage: " 4 "/ip:$LAB_TARGET"
expect_probing "garbage"
options_round_trip "garbage"
expect_probing "garbage, after Options"
close_and_check_exit
check_saved "garbage"

# 2. Out-of-range values toward the silent tail: the hop limit 100000 must not carry the
#    trace past the table; the silent tail (hops 4, 5, 6) ends discovery.
printf '[Options]\r\nMaxHops=100000\r\nTimeOut=-1\r\nPacketSize=-5\r\nReverseDns=1\r\n' >"$ini"
e2e_start_and_wait "out of range: " 6 "/ip:$LAB_TAIL_TARGET"
# The silent tail ends discovery.
e2e_no_hop_beyond "out of range: " 6
rows=$(drive rows)
echo "$rows"
check "out of range: hops 1 and 3, hops 4-6 silent" "$LAB_HOP1 $LAB_HOP3 0.0.0.0 0.0.0.0 0.0.0.0" \
    "$(for hop in 1 3 4 5 6; do cell "$rows" $hop 1; done | paste -sd' ')"
expect_probing "out of range"
options_round_trip "out of range"
check "out of range: dialog shows the stored hop limit, time-out, packet size" "100000 -1 -5" \
    "$shown_hops $shown_timeout $shown_size"
expect_probing "out of range, after Options"
close_and_check_exit
check_saved "out of range"
check "out of range: hop limit clamped to its highest, time-out and packet size to their lowest" \
    "$hops_high $timeout_low $size_low" "$want_hops $want_timeout $want_size"
finish
