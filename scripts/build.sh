#!/usr/bin/env bash
# Configures and builds one build tree.
# usage: scripts/build.sh BUILD_DIR [cmake options...] [-- cmake --build options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1; shift
configure=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
[ $# -gt 0 ] && shift
cmake -S "$root" -B "$build" -G Ninja "${configure[@]}" >/dev/null
cmake --build "$build" "$@"
