#!/bin/bash
# lumentrax.exe with its ICMP library unavailable (Wine told to disable icmp.dll): it
# starts, every echo fails at once, so a trace records silent hops 1 to 6 and stops
# discovering there (the silent tail), shows no message box, and ends with exit code 0.
set -u
. "$(dirname "$0")/../e2e_common.sh"
e2e_setup_driven icmp-missing "$@"

# The override really takes the library away, and only the override does.
drive loadlib ICMP.DLL >/dev/null
check "ICMP.DLL loads without the override" 0 $?
WINEDLLOVERRIDES=icmp=d drive loadlib ICMP.DLL >/dev/null
check "ICMP.DLL fails to load with icmp=d" 1 $?

e2e_dlls=icmp=d
e2e_start_and_wait "" 6 "/ip:$LAB_TARGET"
# The monitor phase has nothing to ping.
e2e_no_hop_beyond "" 6
rows=$(drive rows)
echo "$rows"
check "rows" 6 "$(row_count "$rows")"
for hop in 1 2 3 4 5 6; do
    check "hop $hop: number, silent, box clear, sent 0" "$hop 0.0.0.0 1 0" \
        "$(cell "$rows" $hop 0) $(cell "$rows" $hop 1) $(box_image "$rows" $hop) $(cell "$rows" $hop 7)"
done
check "button still reads Stop (monitor phase)" "Stop" "$(drive button)"
dialogs=$(drive dialogs)
check "dialog list read" 0 $?
check "no dialog of the program" "" "$dialogs"
close_and_check_exit
finish
