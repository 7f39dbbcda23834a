#!/usr/bin/env bash
# Installs the library into a scratch prefix, builds a C client against it
# with pkg-config and with find_package, and runs both against the simulated
# camera. usage: install_test.sh BUILD_DIR CAMSIM SOURCE_DIR C_COMPILER
set -u
build=$1
camsim=$2
source=$3
cc=$4
. "$(dirname "$0")/../../testsupport/checks.sh"
. "$(dirname "$0")/../../testsupport/camsim.sh"

prefix=$work/prefix
status=0
for component in qzlink qzlink_dev; do
  cmake --install "$build" --prefix "$prefix" --component $component >>"$work/install.log" 2>&1 ||
    status=1
done
check "installs" [ $status -eq 0 ]
libdir=$(dirname "$(find "$prefix" -name libqzlink.so.1 | head -1)")
check "installs libqzlink.so.1" [ -e "$libdir/libqzlink.so.1" ]
check "installs libqzlinke.so in the control's folder, as the same library" \
  [ "$(readlink -f "$libdir/qzlink/libqzlinke.so")" = "$(readlink -f "$libdir/libqzlink.so.1")" ]
check "installs the header" [ -f "$prefix/include/qzlink/qzlink.h" ]

client=$source/camlink/tests/install_client
PKG_CONFIG_PATH=$libdir/pkgconfig "$cc" -o "$work/client-pc" "$client/qzlink_client.c" \
  $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs qzlink) 2>"$work/pc.err"
check "builds with pkg-config" [ -x "$work/client-pc" ]
cmake -S "$client" -B "$work/client-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" >"$work/cmake.log" 2>&1 &&
  cmake --build "$work/client-build" >>"$work/cmake.log" 2>&1
check "builds with find_package(QzLink)" [ -x "$work/client-build/qzlink_client" ]
[ "$failures" -eq 0 ] || { cat "$work"/*.log "$work"/*.err 2>/dev/null | tail -30; exit 1; }

start_camsim "$camsim" --fast --model QT-R7

for program in "$work/client-pc" "$work/client-build/qzlink_client"; do
  QZLINK_COM1="$work/cam" LD_LIBRARY_PATH="$libdir" "$program" >"$work/run.out" 2>&1
  check "$(basename "$program") gets the camera's answer" grep -q '^answer: FE 30 31' "$work/run.out"
done
exec 3>&-

checks_summary
