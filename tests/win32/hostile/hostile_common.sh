# Shared by the fault-injection and soak tests: argument handling, the two outside
# helpers (list_driver reads the list, hostile_probe the dialogs, handles, clipboard and
# address box) and readers for their output and the settings file. Sourced, not run.
# Every test is called as: TEST.sh LUMENTRAX_EXE LIST_DRIVER_EXE HOSTILE_PROBE_EXE

hostile_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$hostile_dir/../../lab/lab_common.sh"
. "$hostile_dir/../e2e_common.sh"

[ $# -ge 3 ] || { echo "usage: $0 LUMENTRAX_EXE LIST_DRIVER_EXE HOSTILE_PROBE_EXE" >&2; exit 2; }
lumentrax_exe=$1
driver_exe=$2
probe_exe=$3

# Lab NAME, prefix and the program with both helpers beside it.
hostile_setup() {
    require_root
    e2e_setup "$1" "$lumentrax_exe" "${2:-}"
    e2e_add_program "$driver_exe"
    e2e_add_program "$probe_exe"
}

drive() { wine_in_lab "$work/$(basename "$driver_exe")" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
probe() { wine_in_lab "$work/$(basename "$probe_exe")" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# Cell COLUMN (0-based list column) of row ROW (1-based) in list_driver's rows output.
cell() { printf '%s\n' "$1" | awk -F'\t' -v r="$2" -v c="$3" 'NR == r { print $(c + 2) }'; }
row_count() { printf '%s' "$1" | awk 'NF' | wc -l; }

# Value of KEY in SECTION of an initialization file (the last one, as Windows reads it
# from the first; the program writes each key once).
ini_value() {
    tr -d '\r' <"$1" | awk -v s="[$2]" -v k="$3" '
        /^\[/ { in_section = ($0 == s); next }
        in_section && index($0, k "=") == 1 { print substr($0, length(k) + 2); exit }'
}

# Closes the program with WM_CLOSE and checks that it ends with exit code 0.
close_and_check_exit() {
    drive close
    check "close posted" 0 $?
    e2e_wait_exit 60
    check "exit code after WM_CLOSE" 0 $?
}

# Sum of column COLUMN over all rows (sent = 7, received = 8).
column_sum() { printf '%s\n' "$1" | awk -F'\t' -v c="$2" 'NF { s += $(c + 2) } END { print s + 0 }'; }
