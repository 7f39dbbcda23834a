#!/usr/bin/env bash
# qzcli as an operator runs it: against the simulated camera, and with bad
# input. usage: qzcli_camsim_test.sh QZCLI CAMSIM
set -u
qzcli=$1
camsim=$2
work=$(mktemp -d)
failures=0
sim=

cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  exec 3>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

mkfifo "$work/control"
exec 3<>"$work/control"
"$camsim" --fast --model QT-R7 --cameras 3 --link "$work/cam" <"$work/control" >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do grep -q '^ready ' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done

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

echo "$((11 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
