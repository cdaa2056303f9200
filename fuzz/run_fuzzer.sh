#!/bin/bash
# Runs one fuzz target for a bounded time: FUZZER SEED_DIR WORK_DIR.
# Time per target: $LUMENTRAX_FUZZ_SECONDS, else 25 s under CI and 10 s otherwise.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3
seconds=${LUMENTRAX_FUZZ_SECONDS:-}
if [ -z "$seconds" ]; then
  if [ "${CI:-}" = "true" ]; then seconds=25; else seconds=10; fi
fi
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" 2>"$work/log" || {
  tail -40 "$work/log"
  echo "fuzz: $(basename "$fuzzer") found a failing input in $work/artifacts" >&2
  exit 1
}
grep -E 'stat::number_of_executed_units|stat::new_units_added' "$work/log" || true
