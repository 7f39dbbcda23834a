#include "ui/qzlink_caller.h"

#include "camlink/qzlink.h"

namespace qtr90x {

int QzlinkCaller::Call(const LibraryCall& call) {
  const int cam = call.camera;
  const int a = call.args[0];
  const int b = call.args[1];
  const int c = call.args[2];
  switch (call.function) {
    case LibraryFunction::kQzSetCascade:
      return QzSetCascade(cam, a);
    case LibraryFunction::kQzSetCmdMode:
      return QzSetCmdMode(cam, a);
    case LibraryFunction::kQzSetNotify:
      return QzSetNotify(cam, a);
    case LibraryFunction::kQzGetExtendedOperateStatus:
      return QzGetExtendedOperateStatus(cam);
    case LibraryFunction::kQzSetCameraPower:
      return QzSetCameraPower(cam, a);
    case LibraryFunction::kQzGetUnitName:
      return QzGetUnitName(cam);
    case LibraryFunction::kQzGetExtendPreset:
      return QzGetExtendPreset(cam);
    case LibraryFunction::kQzPedestalInitialize:
      return QzPedestalInitialize(cam, a);
    case LibraryFunction::kQzSetDate:
      return QzSetDate(cam, a, b, c);
    case LibraryFunction::kQzSetTime:
      return QzSetTime(cam, a, b, c);
    case LibraryFunction::kQzGetIrLight:
      return QzGetIrLight(cam);
    case LibraryFunction::kQzGetIrCutFilter:
      return QzGetIrCutFilter(cam);
    case LibraryFunction::kQzSetSensorInputDetectProp:
      return QzSetSensorInputDetectProp(cam, a);
    case LibraryFunction::kQzGetSensorInputTerminalStat:
      return QzGetSensorInputTerminalStat(cam);
    case LibraryFunction::kQzGetMotorSpeed:
      return QzGetMotorSpeed(cam, a);
    case LibraryFunction::kQzGetZoomSpeed:
      return QzGetZoomSpeed(cam);
    case LibraryFunction::kQzGetExternalLight:
      return QzGetExternalLight(cam);
    case LibraryFunction::kQzGetAlarmOutput:
      return QzGetAlarmOutput(cam);
    case LibraryFunction::kQzGetElectronicZoom:
      return QzGetElectronicZoom(cam);
    case LibraryFunction::kQzGetNoiseReduction:
      return QzGetNoiseReduction(cam);
    case LibraryFunction::kQzGet4ByteStatus:
      return QzGet4ByteStatus(cam);
    case LibraryFunction::kQzGet2ByteStatus:
      return QzGet2ByteStatus(cam);
    case LibraryFunction::kQzSetLed:
      return QzSetLed(cam, a);
    case LibraryFunction::kQzSetOnScreen:
      return QzSetOnScreen(cam, a);
    case LibraryFunction::kQzGetBacklight:
      return QzGetBacklight(cam);
    case LibraryFunction::kQzSetBackLight:
      return QzSetBackLight(cam, a);
    case LibraryFunction::kQzGetAEVal:
      return QzGetAEVal(cam);
    case LibraryFunction::kQzGetIris:
      return QzGetIris(cam);
    case LibraryFunction::kQzGetAGCGain:
      return QzGetAGCGain(cam);
    case LibraryFunction::kQzGetShutterSpeed:
      return QzGetShutterSpeed(cam);
    case LibraryFunction::kQzSetMotorSpeed:
      return QzSetMotorSpeed(cam, a, b);
    case LibraryFunction::kQzSetZoomSpeed:
      return QzSetZoomSpeed(cam, a);
    case LibraryFunction::kQzSetIrCutFilter:
      return QzSetIrCutFilter(cam, a);
    case LibraryFunction::kQzSetIrLight:
      return QzSetIrLight(cam, a);
  }
  return 0;
}

}  // namespace qtr90x
