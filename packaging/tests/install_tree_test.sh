#!/usr/bin/env bash
# Installs every component into a scratch prefix of its own and checks the
# tree: each file where the install rules say and in one component only, the
# header tree exactly what qzlink.h includes, no RUNPATH into the build tree,
# every library found without LD_LIBRARY_PATH, and the installed programs at
# work against the installed simulator (qzcli, and qzscript through the
# installed control, which loads libqzlinke.so from its own folder).
# usage: install_tree_test.sh BUILD_DIR LIBDIR APP_ID
set -u
build=$1
libdir=$2
app=$3
work=$(mktemp -d)
failures=0
checks=0
sim=

cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  exec 3>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

check() {  # check NAME CONDITION...
  local name=$1; shift
  checks=$((checks + 1))
  if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

# What each component must install, relative to the prefix.
declare -A expected
expected[qzlink]="$libdir/libqzlink.so.1 $libdir/libqzplatform.so.1 $libdir/qzlink/libqzlinke.so
  share/doc/libqzlink1/copyright share/doc/libqzlink1/changelog.Debian.gz"
expected[qzlink_dev]="include/qzlink/qzlink.h include/qzlink/platform/msgwindow.h
  include/qzlink/platform/win32_types.h $libdir/libqzlink.so $libdir/libqzplatform.so
  $libdir/pkgconfig/qzlink.pc $libdir/cmake/QzLink/QzLinkConfig.cmake
  $libdir/cmake/QzLink/QzLinkTargets.cmake share/man/man3/qzlink.3.gz
  share/doc/libqzlink-dev/copyright share/doc/libqzlink-dev/changelog.Debian.gz"
expected[tools]="bin/qzcli bin/qzscript bin/qzregsvr bin/qtr90x-camsim
  $libdir/qzlink/QzlinkAXCtrlE.so $libdir/qzlink/libqzautomation.so.1
  share/doc/qzlink-tools/examples/zoom.js share/doc/qzlink-tools/examples/close_in_handler.js
  share/doc/qzlink-tools/copyright share/doc/qzlink-tools/changelog.Debian.gz"
expected[controller]="bin/QTR90xControler share/applications/$app.desktop
  share/metainfo/$app.metainfo.xml share/icons/hicolor/scalable/apps/$app.svg
  share/doc/qtr90x-controller/copyright share/doc/qtr90x-controller/changelog.Debian.gz"
for size in 16 22 24 32 48 64 128 256; do
  expected[controller]+=" share/icons/hicolor/${size}x${size}/apps/$app.png"
done

for component in qzlink qzlink_dev tools controller; do
  cmake --install "$build" --prefix "$work/$component" --component "$component" \
    >"$work/$component.log" 2>&1
  check "component $component installs on its own" [ $? -eq 0 ]
  missing=
  for file in ${expected[$component]}; do
    [ -e "$work/$component/$file" ] || [ -L "$work/$component/$file" ] || missing+=" $file"
  done
  check "component $component has its files${missing:+ (missing:$missing)}" [ -z "$missing" ]
  (cd "$work/$component" && find . ! -type d | sed 's|^\./||') >"$work/$component.files"
done

cmake --install "$build" --prefix "$work/all" >"$work/all.log" 2>&1
check "everything installs at once" [ $? -eq 0 ]
(cd "$work/all" && find . ! -type d | sed 's|^\./||' | sort) >"$work/all.files"
sort "$work"/{qzlink,qzlink_dev,tools,controller}.files >"$work/union.files"
check "every installed file belongs to one of the four components, and to one only" \
  cmp -s "$work/all.files" "$work/union.files"
check "the header tree is exactly what qzlink.h includes" \
  [ "$(grep '^include/' "$work/all.files" | tr '\n' ' ')" = \
    "include/qzlink/platform/msgwindow.h include/qzlink/platform/win32_types.h include/qzlink/qzlink.h " ]
check "libqzlinke.so is the library itself" \
  [ "$(readlink -f "$work/all/$libdir/qzlink/libqzlinke.so")" = \
    "$(readlink -f "$work/all/$libdir/libqzlink.so.1")" ]

# ELF files: no RUNPATH into the build tree, every library found.
bad_runpath=
unresolved=
while read -r file; do
  path=$work/all/$file
  [ -L "$path" ] && continue
  head -c 4 "$path" | grep -q 'ELF' || continue
  runpath=$(readelf -d "$path" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]/\2/p')
  case ":$runpath:" in
    *"$build"*|*:/*) bad_runpath+=" $file($runpath)" ;;
  esac
  if env -i ldd "$path" 2>&1 | grep -q 'not found'; then
    unresolved+=" $file"
  fi
done <"$work/all.files"
check "RUNPATHs are relative to \$ORIGIN only${bad_runpath:+:$bad_runpath}" [ -z "$bad_runpath" ]
check "every library is found without LD_LIBRARY_PATH${unresolved:+:$unresolved}" [ -z "$unresolved" ]

# The installed programs at work, with a scratch settings store.
export QZLINK_REGISTRY="$work/registry.reg"
bin=$work/all/bin
mkfifo "$work/control"
exec 3<>"$work/control"
env -u LD_LIBRARY_PATH "$bin/qtr90x-camsim" --fast --link "$work/cam" <"$work/control" \
  >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do grep -q '^ready ' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done
check "the installed simulator starts" grep -q '^ready ' "$work/sim.out"

env -u LD_LIBRARY_PATH QZLINK_COM1="$work/cam" "$bin/qzcli" --port 1 --seconds 0 \
  QzGetUnitName 1 >"$work/qzcli.out" 2>&1
check "the installed qzcli asks the camera for its name" grep -q 'FE 30 31' "$work/qzcli.out"

env -u LD_LIBRARY_PATH "$bin/qzregsvr" -s "$work/all/$libdir/qzlink/QzlinkAXCtrlE.so" \
  >"$work/reg.out" 2>&1
check "the installed qzregsvr registers the installed control" [ $? -eq 0 ]
env -u LD_LIBRARY_PATH QZLINK_COM2="$work/cam" timeout 30 "$bin/qzscript" \
  "$work/all/share/doc/qzlink-tools/examples/zoom.js" 2 4660 >"$work/zoom.out" 2>&1
check "the installed qzscript runs zoom.js through the installed control" \
  grep -q '^zoom position 4660$' "$work/zoom.out"

# The manual pages that were made render without a warning, as lintian reads
# them, and have the sections of their kind.
pages=$(find "$work/all/share/man" -name '*.gz' | sort)
for page in $pages; do
  name=$(basename "$page" .gz)
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" >/dev/null 2>"$work/man.err"
  check "man -l $name renders without warnings" [ ! -s "$work/man.err" ]
  cat "$work/man.err"
  sections=$(zcat "$page" | sed -n 's/^\.SH "\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' | tr '\n' ',')
  case $name in
    *.1) wanted="NAME SYNOPSIS DESCRIPTION OPTIONS EXIT?STATUS ENVIRONMENT FILES EXAMPLES" ;;
    *) wanted="NAME SYNOPSIS DESCRIPTION ENVIRONMENT FILES EXAMPLES" ;;
  esac
  lacking=
  for section in $wanted; do
    echo ",$sections" | grep -q ",${section//\?/ }," || lacking+=" ${section//\?/ }"
  done
  check "$name has the sections of a manual page${lacking:+ (lacking:$lacking)}" [ -z "$lacking" ]
done

if [ "$failures" -ne 0 ]; then
  tail -n 20 "$work"/*.log "$work"/*.out 2>/dev/null
fi
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
