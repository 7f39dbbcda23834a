#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${QZ_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build"
echo "Built. The demo (simulated camera and client) is not available yet."
