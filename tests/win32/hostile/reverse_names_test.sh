#!/bin/bash
# lumentrax.exe meeting hostile reverse names: a 300-character name holding control bytes
# and bytes above 0x7F (from the lab's hosts file), and names from a DNS responder of our own inside the lab:
# one of 253 characters (the longest a DNS name can be) and one holding a tab, a line
# feed and a carriage return. The rows and the clipboard text stay well-formed: names
# cut to 255 characters with control bytes replaced (or empty where the resolver refuses
# a name), ten tab-separated fields and CR LF per line, one line per hop.
set -u
. "$(dirname "$0")/../e2e_common.sh"

long_name=$(printf 'n%03d.' $(seq 1 60))  # 300 characters
# Bytes above 0x7F as UTF-8 sequences (e acute, and U+009B: 0xC2 0x9B): Wine hands
# those through byte for byte, while a lone byte above 0x7F makes it drop the name.
long_name=${long_name:0:10}$'\x01'${long_name:11:39}$'\xc3\xa9'${long_name:52:48}$'\x7f'${long_name:101:49}$'\xc2\x9b'${long_name:152}
label() { printf "$1%.0s" $(seq 1 "$2"); }
dns_long=$(label a 63).$(label b 63).$(label c 63).$(label d 61)  # 253 characters
names=$(mktemp /tmp/lumentrax-names.XXXXXX)
printf 'r1 %s\n' "$long_name" >"$names"
e2e_setup_driven reverse-names "$1" "$2" "$names"
rm -f "$names"

# r3 and the target are left to DNS: their lines leave the hosts file.
grep -v -e "^$LAB_HOP3[[:space:]]" -e "^$LAB_TARGET[[:space:]]" "$LAB_HOSTS_FILE" >"$work/hosts"
cat "$work/hosts" >"$LAB_HOSTS_FILE"
printf '%s\t%s\n' "$LAB_HOP3" "$dns_long" "$LAB_TARGET" 'tab\there.line\nbreak.cr\rlf.lab' >"$work/ptr.map"
in_client python3 "$(dirname "$0")/ptr_responder.py" "$work/ptr.map" "$work/dns.log" "$work/dns.ready" &
responder=$!
e2e_cleanup_more 'kill $responder 2>/dev/null'
poll 50 test -f "$work/dns.ready"
check "DNS responder listening" 0 $?

e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
e2e_stop
printf '%s\n' "$rows" | cat -A | cut -c1-200
check "rows" 4 "$(row_count "$rows")"
expected_r1=$(printf '%s' "$long_name" | head -c 255 | LC_ALL=C tr '\001\177\200-\377' '[?*]')
check "300-character name cut to 255, control and high bytes replaced" "$expected_r1" "$(cell "$rows" 1 2)"
check "253-character DNS name whole" "$dns_long" "$(cell "$rows" 3 2)"
target_name=$(cell "$rows" 4 2)
echo "name of the target (tab, line feed, carriage return in the answer): [$target_name]"
case $target_name in
    '') echo "the resolver refused the name: the row's name is empty" ;;
    'tab?here.line?break.cr?lf.lab') echo "the name came through with its control bytes replaced" ;;
    *) check "target name empty or with control bytes replaced" "tab?here.line?break.cr?lf.lab" "$target_name" ;;
esac
# The log holds "NAME TYPE" per question; a pointer question (type 12) names the address
# backwards under in-addr.arpa.
asked_for() { awk -v q="$4.$3.$2.$1.in-addr.arpa 12" '$0 == q { n++ } END { print (n > 0) }' "$work/dns.log"; }
check "DNS asked for r3's name" 1 "$(IFS=.; asked_for $LAB_HOP3)"
check "DNS asked for the target's name" 1 "$(IFS=.; asked_for $LAB_TARGET)"

clip=$work/clip.txt
e2e_copy_checked "clipboard: " 4 "$clip"
check "clipboard: no control bytes but tab, CR, LF" 0 "$(tr -d '\t\r\n' <"$clip" | LC_ALL=C grep -c '[[:cntrl:]]')"
check "clipboard: no bytes above 0x7F" 0 "$(LC_ALL=C grep -c $'[\x80-\xff]' "$clip")"
for hop in 1 2 3 4; do
    line=$(tr -d '\r' <"$clip" | sed -n "${hop}p")
    for column in 0 1 2 7 8; do
        check "clipboard line $hop field $((column + 1)) matches the list" "$(cell "$rows" $hop $column)" \
            "$(printf '%s\n' "$line" | cut -f$((column + 1)))"
    done
done
close_and_check_exit
finish
