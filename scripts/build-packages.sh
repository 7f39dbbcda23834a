#!/usr/bin/env bash
# Builds the Debian packages from the build tree and checks them.
# usage: scripts/build-packages.sh [BUILD_DIR]   (default: $QZ_BUILD_DIR or build/)
#
# The tree is configured for /usr, where packages install (Debian's
# multiarch library folder follows from it); in a tree that is already built
# that relinks the programs and remakes the manual pages, nothing more. cpack
# then installs each component from the tree into a staging folder and makes
# one .deb of each in BUILD_DIR; scripts/check-packages.sh checks them as
# Debian's tools do. Install them with: sudo apt install ./build/*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${1:-${QZ_BUILD_DIR:-$root/build}}

"$root/scripts/build.sh" "$build" -DQZ_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || {
  tail -n 40 "$build/cpack.log" >&2
  exit 1
}
bash "$root/scripts/check-packages.sh" "$build" "$build"
