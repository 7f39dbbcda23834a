#!/usr/bin/env bash
# Configures and builds one build tree.
# usage: scripts/build.sh BUILD_DIR [cmake options...] [-- cmake --build options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1; shift
configure=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
[ $# -gt 0 ] && shift
# A compiler cache, where one is installed, makes rebuilds of unchanged files
# (other build trees, other checkouts) nearly free.
if command -v ccache >/dev/null; then
  configure=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "${configure[@]}")
fi
cmake -S "$root" -B "$build" -G Ninja "${configure[@]}" >/dev/null
cmake --build "$build" "$@"
