#!/usr/bin/env bash
# Installs what is missing, builds, and drives a simulated QT-R90x
# cascade on a pseudo-terminal through the camera link library with
# qzcli: the connect sequence and a few commands, every frame printed as hex.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${QZ_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" "$build"

. "$root/scripts/start-camsim.sh"
start_camsim --model QT-R90x --cameras 3 --power off
echo

year=$(( $(date +%Y) - 2000 )); month=$(date +%-m); day=$(date +%-d)
hour=$(date +%-H); minute=$(date +%-M); second=$(date +%-S)

cli() { QZLINK_COM1="$link" "$build/qzcli/qzcli" --port 1 "$@"; }

echo "== connect: camera list, host mode, notifications, status, power on =="
# The camera starts with its power off: the power-on command is acknowledged
# at once and its notification (FA ... 00 A0 31) follows when the power is up.
cli --seconds 2.5 QzSetCascade 0 0 -- QzSetCascade 0 1 -- QzSetCmdMode 1 0 -- \
  QzSetNotify 1 1 -- QzGetExtendedOperateStatus 1 -- QzSetCameraPower 1 1
echo
echo "== the rest of the connect sequence =="
cli --seconds 0.2 QzGetExtendedOperateStatus 1 -- QzGetUnitName 1 -- QzGetIrLight 1 -- \
  QzGetIrCutFilter 1 -- QzGetExtendPreset 1 -- QzSetSensorInputDetectProp 1 17 -- \
  QzSetDate 1 "$year" "$month" "$day" -- QzSetTime 1 "$hour" "$minute" "$second"
echo
echo "== operator actions: zoom tele and stop, a refused speed, camera 2 of the cascade =="
cli --seconds 0.5 QzSetZooming 1 2 -- QzSetZooming 1 0 -- QzGetZoomPosition 1 -- \
  QzSetMotorSpeed 1 0 900 -- QzGetUnitName 2
