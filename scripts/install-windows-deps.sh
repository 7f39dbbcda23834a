#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need: Debian's
# MinGW-w64 cross compilers (the posix thread model, for std::thread), the
# MinGW tools (dlltool, widl, windres) and Wine with its 32-bit half.
# Idempotent: asks apt only when something is missing.
#
# Wine's 32-bit half comes from the i386 architecture. Adding it makes apt
# upgrade the amd64 copies of libraries that both halves share (libssl3,
# zlib1g, ...) to the same point release; expect that on a first install.
# The test shim's 32-bit copy is built by the stock gcc with -m32 -nostdlib:
# no gcc-multilib, which would remove the cross compilers.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine32:i386 wine64
  libwine-dev     # widl's IDL files (oaidl.idl, ocidl.idl) for the type library
  nsis            # the installer
  zip unzip       # the distribution zips and their test
  googletest      # /usr/src/googletest, cross-compiled for the Windows tests
)

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
apt_get() { $SUDO apt-get -o DPkg::Lock::Timeout=900 "$@"; }

added_arch=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  added_arch=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
# A mirror in the middle of a sync serves lists of the wrong size for a
# while: try again, then go on with the lists there are.
update_lists() {
  local attempt
  for attempt in 1 2 3; do
    apt_get update -q && return 0
    [ $attempt -lt 3 ] && { echo "apt-get update failed (attempt $attempt), trying again in 20 s" >&2; sleep 20; }
  done
  echo "install-windows-deps.sh: some package lists could not be fetched; going on with the others" >&2
}
# A newly added architecture has no package lists yet.
if [ $added_arch -eq 1 ] || ! apt-cache show wine32:i386 >/dev/null 2>&1; then
  update_lists
fi
if ! apt_get install -y -q --no-install-recommends "${missing[@]}"; then
  # Wine's 32-bit half needs i386 copies of libraries at exactly the amd64
  # versions; without the mirror's i386 lists they cannot be installed.
  # Install the rest: the 32-bit build is still made and its exports
  # checked, and the test scripts say that its programs did not run.
  rest=()
  for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
  [ ${#rest[@]} -lt ${#missing[@]} ] || exit 1
  echo "install-windows-deps.sh: Wine's 32-bit half (wine32:i386) cannot be installed from this mirror now; installing the rest" >&2
  [ ${#rest[@]} -eq 0 ] || apt_get install -y -q --no-install-recommends "${rest[@]}"
fi
