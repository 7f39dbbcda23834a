#!/usr/bin/env bash
# qzscript as a user runs it: register the control with qzregsvr, run the
# examples against the simulated camera, and check the script conventions.
# usage: qzscript_camsim_test.sh QZSCRIPT QZREGSVR MODULE CAMSIM EXAMPLES
set -u
qzscript=$1
qzregsvr=$2
module=$3
camsim=$4
examples=$5
work=$(mktemp -d)
failures=0
checks=0
sim=
export QZLINK_REGISTRY="$work/registry.reg"

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

"$qzregsvr" "$module" >"$work/reg.out"
check "qzregsvr registers the module" grep -q 'DllRegisterServer in .* succeeded' "$work/reg.out"

mkfifo "$work/control"
exec 3<>"$work/control"
"$camsim" --fast --link "$work/cam" <"$work/control" >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do grep -q '^ready ' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done

QZLINK_COM2="$work/cam" "$qzscript" "$examples/zoom.js" 2 4660 >"$work/zoom.out" 2>"$work/zoom.err"
check "zoom.js runs to the end" [ $? -eq 0 ]
check "the answer arrives as AckRxEvent with its bytes" \
  grep -q '^AckRxEvent 1 10: FE 30 31 30 30 31 32 33 34 EF$' "$work/zoom.out"
check "the zoom position is read from the answer" grep -q '^zoom position 4660$' "$work/zoom.out"
check "the notification arrives as NotifyRxEvent" \
  grep -q '^NotifyRxEvent 1 7: FA 30 31 00 A5 31 EF$' "$work/zoom.out"
check "CommClose closes" grep -q '^CommClose 1$' "$work/zoom.out"

QZLINK_COM2="$work/cam" timeout 20 "$qzscript" "$examples/close_in_handler.js" 2 \
  >"$work/close.out" 2>&1
check "CommClose inside AckRxEvent returns" [ $? -eq 0 ]
check "and closed the session" grep -q 'closed in handler: 1, CommClose afterwards: -2' \
  "$work/close.out"

cat >"$work/conventions.js" <<'JS'
var c = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");
var detail = { value: 77 };
WScript.Echo("close", c.CommClose(), "lError", c.GetLastError(detail), detail.value);
WScript.Echo("args", WScript.Arguments.length, WScript.Arguments(1));
try { c.ERRORCODE = 1; } catch (e) { WScript.Echo("put", e.number & 0xFFFF, e.description); }
try { c.SetZooming(1, 3e10); } catch (e) { WScript.Echo("overflow", e.number & 0xFFFF); }
WScript.Echo("rounded", c.GetPicData(2.5));
if (WScript.Arguments(0) === "quit") WScript.Quit(7);
c.SetDomeData(1, 0);
JS
"$qzscript" "$work/conventions.js" quit second >"$work/conv.out" 2>"$work/conv.err"
check "WScript.Quit sets the exit status" [ $? -eq 7 ]
check "by-reference argument comes back in .value" \
  grep -q '^close -2 lError 0 0$' "$work/conv.out"
check "arguments" grep -q '^args 2 second$' "$work/conv.out"
check "ERRORCODE put raises 382 at run time" \
  grep -q '^put 382 Set not supported at runtime.$' "$work/conv.out"
check "numbers out of the 32-bit range overflow" grep -q '^overflow 10$' "$work/conv.out"
"$qzscript" "$work/conventions.js" go on >/dev/null 2>"$work/conv.err"
check "an uncaught automation error exits 1" [ $? -eq 1 ]
check "and prints its number and description" grep -q \
  "conventions.js:9: error 453 (0x800a01c5): Can't find DLL entry point QzSetDomeData in QZLINKE.DLL" \
  "$work/conv.err"

"$qzregsvr" -u -s "$module"
echo 'WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");' >"$work/gone.js"
"$qzscript" "$work/gone.js" 2>"$work/gone.err"
check "after qzregsvr -u the ProgID is unknown" [ $? -eq 1 ]
check "and the error says so" grep -q 'class not registered' "$work/gone.err"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
