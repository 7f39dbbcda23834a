// Drives camera 1 through the automation control: opens COM<port>, zooms to a
// position, reads the zoom position back from the AckRxEvent bytes, switches
// the backlight (whose completion arrives as a NotifyRxEvent) and closes.
//
//   qzscript zoom.js [PORT] [ZOOM]        (defaults: COM1, zoom 0x1000)
var port = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 1;
var target = WScript.Arguments.length > 1 ? Number(WScript.Arguments(1)) : 0x1000;

var cam = WScript.CreateObject("QzlinkAXCtrlE.QzlinkCtrl", "cam_");
var acks = [];
var notifications = 0;

function frameBytes(count) {
  var bytes = [];
  for (var i = 0; i < count; i++) bytes.push(cam.GetPicData(i));
  return bytes;
}

function hex(bytes) {
  return bytes.map(function (b) { return (b < 16 ? "0" : "") + b.toString(16).toUpperCase(); })
      .join(" ");
}

function cam_AckRxEvent(wParam, lBytes) {
  var bytes = frameBytes(lBytes);
  acks.push(bytes);
  WScript.Echo("AckRxEvent " + wParam + " " + lBytes + ": " + hex(bytes));
}

function cam_NotifyRxEvent(wParam, lBytes) {
  notifications++;
  WScript.Echo("NotifyRxEvent " + wParam + " " + lBytes + ": " + hex(frameBytes(lBytes)));
}

// Sends one command and waits (dispatching events) for its answer.
function command(name, result) {
  var before = acks.length;
  if (result === 0) throw new Error(name + " failed: ERRORCODE " + cam.ERRORCODE);
  for (var waited = 0; acks.length === before; waited += 10) {
    if (waited > 3000) throw new Error(name + ": no answer");
    WScript.Sleep(10);
  }
  var answer = acks[acks.length - 1];
  // FE 30 <address> <two-character completion code> ... EF
  var code = String.fromCharCode(answer[3], answer[4]);
  if (code !== "00") throw new Error(name + ": camera refused with code " + code);
  return answer;
}

if (cam.CommOpen(port, 9600, 8, 0, 0) === 0) {
  var detail = { value: 0 };
  WScript.Echo("cannot open COM" + port + ": ERRORCODE " + cam.GetLastError(detail) +
               ", system code " + detail.value);
  WScript.Quit(1);
}
WScript.Echo("CommOpen COM" + port);

command("SetCascade", cam.SetCascade(0, 1));
command("SetNotify", cam.SetNotify(1, 1));
command("SetZoomPosition4", cam.SetZoomPosition4(1, target));
var answer = command("GetZoomPosition4", cam.GetZoomPosition4(1));
// The position is four hex characters after the completion code.
var position = parseInt(String.fromCharCode.apply(null, answer.slice(5, 9)), 16);
WScript.Echo("zoom position " + position);

command("SetBackLight", cam.SetBackLight(1, 1));
for (var waited = 0; notifications === 0 && waited < 3000; waited += 10) WScript.Sleep(10);

WScript.Echo("CommClose " + cam.CommClose());
cam.Terminate();
WScript.Quit(position === target && notifications > 0 ? 0 : 3);
