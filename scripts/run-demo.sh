#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: the operator
# application QTR90xControler connected (as COM1) to a simulated cascade of
# three QT-R90x cameras on a pseudo-terminal.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY) the window opens there.
# Without one it runs on Qt's VNC platform: connect a VNC viewer to the
# address printed (port $QZ_VNC_PORT, default 5900).
#
# Settings: the user's registry file when it exists (or $QZLINK_REGISTRY),
# else a temporary one that goes when the demo ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${QZ_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build"

. "$root/scripts/start-camsim.sh"
start_camsim --model QT-R90x --cameras 3

user_registry=${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/registry.reg
if [ -z "${QZLINK_REGISTRY:-}" ] && [ ! -f "$user_registry" ]; then
  export QZLINK_REGISTRY="$work/registry.reg"
  echo "settings: a temporary registry file (yours would be $user_registry)"
fi
export QZLINK_COM1="$link"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  # The single-instance lock lives in the runtime directory.
  export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  port=${QZ_VNC_PORT:-5900}
  export QT_QPA_PLATFORM="vnc:size=1024x768:port=$port"
  address=$(hostname -I 2>/dev/null | awk '{print $1}')
  echo "no display: connect a VNC viewer to ${address:-localhost}:$port (Ctrl+C ends the demo)"
fi
echo "QTR90xControler on COM1 -> $link"
"$build/controller/QTR90xControler"
