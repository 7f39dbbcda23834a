#include "core/library_call.h"

namespace qtr90x {

LibraryCall MakeCall(LibraryFunction function, int camera) {
  return LibraryCall{function, camera, 0, {}};
}

LibraryCall MakeCall(LibraryFunction function, int camera, int a) {
  return LibraryCall{function, camera, 1, {a, 0, 0}};
}

LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b) {
  return LibraryCall{function, camera, 2, {a, b, 0}};
}

LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b, int c) {
  return LibraryCall{function, camera, 3, {a, b, c}};
}

std::string_view LibraryFunctionName(LibraryFunction function) {
  switch (function) {
    case LibraryFunction::kQzSetCascade:
      return "QzSetCascade";
    case LibraryFunction::kQzSetCmdMode:
      return "QzSetCmdMode";
    case LibraryFunction::kQzSetNotify:
      return "QzSetNotify";
    case LibraryFunction::kQzGetExtendedOperateStatus:
      return "QzGetExtendedOperateStatus";
    case LibraryFunction::kQzSetCameraPower:
      return "QzSetCameraPower";
    case LibraryFunction::kQzGetUnitName:
      return "QzGetUnitName";
    case LibraryFunction::kQzGetExtendPreset:
      return "QzGetExtendPreset";
    case LibraryFunction::kQzPedestalInitialize:
      return "QzPedestalInitialize";
    case LibraryFunction::kQzSetDate:
      return "QzSetDate";
    case LibraryFunction::kQzSetTime:
      return "QzSetTime";
    case LibraryFunction::kQzGetIrLight:
      return "QzGetIrLight";
    case LibraryFunction::kQzGetIrCutFilter:
      return "QzGetIrCutFilter";
    case LibraryFunction::kQzSetSensorInputDetectProp:
      return "QzSetSensorInputDetectProp";
    case LibraryFunction::kQzGetSensorInputTerminalStat:
      return "QzGetSensorInputTerminalStat";
    case LibraryFunction::kQzGetMotorSpeed:
      return "QzGetMotorSpeed";
    case LibraryFunction::kQzGetZoomSpeed:
      return "QzGetZoomSpeed";
    case LibraryFunction::kQzGetExternalLight:
      return "QzGetExternalLight";
    case LibraryFunction::kQzGetAlarmOutput:
      return "QzGetAlarmOutput";
    case LibraryFunction::kQzGetElectronicZoom:
      return "QzGetElectronicZoom";
    case LibraryFunction::kQzGetNoiseReduction:
      return "QzGetNoiseReduction";
    case LibraryFunction::kQzGet4ByteStatus:
      return "QzGet4ByteStatus";
    case LibraryFunction::kQzGet2ByteStatus:
      return "QzGet2ByteStatus";
    case LibraryFunction::kQzSetLed:
      return "QzSetLed";
    case LibraryFunction::kQzSetOnScreen:
      return "QzSetOnScreen";
    case LibraryFunction::kQzGetBacklight:
      return "QzGetBacklight";
    case LibraryFunction::kQzSetBackLight:
      return "QzSetBackLight";
    case LibraryFunction::kQzGetAEVal:
      return "QzGetAEVal";
    case LibraryFunction::kQzGetIris:
      return "QzGetIris";
    case LibraryFunction::kQzGetAGCGain:
      return "QzGetAGCGain";
    case LibraryFunction::kQzGetShutterSpeed:
      return "QzGetShutterSpeed";
    case LibraryFunction::kQzSetMotorSpeed:
      return "QzSetMotorSpeed";
    case LibraryFunction::kQzSetZoomSpeed:
      return "QzSetZoomSpeed";
    case LibraryFunction::kQzSetIrCutFilter:
      return "QzSetIrCutFilter";
    case LibraryFunction::kQzSetIrLight:
      return "QzSetIrLight";
  }
  return "?";
}

std::string DescribeCall(const LibraryCall& call) {
  std::string text(LibraryFunctionName(call.function));
  text += '(';
  text += std::to_string(call.camera);
  for (int i = 0; i < call.argCount && i < static_cast<int>(call.args.size()); ++i) {
    text += ", ";
    text += std::to_string(call.args[static_cast<std::size_t>(i)]);
  }
  text += ')';
  return text;
}

}  // namespace qtr90x
