#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run.
# Idempotent: asks apt only when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  ser2net  # the RFC 2217 end-to-end tests run the library through it
  qt6-base-dev qt6-declarative-dev qt6-qpa-plugins fonts-ipafont-gothic
  clang libclang-rt-14-dev  # the libFuzzer harnesses in fuzz/
  clang-format              # scripts/check-format.sh
  xvfb xdotool x11-xserver-utils  # GUI tests that need a real X server and its input
  libsdl2-dev               # gamepad and joystick control in the operator application
  qt6-httpserver-dev qt6-websockets-dev  # the network control service in netcontrol/
  curl python3-websockets   # clients nobody here wrote, in the network service's tests
  chromium                  # qzlinkd's operator page in a headless browser (skipped without)
  # scripts/build-packages.sh: manual pages from --help, the icon's sizes,
  # and Debian's own checks of the packages and the desktop metadata
  help2man librsvg2-bin dpkg-dev lintian desktop-file-utils appstream man-db groff
)

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
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync serves lists of the wrong size for a
# while; try again rather than fail the whole run.
for attempt in 1 2 3 4; do
  $SUDO apt-get update -q && break
  [ $attempt -eq 4 ] && exit 1
  echo "apt-get update failed (attempt $attempt), trying again in 30 s" >&2
  sleep 30
done
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
