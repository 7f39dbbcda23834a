#!/usr/bin/env bash
# Checks the Debian packages as Debian's tools do, and as a user meets them:
# lintian without errors; each package's control fields; every file where
# packaging/layout.txt says, in its package; the menu entry and the AppStream
# metadata through desktop-file-validate and appstreamcli; and, unpacked
# (dpkg-deb -x) into a scratch root, every library found without
# LD_LIBRARY_PATH, every program answering --version, every manual page
# rendering without a warning. Ends with each package's file list and size.
# usage: scripts/check-packages.sh BUILD_DIR PACKAGE_DIR
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
packages=$2
layout=$root/packaging/layout.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$root/testsupport/checks.sh"

project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
version=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$root/packaging/debian/changelog")
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
app=$(basename "$(ls "$root"/packaging/*.desktop)" .desktop)
libdir=usr/lib/$multiarch
check "the newest changelog entry ($version) is the project's version ($project_version)" \
  [ "${version%-*}" = "$project_version" ]

# --- The packages and their control fields --------------------------------
depends_on() {  # depends_on DEB DEPENDENCY: a package name, or one with its version
  dpkg-deb -f "$1" Depends | tr ',' '\n' | sed 's/^ *//' |
    awk -v want="$2" '$0 == want || $1 == want { found = 1 } END { exit !found }'
}
names=$(awk '!/^#/ && NF == 3 { print $2 }' "$layout" | sort -u)
debs=()
for name in $names; do
  deb=$(ls "$packages/${name}_"*.deb 2>/dev/null | head -n 1)
  check "package $name was built" [ -n "$deb" ]
  [ -n "$deb" ] || continue
  debs+=("$deb")
  check "$name: version $version" [ "$(dpkg-deb -f "$deb" Version)" = "$version" ]
  check "$name: a maintainer" [ -n "$(dpkg-deb -f "$deb" Maintainer)" ]
  check "$name: a synopsis and a description" \
    bash -c '[ "$(dpkg-deb -f "$1" Description | wc -l)" -ge 3 ]' _ "$deb"
  case $name in
    libqzlink1) wanted=(libc6) ;;
    libqzlink-dev) wanted=("libqzlink1 (= $version)") ;;
    qzlink-tools) wanted=("libqzlink1 (= $version)" libc6 libqt6qml6) ;;
    qzlinkd) wanted=("libqzlink1 (= $version)" libc6 libqt6httpserver6 libqt6websockets6) ;;
    *) wanted=("libqzlink1 (= $version)" libc6 libqt6widgets6) ;;
  esac
  for dependency in "${wanted[@]}"; do
    check "$name depends on $dependency" depends_on "$deb" "$dependency"
  done
  dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||; /\/$/d' >"$work/$name.list"
  dpkg-deb -x "$deb" "$work/root"
done
check "libqzlink1 has a shlibs file and the ldconfig trigger" \
  bash -c 'd=$(mktemp -d) && dpkg-deb -e "$1" "$d" && grep -q "^libqzlink 1 libqzlink1" "$d/shlibs" &&
           grep -qx "activate-noawait ldconfig" "$d/triggers"; s=$?; rm -rf "$d"; exit $s' \
  _ "$(ls "$packages"/libqzlink1_*.deb | head -n 1)"

# --- lintian -----------------------------------------------------------------
lintian --fail-on error --display-level ">=warning" "${debs[@]}" >"$work/lintian.out" 2>&1
status=$?
grep -v 'running with root privileges' "$work/lintian.out"
check "lintian finds no error" [ $status -eq 0 ]

# --- Where the files are -----------------------------------------------------
while read -r _ name path; do
  case $name in ''|'#'*|package) continue ;; esac
  path=usr/${path//LIBDIR/lib/$multiarch}
  path=${path//APP/$app}
  check "$name has /$path" grep -qx "$path" "$work/$name.list"
done < <(grep -v '^#' "$layout")

# --- The desktop metadata ----------------------------------------------------
desktop=$work/root/usr/share/applications/$app.desktop
metainfo=$work/root/usr/share/metainfo/$app.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1)
check "desktop-file-validate passes without a message" [ $? -eq 0 ] && [ -z "$out" ]
echo "$out"
out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1)
check "appstreamcli validate --no-net passes" [ $? -eq 0 ]
echo "$out"

# --- qzlinkd's systemd user units ---------------------------------------------
# systemd-analyze verify on copies that name the unpacked program and find
# the unpacked manual page (Documentation=man:qzlinkd(1)).
units=$work/root/usr/lib/systemd/user
if [ -f "$units/qzlinkd.service" ]; then
  mkdir -p "$work/units"
  for unit in qzlinkd.service qzlinkd.socket; do
    sed "s|/usr/bin/qzlinkd|$work/root/usr/bin/qzlinkd|" "$units/$unit" >"$work/units/$unit"
  done
  check "qzlinkd.service is Type=notify (the daemon sends READY=1)" \
    grep -qx 'Type=notify' "$units/qzlinkd.service"
  check "qzlinkd.service runs /usr/bin/qzlinkd of the package" \
    grep -q '^ExecStart=/usr/bin/qzlinkd ' "$units/qzlinkd.service"
  if command -v systemd-analyze >/dev/null; then
    out=$(cd "$work/units" && MANPATH=$work/root/usr/share/man \
            systemd-analyze verify qzlinkd.service qzlinkd.socket 2>&1)
    check "systemd-analyze verify passes the units without a message" [ $? -eq 0 -a -z "$out" ]
    echo "$out"
  else
    echo "systemd-analyze is not installed: the units are not verified"
  fi
fi

# --- Unpacked: libraries, programs, manual pages ----------------------------
bad_runpath=
unresolved=
while read -r file; do
  head -c 4 "$file" | grep -q 'ELF' || continue
  runpath=$(readelf -d "$file" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]/\2/p')
  case ":$runpath:" in *:/*) bad_runpath+=" ${file#"$work/root"}($runpath)" ;; esac
  env -i ldd "$file" 2>&1 | grep -q 'not found' && unresolved+=" ${file#"$work/root"}"
done < <(find "$work/root" -type f)
check "RUNPATHs are relative to \$ORIGIN only${bad_runpath:+:$bad_runpath}" [ -z "$bad_runpath" ]
check "every library is found without LD_LIBRARY_PATH${unresolved:+:$unresolved}" \
  [ -z "$unresolved" ]

for program in "$work"/root/usr/bin/*; do
  name=$(basename "$program")
  out=$(env -i PATH=/usr/bin:/bin HOME="$work" QZLINK_REGISTRY="$work/registry.reg" \
          timeout 20 "$program" --version </dev/null 2>&1 | head -n 1)
  check "unpacked $name --version prints '$name (qzlink) $project_version' (got '$out')" \
    grep -Eqx "$name( \(qzlink\))? ${project_version//./\\.}" <<<"$out"
  page=$work/root/usr/share/man/man1/$name.1.gz
  check "$name has a manual page" [ -f "$page" ]
done
for page in $(find "$work/root/usr/share/man" -name '*.gz' | sort); do
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" >/dev/null 2>"$work/man.err"
  check "man -l $(basename "$page" .gz) renders without warnings" [ ! -s "$work/man.err" ]
  cat "$work/man.err"
done

# --- The packages' file lists ------------------------------------------------
echo
printf '%-40s %6s %10s %12s\n' package files bytes installed-KiB
for deb in "${debs[@]}"; do
  listing=$(dpkg-deb -c "$deb" | grep -v '^d')
  printf '%-40s %6d %10d %12s\n' "$(basename "$deb")" "$(wc -l <<<"$listing")" \
    "$(awk '{ s += $3 } END { print s }' <<<"$listing")" "$(dpkg-deb -f "$deb" Installed-Size)"
done
echo
checks_summary
