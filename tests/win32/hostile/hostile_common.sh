# Shared by the fault-injection and soak tests: argument handling and the setup of lab,
# prefix, program and outside driver (tests/win32/e2e_common.sh holds the rest).
# Sourced, not run. Every test is called as: TEST.sh LUMENTRAX_EXE DRIVER_EXE

hostile_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$hostile_dir/../../lab/lab_common.sh"
. "$hostile_dir/../e2e_common.sh"

[ $# -ge 2 ] || { echo "usage: $0 LUMENTRAX_EXE DRIVER_EXE" >&2; exit 2; }
lumentrax_exe=$1
driver_exe=$2

# Lab NAME (with the names file NAMES_FILE), prefix, and the program with the driver beside it.
hostile_setup() {
    require_root
    e2e_setup "$1" "$lumentrax_exe" "${2:-}"
    e2e_add_driver "$driver_exe"
}
