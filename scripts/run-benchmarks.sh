#!/usr/bin/env bash
# Runs every benchmark of a built tree briefly, so that they keep building and
# running; the figures of such a short run are not measurements.
# usage: scripts/run-benchmarks.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${QZ_BUILD_DIR:-$root/build}}
shopt -s nullglob
benchmarks=("$build"/bench/*_bench)
if [ ${#benchmarks[@]} -eq 0 ]; then
  echo "no benchmarks in $build/bench" >&2
  exit 1
fi
for bench in "${benchmarks[@]}"; do
  echo "== $(basename "$bench")"
  # QZ_BENCH_SAMPLES: the benchmarks with fixed sample counts (netcontrol_bench's
  # 1000 requests) take fewer.
  QT_QPA_PLATFORM=offscreen QZ_BENCH_SAMPLES=50 timeout 300 "$bench" --benchmark_min_time=0.01
done
