#!/bin/bash
# lumentrax.exe under Wine inside the namespace lab, worked from outside by the driver.
#   copy:    a trace of the lab's target, stopped, then Copy: the confirmation box shows
#            its text and the clipboard holds one CR LF line per hop, no header, with the
#            lab's route (the silent router as 0.0.0.0, the dropping router's loss
#            consistent with its counts) and the same figures as the list.
#   restart: a first run moves its window, sets the options in the Options dialog and
#            traces the target; a second run shows the same geometry, options and
#            history, read from the settings file beside the program; the same from
#            folders whose names the ANSI code page cannot spell: one beside a
#            best-fit look-alike (each keeps its own file) and a Cyrillic one.
#   copies:  three copies in one folder, each tracing an address of its own, logged off
#            at once, several rounds: the file holds every key, a foreign key and one
#            copy's history each time.
# Usage: lab_settings_test.sh copy|restart|copies LUMENTRAX_EXE DRIVER_EXE
set -u
. "$(dirname "$0")/e2e_common.sh"
mode=$1
e2e_setup_driven "settings-$mode" "$2" "$3"

# Value of KEY in SECTION of the settings file.
setting() { ini_value "$ini" "$@"; }
# The saved options as "TimeOut PacketSize MaxHops ReverseDns", the window as "X Y W H",
# the history's first N slots joined by commas.
saved_options() { echo "$(setting Options TimeOut) $(setting Options PacketSize) $(setting Options MaxHops) $(setting Options ReverseDns)"; }
saved_window() { echo "$(setting Window XPos) $(setting Window YPos) $(setting Window Width) $(setting Window Height)"; }
saved_history() { local n; for n in $(seq 0 $(($1 - 1))); do setting History "H$n"; done | paste -sd,; }
# Options, window and H0 joined by "|".
saved() { echo "$(saved_options)|$(saved_window)|$(setting History H0)"; }

copy_test() {
    e2e_start_and_wait "" 4 "/ip:$LAB_TARGET"
    e2e_wait_sent "" 3 4
    # Stopped, the table holds still, so the list and the clipboard show the same figures.
    e2e_stop
    e2e_copy_checked "" 4 "$work/clip"
    check "confirmation text" "box: Trace has been copied to the clipboard." "$(tr -d '\r' <"$work/box")"
    # Its CR LF line ends are checked above; the lines are read without them.
    clip=$(tr -d '\r' <"$work/clip")
    printf '%s\n' "$clip"
    check "hop numbers 1 to 4, no header line" "1 2 3 4" "$(cut -f1 <<<"$clip" | paste -sd' ')"
    check "route" "$LAB_ROUTE" "$(route "$clip")"
    check "hop 1 name" "$LAB_R1_NAME" "$(field "$clip" 1 3)"
    check "silent router line" $'2\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%' "$(sed -n 2p <<<"$clip")"
    check "dropping router received and loss" "$(dropping_router_expected "$(field "$clip" 3 8)")" \
        "$(field "$clip" 3 9) $(field "$clip" 3 10)"
    # The list shows the same cells (list rows start with the box image).
    for hop in 1 3 4; do
        check "hop $hop as in the list" "$(sed -n ${hop}p <<<"$rows" | cut -f2-11)" "$(sed -n ${hop}p <<<"$clip")"
    done
    close_and_check_exit
}

restart_test() {
    e2e_start_and_wait "" 1 "/ip:$LAB_TARGET"
    drive place 33 44 700 380
    check "window placed" 0 $?
    drive options 1500 64 20 0 30
    check "options set" 0 $?
    # At a log-off Windows ends the process after WM_ENDSESSION, without destroying the
    # window: the settings must be on disk when the message has been handled.
    drive end-session
    check "end of session handled" 0 $?
    local kept="1500 64 20 0|33 44 700 380|$LAB_TARGET"
    check "history, options and window saved at the end of session" "$kept" "$(saved)"
    cp "$ini" "$work/end-session.ini" 2>/dev/null
    close_and_check_exit
    cmp -s "$ini" "$work/end-session.ini"
    check "the normal close afterwards writes the same bytes" 0 $?
    check "H0 to H2" "$LAB_TARGET,one.one.one.one," "$(saved_history 3)"
    check "options and window saved" "$kept" "$(saved)"

    e2e_start_and_wait "" 0
    check "geometry restored" "33 44 700 380" "$(drive rect)"
    check "history listed newest first" "$LAB_TARGET,one.one.one.one" "$(drive history | paste -sd,)"
    check "options restored" $'1500\t64\t20\t0' "$(drive read-options cancel 30)"
    check "no trace without /ip:" "Start" "$(drive button)"
    check "address box empty" "" "$(drive text)"
    close_and_check_exit
    check "options, window and history kept by the second save" "$kept" "$(saved)"

    # "Łukasz" best-fits to "Lukasz" in most ANSI code pages: the look-alike's file is
    # neither read nor written. In "Настройки" the settings last across two runs.
    local run folder target other=$work/Lukasz
    mkdir "$other" "$work/Łukasz" "$work/Настройки"
    printf '[History]\r\nH0=from-the-OTHER-folder.test\r\n' >"$other/lumentrax.ini"
    cp "$other/lumentrax.ini" "$work/other.ini"
    for run in "Łukasz $LAB_TARGET" "Настройки $LAB_TARGET" "Настройки $LAB_HOP1"; do
        read -r folder target <<<"$run"
        cp "$work/lumentrax.exe" "$work/$folder/"
        e2e_program=$work/$folder/lumentrax.exe
        e2e_start_and_wait "$folder, $target: " 1 "/ip:$target"
        close_and_check_exit
    done
    check "look-alike folder's file untouched" 0 "$(cmp -s "$other/lumentrax.ini" "$work/other.ini"; echo $?)"
    check "Łukasz keeps its own file" "$LAB_TARGET,one.one.one.one" "$(ini=$work/Łukasz/lumentrax.ini saved_history 2)"
    check "Настройки: the first run's file read by the second" "$LAB_HOP1,$LAB_TARGET" \
        "$(ini=$work/Настройки/lumentrax.ini saved_history 2)"
}

# Every round starts from a foreign key and 15 long history entries (long saves), and on a
# wineserver of its own (a copy ended with an echo out can hang Wine's network service, and
# every later program of the prefix with it); each copy traces an address that answers at
# once, so that none is held in a step when told.
copies_test() {
    local round targets=("$LAB_TARGET" "$LAB_HOP1" "$LAB_HOP3") target copies n seed= long ended
    long=$(printf 's%.0s' $(seq 200))
    for n in $(seq 0 14); do seed+="H$n=seed$n.$long\r\n"; done
    for round in 1 2 3 4; do
        e2e_wineserver -k 2>/dev/null
        printf "[History]\r\n$seed[Extra]\r\nKeep=yes\r\n" >"$ini"
        copies=()
        for target in "${targets[@]}"; do e2e_start "/ip:$target"; copies+=("$program"); done
        drive log-off 3 120
        check "round $round: three copies logged off" 0 $?
        ended=
        for program in "${copies[@]}"; do e2e_wait_exit 60; ended+="$? "; done
        check "round $round: the copies ended" "0 0 0 " "$ended"
        check "round $round: all 34 keys" 34 "$(settings_keys "$ini")"
        check "round $round: foreign key kept" yes "$(setting Extra Keep)"
        check "round $round: one copy's history" 1 "$(printf "%s,seed0.$long\n" "${targets[@]}" | grep -cxF "$(saved_history 2)")"
    done
}

case $mode in
copy) copy_test ;;
restart) restart_test ;;
copies) copies_test ;;
*) echo "usage: $0 copy|restart|copies EXE DRIVER" >&2; exit 2 ;;
esac
finish
