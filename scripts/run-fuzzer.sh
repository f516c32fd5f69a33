#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one libFuzzer target of a QUARVINE_FUZZ build for a bounded time, starting from the seeds
# and kept crash inputs under tests/fuzz/. New corpus entries go to BUILD-DIR/corpus/TARGET (the
# source tree is not written); a crash, sanitizer report, broken check or hang is written to
# BUILD-DIR/artifacts/TARGET/ and fails the run.
# Usage: scripts/run-fuzzer.sh BUILD-DIR dispatcher|processing|editor|ir_file|plugin_state [SECONDS]   (default 60)
set -uo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD-DIR dispatcher|processing|editor|ir_file|plugin_state [SECONDS]" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 1
target=$2 seconds=${3:-60}
cd "$(dirname "$0")/.."
program="$build/tests/fuzz/fuzz_$target"
if [ ! -x "$program" ]; then
  echo "no fuzz target at $program (configure with -DQUARVINE_FUZZ=ON and clang)" >&2
  exit 1
fi

# Longer inputs are longer scripts of host calls; the dispatcher's carry chunk bytes too, and the
# impulse-response files need room for a few FLAC frames.
case "$target" in
  dispatcher) max_len=2048 ;;
  ir_file) max_len=4096 ;;
  *) max_len=1024 ;;
esac

corpus="$build/corpus/$target"
artifacts="$build/artifacts/$target"
mkdir -p "$corpus" "$artifacts"
seeds=()
for dir in "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target"; do
  [ -d "$dir" ] && seeds+=("$dir")
done

# -timeout: one input running this long is a hang, reported as a failure. A fixed seed (change it
# with QUARVINE_FUZZ_SEED) makes a CI run repeat the mutations of the runs before it, so that CI
# fails on a change of ours rather than on the luck of the draw; longer runs by hand go further.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  "$program" -seed="${QUARVINE_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=30 -len_control=0 -max_len="$max_len" -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" 2>"$build/fuzz_$target.log"
rc=$?
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$build/fuzz_$target.log"
if [ $rc -ne 0 ]; then
  tail -n 60 "$build/fuzz_$target.log"
  echo "fuzz_$target failed; the input is in $artifacts/. Keep it under tests/fuzz/regressions/$target/"
  echo "once fixed; $build/tests/fuzz/fuzz_$target FILE replays it."
fi
exit $rc
