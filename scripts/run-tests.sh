#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${QZ_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build" -DQZ_WERROR=ON
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
