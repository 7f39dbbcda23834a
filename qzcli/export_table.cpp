#include "qzcli/export_table.h"

#include <array>
#include <utility>

#include "camlink/qzlink.h"

namespace qzcli {
namespace {

template <typename R, typename... A>
constexpr int ArityOf(R (*)(A...)) {
  return sizeof...(A);
}

template <typename R, typename... A, size_t... I>
int32_t CallWith(R (*fn)(A...), const int32_t* args, std::index_sequence<I...>) {
  return static_cast<int32_t>(fn(static_cast<A>(args[I])...));
}

// Calls an integer-only export with its arguments from an array.
template <auto Fn>
int32_t Invoke(const int32_t* args) {
  return CallWith(Fn, args, std::make_index_sequence<ArityOf(Fn)>{});
}

#define COMMAND(fn, names)                                         \
  ExportEntry {                                                    \
#fn, ArityOf(&fn), ExportKind::kCommand, names, &Invoke < &fn> \
  }
#define QUERY(fn, names)                                         \
  ExportEntry {                                                  \
#fn, ArityOf(&fn), ExportKind::kQuery, names, &Invoke < &fn> \
  }

const ExportEntry kExports[] = {
    {"QzOpen", 5, ExportKind::kOpen, "port, baud rate, byte size, parity, stop bits", nullptr},
    QUERY(QzClose, ""),
    COMMAND(QzSendCmd, "command identifier, camera address"),
    {"QzGetCmdstr", 2, ExportKind::kFrameOut, "command identifier, camera address", nullptr},
    {"QzSetManualCommand", -1, ExportKind::kBytes, "hex bytes", nullptr},
    {"QzGetLastCmdstr", 0, ExportKind::kFrameOut, "", nullptr},
    QUERY(QzGetLastCmdstrVB, ""),
    QUERY(QzPicLastCmdVB, "index"),
    {"QzGetMsg", 1, ExportKind::kFrameOut, "sequence number", nullptr},
    QUERY(QzGetMsgVB, "sequence number"),
    QUERY(QzPicMsgVB, "index"),
    {"QzGetLastError", 0, ExportKind::kLastError, "", nullptr},
    QUERY(QzGetStatus, ""),
    COMMAND(QzGet2ByteStatus, "camera address"),
    COMMAND(QzGet4ByteStatus, "camera address"),
    COMMAND(QzSetCmdMode, "camera address, mode"),
    COMMAND(QzSetCascade, "camera address, mode"),
    COMMAND(QzSetMotorSpeed, "lUnit, lMode, lSpeed"),
    COMMAND(QzGetMotorSpeed, "lUnit, lMode"),
    COMMAND(QzSetPanTilt1, "lUnit, lMode"),
    COMMAND(QzGotoHomePosition, "lUnit"),
    COMMAND(QzPedestalInitialize, "lUnit, lMode"),
    COMMAND(QzGetLimitSpeed, "lUnit, lMode"),
    COMMAND(QzGetLimitAngle, "lUnit, lMode"),
    COMMAND(QzGetGearRatio, "lUnit, lMode"),
    COMMAND(QzSetPanTilt2, "lUnit, lMode"),
    COMMAND(QzSetPTAngle2, "lUnit, lAngle1, lAngle2"),
    COMMAND(QzGetPTAngle2, "lUnit"),
    COMMAND(QzSetPTAngle1, "lUnit, lMode, lAngle1, lAngle2"),
    COMMAND(QzGetPTAngle1, "lUnit, lMode"),
    COMMAND(QzSetIRRemote, "lUnit, lMode"),
    COMMAND(QzGetExtendedOperateStatus, "lUnit"),
    COMMAND(QzGetOperateStatus, "lUnit"),
    COMMAND(QzGetUnitName, "lUnit"),
    COMMAND(QzGetRomVersion, "lUnit"),
    COMMAND(QzSetPresetMemory, "lUnit, lMemory"),
    COMMAND(QzGoToPreset, "lUnit, lMemory"),
    COMMAND(QzGetExtendPreset, "lUnit"),
    COMMAND(QzGetPresetStatus, "lUnit"),
    COMMAND(QzRemoteCommandPass, "lUnit, lMode"),
    COMMAND(QzSetLed, "lUnit, lMode"),
    COMMAND(QzSetOnScreen, "lUnit, lMode"),
    COMMAND(QzSetTitleString, "lUnit, lx, ly, lCharacter"),
    COMMAND(QzGetTitleString, "lUnit, lx, ly"),
    COMMAND(QzSetDate, "lUnit, lYear, lMoon, lDay"),
    COMMAND(QzGetDate, "lUnit"),
    COMMAND(QzSetTime, "lUnit, lHour, lMinutes, lSecond"),
    COMMAND(QzGetTime, "lUnit"),
    COMMAND(QzGetCameraTime, "lUnit"),
    COMMAND(QzGetPTTime, "lUnit"),
    COMMAND(QzSetDefault, "lUnit"),
    COMMAND(QzSetNotify, "lUnit, lMode"),
    COMMAND(QzSetGlobalNotify, "lUnit, lMode"),
    COMMAND(QzSetCameraPower, "lUnit, lMode"),
    COMMAND(QzSetFocusMode, "lUnit, lMode"),
    COMMAND(QzSetZooming, "lUnit, lMode"),
    COMMAND(QzSetZoomPosition, "lUnit, lPos"),
    COMMAND(QzGetZoomPosition, "lUnit"),
    COMMAND(QzSetBackLight, "lUnit, lMode"),
    COMMAND(QzSetExposed, "lUnit, lMode"),
    COMMAND(QzSetAELock, "lUnit, lMode"),
    COMMAND(QzSetShutterSpeedx, "lUnit, lSpeed"),
    COMMAND(QzGetShutterSpeed, "lUnit"),
    COMMAND(QzSetAGCGain, "lUnit, lGain"),
    COMMAND(QzGetAGCGain, "lUnit"),
    COMMAND(QzSetIris, "lUnit, lIris"),
    COMMAND(QzGetIris, "lUnit"),
    COMMAND(QzSetAEVal, "lUnit, lAEVal"),
    COMMAND(QzGetAEVal, "lUnit"),
    COMMAND(QzSetWhiteBalance, "lUnit, lMode"),
    COMMAND(QzSetWhiteBalanceMx, "lUnit, lGain"),
    COMMAND(QzGetWhiteBalance, "lUnit"),
    COMMAND(QzSetShutterSpeed, "lUnit, lMode"),
    COMMAND(QzSetFading, "lUnit, lMode"),
    COMMAND(QzCameraReset, "lUnit"),
    COMMAND(QzGetZoomRatio, "lUnit"),
    COMMAND(QzGetCCDSize, "lUnit"),
    COMMAND(QzSetFocusPosition, "lUnit, lFocusPos"),
    COMMAND(QzGetFocusPosition, "lUnit"),
    COMMAND(QzSetOnePushAF, "lUnit"),
    COMMAND(QzGetFocusRange, "lUnit"),
    COMMAND(QzSetZoomPosition4, "lUnit, lPos"),
    COMMAND(QzGetZoomPosition4, "lUnit"),
    COMMAND(QzSetZoomSpeed, "lUnit, lSpeed"),
    COMMAND(QzGetZoomSpeed, "lUnit"),
    COMMAND(QzGetZoomMax, "lUnit"),
    COMMAND(QzGetCameraVersion, "lUnit, lMode"),
    COMMAND(QzGetPedestalModel, "lUnit"),
    COMMAND(QzGetCameraModel, "lUnit"),
    COMMAND(QzSetPTAngle2ForQTR3, "lUnit, lAngle1, lAngle2"),
    COMMAND(QzGetPTAngle2ForQTR3, "lUnit"),
    COMMAND(QzSetQTR3Pan, "lUnit, lAngle"),
    COMMAND(QzGetQTR3Pan, "lUnit"),
    COMMAND(QzSetQTR3Tilt, "lUnit, lAngle"),
    COMMAND(QzGetQTR3Tilt, "lUnit"),
    COMMAND(QzSetAlarmOutput, "lUnit, lMode"),
    COMMAND(QzGetAlarmOutput, "lUnit"),
    COMMAND(QzSetIrLight, "lUnit, lMode"),
    COMMAND(QzGetIrLight, "lUnit"),
    COMMAND(QzSetExternalLight, "lUnit, lMode"),
    COMMAND(QzGetExternalLight, "lUnit"),
    COMMAND(QzGetLimitAngleForQTR3, "lUnit, lMode"),
    COMMAND(QzSetIrCutFilter, "lUnit, lMode"),
    COMMAND(QzGetIrCutFilter, "lUnit"),
    COMMAND(QzSetElectronicZoom, "lUnit, lMode"),
    COMMAND(QzGetElectronicZoom, "lUnit"),
    COMMAND(QzSetNoiseReduction, "lUnit, lMode"),
    COMMAND(QzGetNoiseReduction, "lUnit"),
    COMMAND(QzSetSensorInputDetectProp, "lUnit, lMode"),
    COMMAND(QzGetSensorInputTerminalStat, "lUnit"),
    COMMAND(QzGetSensorInputDetectProp, "lUnit"),
    COMMAND(QzGetBacklight, "lUnit"),
};

#undef COMMAND
#undef QUERY

// The names that the Windows export list decorates.
constexpr std::pair<std::string_view, std::string_view> kDecoratedNames[] = {
    {"_QzGetStatus@0", "QzGetStatus"},
    {"_QzGetLastError@4", "QzGetLastError"},
    {"_QzGet2ByteStatus@4", "QzGet2ByteStatus"},
};

}  // namespace

std::span<const ExportEntry> Exports() {
  return kExports;
}

const ExportEntry* FindExport(std::string_view name) {
  for (const auto& [decorated, plain] : kDecoratedNames) {
    if (name == decorated) {
      name = plain;
    }
  }
  for (const ExportEntry& entry : kExports) {
    if (entry.name == name) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace qzcli
