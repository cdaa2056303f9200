# Shared by the fault-injection and soak tests: argument handling, the setup of lab,
# prefix, program and the two outside helpers (list_driver reads the list, hostile_probe
# the dialogs, handles, clipboard and address box); tests/win32/e2e_common.sh holds the
# rest. Sourced, not run.
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
    e2e_add_driver "$driver_exe"
    e2e_add_program "$probe_exe"
}

probe() { wine_in_lab "$work/$(basename "$probe_exe")" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
