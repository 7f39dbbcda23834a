#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for RUNS inputs
# (default 200000, a few seconds each), starting from the seeds in fuzz/seeds
# and the corpus kept from earlier runs. A crash stops the script with the
# failing input saved in the build directory's fuzz-artifacts folder.
# usage: scripts/run-fuzzers.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-200000}
build=${QZ_FUZZ_DIR:-$root/build-fuzz}
"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQZ_BUILD_FUZZERS=ON -DQZ_WERROR=ON \
  -DQZ_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzzers

# ASan keeps an allocation stack for every block, and the ever-new call
# paths of a fuzzer's inputs make that store grow by hundreds of bytes a run:
# over millions of runs it alone reaches the RSS limit (with no stacks kept
# the harnesses' memory stays flat). A crash's own stack is still complete;
# run a saved input alone for the allocation stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
for harness in "$build"/fuzz/*_fuzz; do
  name=$(basename "$harness")
  corpus=$build/fuzz-corpus/$name
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/fuzz/seeds/$name" ] && seeds+=("$root/fuzz/seeds/$name")
  dict=()
  [ -f "$root/fuzz/$name.dict" ] && dict+=("-dict=$root/fuzz/$name.dict")
  # A registry text repeats each key's whole path in every section, so its
  # cost grows with the square of its length; short texts reach every path.
  maxlen=4096
  [ "$name" = registry_file_fuzz ] && maxlen=256
  echo "== $name: $runs inputs"
  "$harness" -runs="$runs" -max_len="$maxlen" -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "${dict[@]}" "$corpus" "${seeds[@]}" 2>"$build/$name.log" ||
    { tail -n 40 "$build/$name.log"; echo "$name failed; see $artifacts"; exit 1; }
  grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log"
done
