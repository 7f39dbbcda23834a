// The control from JScript (Wine's cscript): creation both ways, a failure
// and ERRORCODE, the property put, a binding failure. Prints "ok: ..." or
// "FAILED: ..." per check and a last line "done, N failed".
// usage: cscript control.js MISSING_PORT
var failures = 0;
function check(name, ok) {
  WScript.Echo((ok ? "ok: " : "FAILED: ") + name);
  if (!ok) failures++;
}
var cam = new ActiveXObject("QzlinkAXCtrlE.QzlinkCtrl");
var other = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl");
check("created by ProgID (new ActiveXObject, WScript.CreateObject)", cam !== null && other !== null);
var port = Number(WScript.Arguments(0));
check("CommOpen of a missing port returns 0", cam.CommOpen(port, 9600, 8, 0, 0) === 0);
check("ERRORCODE after the failure: -1", cam.ERRORCODE === -1);
check("each instance has its own error state", other.ERRORCODE === 0);
try {
  cam.ERRORCODE = 4;
  check("setting ERRORCODE fails", false);
} catch (e) {
  check("setting ERRORCODE fails with 382 (" + (e.number & 0xFFFF) + ")", (e.number & 0xFFFF) === 382);
}
check("CommClose without a session: -2", cam.CommClose() === -2);
try {
  cam.GetOperateStatus4(1);
  check("GetOperateStatus4 fails", false);
} catch (e) {
  check("an export the library lacks: 453 (" + (e.number & 0xFFFF) + ")", (e.number & 0xFFFF) === 453);
}
other.Terminate();
WScript.Echo("done, " + failures + " failed");
