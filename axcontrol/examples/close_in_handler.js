// Closes the session from inside the AckRxEvent handler: the control answers
// the library's message first, so the close does not wait for itself.
//
//   qzscript close_in_handler.js [PORT]
var port = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 1;
var cam = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl", "cam_");
var closed = null;

function cam_AckRxEvent(wParam, lBytes) {
  if (closed === null) closed = cam.CommClose();
}

if (cam.CommOpen(port, 9600, 8, 0, 0) === 0) {
  WScript.Echo("cannot open COM" + port + ": ERRORCODE " + cam.ERRORCODE);
  WScript.Quit(1);
}
cam.GetUnitName(1);
for (var waited = 0; closed === null && waited < 3000; waited += 10) WScript.Sleep(10);
WScript.Echo("closed in handler: " + closed + ", CommClose afterwards: " + cam.CommClose());
cam.Terminate();
WScript.Quit(closed === 1 ? 0 : 3);
