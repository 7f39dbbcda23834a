#!/usr/bin/env bash
# Builds the non-GUI parts with ASan+UBSan and runs their tests, then the
# threaded tests under TSan. Neither build has the Widgets application
# (QZ_BUILD_GUI=OFF): its window tests run in the plain build, and leaving it
# out shortens them by its heaviest steps. The TSan tree builds only what the
# threaded tests run (the threaded_tests target).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

asan=${QZ_ASAN_DIR:-$root/build-asan}
"$root/scripts/build.sh" "$asan" -DQZ_WERROR=ON -DQZ_SANITIZE_ADDRESS=ON -DQZ_BUILD_GUI=OFF \
  -DCMAKE_BUILD_TYPE=Debug
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$(nproc)" --timeout 600 -LE gui)

tsan=${QZ_TSAN_DIR:-$root/build-tsan}
"$root/scripts/build.sh" "$tsan" -DQZ_WERROR=ON -DQZ_SANITIZE_THREAD=ON -DQZ_BUILD_GUI=OFF \
  -DCMAKE_BUILD_TYPE=Debug -- --target threaded_tests
(cd "$tsan" && TSAN_OPTIONS=halt_on_error=1 \
   ctest --output-on-failure -j"$(nproc)" --timeout 600 -L threaded)
