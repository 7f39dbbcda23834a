#!/usr/bin/env bash
# Cross-builds the library, qzcli and their tests for Windows with MinGW-w64,
# 32-bit into build-win32/ and 64-bit into build-win64/ (installing the
# cross compilers and Wine first where missing).
# usage: scripts/build-windows.sh [cmake options...] [-- cmake --build options...]
#   QZ_WINDOWS_BITS="32 64"   which bitnesses to build (default both)
#   QZ_WINDOWS_BUILD_ROOT     where the build-win32/ and build-win64/ folders go
#                             (default: the top of the tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
configure=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
[ $# -gt 0 ] && shift
build_options=("$@")
[ ${#build_options[@]} -gt 0 ] || build_options=(-j2)

bash "$root/scripts/install-windows-deps.sh"

if command -v ccache >/dev/null; then
  configure=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "${configure[@]}")
fi
out=${QZ_WINDOWS_BUILD_ROOT:-$root}
for bits in ${QZ_WINDOWS_BITS:-32 64}; do
  case $bits in
    32) triplet=i686-w64-mingw32 ;;
    64) triplet=x86_64-w64-mingw32 ;;
    *) echo "build-windows.sh: bitness '$bits' is not 32 or 64" >&2; exit 2 ;;
  esac
  build=$out/build-win$bits
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$triplet.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_GUI=OFF "${configure[@]}" >/dev/null
  cmake --build "$build" "${build_options[@]}"
done
