#!/usr/bin/env bash
# Installs every component into a scratch prefix of its own and checks the
# tree: each file where the install rules say and in one component only, the
# header tree exactly what qzlink.h includes, no RUNPATH into the build tree,
# every library found without LD_LIBRARY_PATH, and the installed programs at
# work against the installed simulator (qzcli, and qzscript through the
# installed control, which loads libqzlinke.so from its own folder).
# usage: install_tree_test.sh BUILD_DIR LIBDIR APP_ID LAYOUT
set -u
build=$1
libdir=$2
app=$3
layout=$4
. "$(dirname "$0")/../../testsupport/checks.sh"
. "$(dirname "$0")/../../testsupport/camsim.sh"

# What each component must install (packaging/layout.txt). The programs'
# manual pages are made only for programs that answer --version as
# CONTRIBUTING.md describes; scripts/check-packages.sh requires all of them,
# here only the pages that were made are checked, further down.
declare -A expected
while read -r component _ path; do
  case $component in ''|'#'*) continue ;; esac
  case $path in share/man/man1/*) continue ;; esac
  path=${path//LIBDIR/$libdir}
  expected[$component]+=" ${path//APP/$app}"
done <"$layout"

# qzlinkd is built only where Qt's HttpServer and WebSockets modules are.
components=(qzlink qzlink_dev tools controller)
[ -x "$build/qzlinkd/qzlinkd" ] && components+=(qzlinkd)
for component in "${components[@]}"; do
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
(cd "$work" && sort "${components[@]/%/.files}") >"$work/union.files"
check "every installed file belongs to one of the components, and to one only" \
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
start_camsim env -u LD_LIBRARY_PATH "$bin/qtr90x-camsim" --fast
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
  # The simulator reads no environment variable and no file; every other
  # program and the library read the port variables and the settings file.
  case $name in
    qtr90x-camsim.1) wanted="NAME SYNOPSIS DESCRIPTION OPTIONS EXIT?STATUS EXAMPLES" ;;
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
checks_summary
