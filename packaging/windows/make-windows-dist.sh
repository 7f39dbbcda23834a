#!/usr/bin/env bash
# Makes the Windows distribution of one bitness from its build tree: the
# install tree plus README.txt as qzlink-sdk-VERSION-winBITS.zip, and the
# NSIS installer qzlink-sdk-VERSION-winBITS-setup.exe from the same files.
# usage: packaging/windows/make-windows-dist.sh BITS BUILD_DIR OUT_DIR
# (BUILD_DIR as scripts/build-windows.sh leaves it, already built)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bits=$1 build=$2 out=$3
case $bits in 32 | 64) ;; *) echo "make-windows-dist.sh: bitness '$bits' is not 32 or 64" >&2; exit 2 ;; esac
for tool in zip makensis; do
  command -v $tool >/dev/null || { echo "make-windows-dist.sh: $tool is missing (scripts/install-windows-deps.sh)" >&2; exit 1; }
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make-windows-dist.sh: $build is not a configured build tree" >&2; exit 1; }
name=qzlink-sdk-$version-win$bits
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/$name
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
cp "$here/README.txt" "$stage/README.txt"
# The files a user of the SDK needs; a build that lacks one is not shipped.
for f in bin/QZLINK.dll bin/QZLINKE.DLL bin/QzlinkAXCtrlE.ocx bin/qzcli.exe \
         include/qzlink/qzlink.h include/qzlink/QZLINK.def lib/libQZLINK.dll.a; do
  [ -f "$stage/$f" ] || { echo "make-windows-dist.sh: $f is missing from the install tree" >&2; exit 1; }
done
# Written beside and renamed: a half-written file never carries the final name.
rm -f "$out/$name.zip.part" "$out/$name-setup.exe.part"
(cd "$out" && zip -qr -X "$name.zip.part" "$name")
makensis -V2 -DBITS="$bits" -DSTAGE="$stage" -DVERSION="$version" \
  -DOUTFILE="$out/$name-setup.exe.part" "$here/QzlinkSDK.nsi" >/dev/null
mv -f "$out/$name.zip.part" "$out/$name.zip"
mv -f "$out/$name-setup.exe.part" "$out/$name-setup.exe"
echo "$out/$name.zip"
echo "$out/$name-setup.exe"
