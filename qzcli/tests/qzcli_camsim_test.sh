#!/usr/bin/env bash
# qzcli as an operator runs it: against the simulated camera, and with bad
# input. usage: qzcli_camsim_test.sh QZCLI CAMSIM
set -u
qzcli=$1
camsim=$2
. "$(dirname "$0")/../../testsupport/checks.sh"
. "$(dirname "$0")/../../testsupport/camsim.sh"

start_camsim "$camsim" --fast --model QT-R7 --cameras 3

QZLINK_COM2="$work/cam" "$qzcli" --port 2 --seconds 0.2 \
  QzSetCascade 0 1 -- QzGetUnitName 2 ';' QzSetZooming 1 9 -- QzSetMotorSpeed 1 0 900 \
  >"$work/out" 2>"$work/err"
status=$?
check "runs to the end" [ "$status" -eq 0 ]
check "prints the frame sent" grep -q '^send FF 30 30 00 8F 31 EF$' "$work/out"
check "prints the answer with kind and number" grep -q '^recv ack #1 FE 30 33 30 30 EF$' "$work/out"
check "answers come from the addressed camera" \
  grep -q '^recv ack #2 FE 30 32 30 30 51 54 2D 52 37 EF$' "$work/out"
check "a bad selector sends nothing" grep -q '^call QzSetZooming(1, 9) -> 0 (error 0 ERR_NONE)$' "$work/out"
check "a refusal arrives as its completion code" grep -q '^recv ack #3 FE 30 31 35 30 EF$' "$work/out"

"$qzcli" --port 1 QzNoSuchExport 1 >/dev/null 2>"$work/err"
check "an unknown export exits 2" [ $? -eq 2 ]
check "and says which" grep -q "unknown export 'QzNoSuchExport'" "$work/err"
"$qzcli" QzSetZooming 1 >/dev/null 2>"$work/err"
check "a wrong argument count exits 2" [ $? -eq 2 ]
QZLINK_COM4="$work/missing" "$qzcli" --port 4 QzGetUnitName 1 >/dev/null 2>"$work/err"
check "a missing port exits 1" [ $? -eq 1 ]
check "and says why" grep -q 'cannot open COM4: error -1 ERR_SYSTEM, system code 2' "$work/err"

# --help and --version on standard output with status 0; a bad option gets
# one line on standard error and status 2.
"$qzcli" --help >"$work/help" 2>"$work/err"
check "--help exits 0" [ $? -eq 0 ]
check "--help names the program" grep -q '^qzcli - ' "$work/help"
check "--help has a Usage: line" grep -q '^Usage: qzcli ' "$work/help"
for section in 'Exit status:' 'Environment:' 'Examples:'; do
  check "--help has $section" grep -qx "$section" "$work/help"
done
for option in --port --baud --seconds --wait-ms --list-ports --set-port --clear-port --list \
  --help --version QZLINK_COM1 QZLINK_TRACE QZLINK_REGISTRY; do
  check "--help tells $option" grep -qE -- "^  (-h, )?$option" "$work/help"
done
check "--help says nothing on standard error" [ ! -s "$work/err" ]
"$qzcli" --version >"$work/version"
check "--version exits 0 with the version" grep -qx 'qzcli (qzlink) [0-9][0-9.]*' "$work/version"
"$qzcli" --bogus >/dev/null 2>"$work/err"
check "a bad option exits 2" [ $? -eq 2 ]
check "with one line on standard error" [ "$(wc -l <"$work/err")" -eq 1 ]

# A port mapped in the settings store (a private one), without the variable.
export QZLINK_REGISTRY="$work/registry.reg"
"$qzcli" --set-port 5 "$work/cam" >"$work/out" 2>"$work/err"
check "--set-port stores a target" [ $? -eq 0 ]
"$qzcli" --list-ports >"$work/ports"
check "--list-ports shows it as a setting" grep -qx "  COM5  settings     $work/cam" "$work/ports"
check "--list-ports shows the defaults" grep -qx "  COM4  default      /dev/ttyS3" "$work/ports"
"$qzcli" --port 5 --seconds 0 QzSetCascade 0 1 >"$work/out" 2>"$work/err"
check "the stored target opens" grep -q '^recv ack #1 FE 30 33 30 30 EF$' "$work/out"
QZLINK_COM5="$work/missing" "$qzcli" --port 5 --seconds 0 QzSetCascade 0 1 >/dev/null 2>"$work/err"
check "the variable comes first" grep -q 'cannot open COM5: error -1 ERR_SYSTEM, system code 2' "$work/err"
"$qzcli" --set-port 5 cam >/dev/null 2>"$work/err"
check "a relative path is refused with status 2" [ $? -eq 2 ]
"$qzcli" --clear-port 5 >/dev/null 2>&1
"$qzcli" --list-ports >"$work/ports"
check "--clear-port brings the default back" grep -qx "  COM5  default      /dev/ttyS4" "$work/ports"

checks_summary
