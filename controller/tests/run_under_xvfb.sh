#!/usr/bin/env bash
# Runs a test program on the xcb platform under a private Xvfb server, with
# xdotool for its input. Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run or xdotool missing: skipped" >&2
  exit 77
fi
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1920x1080x24 -ardelay 250 -arinterval 33" "$@"
