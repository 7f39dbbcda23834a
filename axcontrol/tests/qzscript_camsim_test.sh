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
. "$(dirname "$0")/../../testsupport/checks.sh"
. "$(dirname "$0")/../../testsupport/camsim.sh"
export QZLINK_REGISTRY="$work/registry.reg"

"$qzregsvr" "$module" >"$work/reg.out"
check "qzregsvr registers the module" grep -q 'DllRegisterServer in .* succeeded' "$work/reg.out"

start_camsim "$camsim" --fast

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

# A signal or --timeout ends a script that holds a session: the session is
# closed first (the library's trace notes "closing COM2"), the frame reported
# sent has reached the camera, and the port opens again at once.
cat >"$work/hold.js" <<'JS'
var cam = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");
if (cam.CommOpen(2, 9600, 8, 0, 0) === 0) WScript.Quit(9);
WScript.Echo("sent " + cam.SetZoomPosition4(1, Number(WScript.Arguments(0))));
while (true) WScript.Sleep(600000);
JS
cat >"$work/reopen.js" <<'JS'
var cam = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");
WScript.Echo("open " + cam.CommOpen(2, 9600, 8, 0, 0) + " close " + cam.CommClose());
JS
wait_for() {  # wait_for FILE PATTERN: up to 10 s
  for _ in $(seq 200); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
  return 1
}
zoom_now() {  # camera 1's zoom position, as the simulator reports it
  local before
  before=$(wc -l <"$work/sim.out")
  echo "state 1" >&3
  for _ in $(seq 100); do
    if tail -n +"$((before + 1))" "$work/sim.out" | grep -q '^camera 1 '; then
      tail -n +"$((before + 1))" "$work/sim.out" | grep '^camera 1 ' | grep -o 'zoom=0x[0-9A-F]*'
      return
    fi
    sleep 0.05
  done
}
after_stop() {  # after_stop WHAT ZOOM: the checks after a stopped script
  check "$1: the session was closed first" grep -q 'closing COM2' "$work/trace"
  local now; now=$(zoom_now)
  check "$1: the frame reported sent arrived ($now)" [ "$now" = "zoom=0x$2" ]
  QZLINK_COM2="$work/cam" timeout 10 "$qzscript" "$work/reopen.js" >"$work/reopen.out" 2>&1
  check "$1: the port opens again at once" grep -qx 'open 1 close 1' "$work/reopen.out"
}
# Job control, so that a background job keeps SIGINT (bash would ignore it).
set -m
zoom=256
for sig in TERM INT HUP; do
  zoom=$((zoom + 256))
  rm -f "$work/trace"
  QZLINK_COM2="$work/cam" QZLINK_TRACE="$work/trace" "$qzscript" "$work/hold.js" "$zoom" \
    >"$work/hold.out" 2>"$work/hold.err" &
  pid=$!
  wait_for "$work/hold.out" '^sent 1$'
  kill -s "$sig" "$pid"
  wait "$pid"
  status=$?
  check "SIG$sig ends the script with status $((128 + $(kill -l "$sig")))" \
    [ "$status" -eq $((128 + $(kill -l "$sig"))) ]
  after_stop "SIG$sig" "$(printf '%04X' "$zoom")"
done
set +m

rm -f "$work/trace"
cat >"$work/talk.js" <<'JS'
var cam = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");
cam.CommOpen(2, 9600, 8, 0, 0);
WScript.Echo("sent " + cam.SetZoomPosition4(1, 0x1500));
while (true) { WScript.Echo("more"); WScript.Sleep(20); }
JS
QZLINK_COM2="$work/cam" QZLINK_TRACE="$work/trace" timeout 20 "$qzscript" "$work/talk.js" \
  2>"$work/talk.err" | head -n 1 >"$work/talk.out"
status=${PIPESTATUS[0]}
check "a reader that leaves (SIGPIPE) ends the script with status 141" [ "$status" -eq 141 ]
check "SIGPIPE: the script ran" grep -qx 'sent 1' "$work/talk.out"
after_stop SIGPIPE 1500

rm -f "$work/trace"
started=$(date +%s)
QZLINK_COM2="$work/cam" QZLINK_TRACE="$work/trace" timeout 20 "$qzscript" --timeout 0.5 \
  "$work/hold.js" 5632 >"$work/hold.out" 2>"$work/hold.err"
status=$?
check "--timeout ends the script with status 124" [ "$status" -eq 124 ]
check "--timeout: in time" [ $(($(date +%s) - started)) -lt 10 ]
check "--timeout: and says so" grep -q 'hold.js: timed out after 500 ms' "$work/hold.err"
after_stop --timeout 1600

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
check "numbers out of the 32-bit range overflow (runtime error 6)" grep -q '^overflow 6$' "$work/conv.out"
"$qzscript" "$work/conventions.js" go on >/dev/null 2>"$work/conv.err"
check "an uncaught automation error exits 1" [ $? -eq 1 ]
check "and prints the script's path as given, the line, number and message" grep -qx \
  "$work/conventions.js:9: error 453 (0x800a01c5): Can't find DLL entry point QzSetDomeData in QZLINKE.DLL: 'SetDomeData'" \
  "$work/conv.err"

"$qzregsvr" -u -s "$module"
echo 'WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");' >"$work/gone.js"
"$qzscript" "$work/gone.js" 2>"$work/gone.err"
check "after qzregsvr -u the ProgID is unknown" [ $? -eq 1 ]
check "and the error says so" grep -q 'class not registered' "$work/gone.err"

checks_summary
