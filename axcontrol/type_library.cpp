// The control's type library as data.
#include "axcontrol/type_library.h"

#include <string>

namespace qzaxctrl {

using namespace qzauto;

const GUID kLibId = {0x44AD5DFE, 0x71E3, 0x49CC, {0x82, 0x49, 0x91, 0xC7, 0xAB, 0xAA, 0x61, 0x51}};
const CLSID kClsidQzlinkCtrl = {
    0x825644D5, 0xCB9F, 0x413F, {0xAC, 0x85, 0x28, 0x89, 0x43, 0x29, 0x7C, 0xC9}};
const IID kIidQzlinkCtrl = {
    0x4A047980, 0x830D, 0x4FDD, {0x80, 0xF4, 0x74, 0xD3, 0xEA, 0x3A, 0x14, 0xC2}};
const IID kIidQzlinkCtrlEvents = {
    0x05ACEA16, 0x1207, 0x4955, {0x97, 0x0F, 0xFE, 0x7F, 0xEA, 0xA5, 0x1E, 0x59}};

// In interface order. The library exports the IR light and IR cut filter
// functions as QzSetIrLight, QzGetIrLight, QzSetIrCutFilter and
// QzGetIrCutFilter; those four methods call them under that spelling.
const CameraMethod kCameraMethods[] = {
    {"SetCameraPower", "lUnit,lMode", nullptr},
    {"SetFocusMode", "lUnit,lMode", nullptr},
    {"SetFocusPosition", "lUnit,lFocusPos", nullptr},
    {"GetFocusPosition", "lUnit", nullptr},
    {"SetOnePushAF", "lUnit", nullptr},
    {"GetFocusRange", "lUnit", nullptr},
    {"SetZooming", "lUnit,lMode", nullptr},
    {"SetZoomPosition", "lUnit,lPos", nullptr},
    {"GetZoomPosition", "lUnit", nullptr},
    {"SetZoomPosition4", "lUnit,lPos", nullptr},
    {"GetZoomPosition4", "lUnit", nullptr},
    {"SetZoomSpeed", "lUnit,lSpeed", nullptr},
    {"GetZoomSpeed", "lUnit", nullptr},
    {"GetZoomMax", "lUnit", nullptr},
    {"SetBackLight", "lUnit,lMode", nullptr},
    {"SetExposed", "lUnit,lMode", nullptr},
    {"SetAELock", "lUnit,lMode", nullptr},
    {"SetShutterSpeedx", "lUnit,lSpeed", nullptr},
    {"GetShutterSpeed", "lUnit", nullptr},
    {"SetShutterSpeed", "lUnit,lMode", nullptr},
    {"SetAGCGain", "lUnit,lGain", nullptr},
    {"GetAGCGain", "lUnit", nullptr},
    {"SetIris", "lUnit,lIris", nullptr},
    {"GetIris", "lUnit", nullptr},
    {"SetAEVal", "lUnit,lAEVal", nullptr},
    {"GetAEVal", "lUnit", nullptr},
    {"SetWhiteBalance", "lUnit,lMode", nullptr},
    {"SetWhiteBalanceMx", "lUnit,lGain", nullptr},
    {"GetWhiteBalance", "lUnit", nullptr},
    {"SetFading", "lUnit,lMode", nullptr},
    {"CameraReset", "lUnit", nullptr},
    {"GetZoomRatio", "lUnit", nullptr},
    {"GetCCDSize", "lUnit", nullptr},
    {"GetCameraVersion", "lUnit,lMode", nullptr},
    {"SetMotorSpeed", "lUnit,lMode,lSpeed", nullptr},
    {"GetMotorSpeed", "lUnit,lMode", nullptr},
    {"SetPanTilt1", "lUnit,lMode", nullptr},
    {"GotoHomePosition", "lUnit", nullptr},
    {"PedestalInitialize", "lUnit,lMode", nullptr},
    {"GetLimitSpeed", "lUnit,lMode", nullptr},
    {"GetGearRatio", "lUnit,lMode", nullptr},
    {"GetLimitAngle", "lUnit,lMode", nullptr},
    {"SetPanTilt2", "lUnit,lMode", nullptr},
    {"SetPTAngle1", "lUnit,lMode,lAngle1,lAngle2", nullptr},
    {"GetPTAngle1", "lUnit,lMode", nullptr},
    {"SetPTAngle2", "lUnit,lAngle1,lAngle2", nullptr},
    {"GetPTAngle2", "lUnit", nullptr},
    {"SetIRRemote", "lUnit,lMode", nullptr},
    {"GetOperateStatus", "lUnit", nullptr},
    {"GetExtendedOperateStatus", "lUnit", nullptr},
    {"GetUnitName", "lUnit", nullptr},
    {"GetRomVersion", "lUnit", nullptr},
    {"SetPresetMemory", "lUnit,lMemory", nullptr},
    {"GoToPreset", "lUnit,lMemory", nullptr},
    {"GetPresetStatus", "lUnit", nullptr},
    {"GetExtendPreset", "lUnit", nullptr},
    {"RemoteCommandPass", "lUnit,lMode", nullptr},
    {"SetLed", "lUnit,lMode", nullptr},
    {"SetCascade", "lUnit,lMode", nullptr},
    {"SetCmdMode", "lUnit,lMode", nullptr},
    {"SetOnScreen", "lUnit,lMode", nullptr},
    {"SetTitleString", "lUnit,lx,ly,lCharacter", nullptr},
    {"GetTitleString", "lUnit,lx,ly", nullptr},
    {"SetDate", "lUnit,lYear,lMoon,lDay", nullptr},
    {"GetDate", "lUnit", nullptr},
    {"SetTime", "lUnit,lHour,lMinutes,lSecond", nullptr},
    {"GetTime", "lUnit", nullptr},
    {"GetCameraTime", "lUnit", nullptr},
    {"GetPTTime", "lUnit", nullptr},
    {"SetDefault", "lUnit", nullptr},
    {"SetNotify", "lUnit,lMode", nullptr},
    {"SetGlobalNotify", "lUnit,lMode", nullptr},
    {"GetPedestalModel", "lUnit", nullptr},
    {"GetCameraModel", "lUnit", nullptr},
    {"SetDomeData", "lUnit,lDome", nullptr},
    {"GetDomeData", "lUnit", nullptr},
    {"SetElectronicZoom", "lUnit,lMode", nullptr},
    {"GetElectronicZoom", "lUnit", nullptr},
    {"SetAlarmOutput", "lUnit,lMode", nullptr},
    {"GetAlarmOutput", "lUnit", nullptr},
    {"SetExtSensorDetect", "lUnit,lMode", nullptr},
    {"GetExtSensorDetect", "lUnit", nullptr},
    {"GetExtSensorInput", "lUnit", nullptr},
    {"SetIRLight", "lUnit,lMode", "QzSetIrLight"},
    {"GetIRLight", "lUnit", "QzGetIrLight"},
    {"SetExtLightMode", "lUnit,lMode", nullptr},
    {"GetExtLightMode", "lUnit", nullptr},
    {"SetIRCutFilter", "lUnit,lMode", "QzSetIrCutFilter"},
    {"GetIRCutFilter", "lUnit", "QzGetIrCutFilter"},
    {"SetNoiseReduction", "lUnit,lMode", nullptr},
    {"GetNoiseReduction", "lUnit", nullptr},
    {"GetOperateStatus3", "lUnit", nullptr},
    {"GetOperateStatus4", "lUnit", nullptr},
};
const size_t kCameraMethodCount = sizeof kCameraMethods / sizeof kCameraMethods[0];

namespace {

constexpr DISPID kDispidErrorCode = 0x68030000;
constexpr DISPID kDispidTerminate = 0x60030008;
constexpr DISPID kDispidFirstMethod = 0x6003000C;  // GetLastError, then one per method

std::vector<ParamDesc> Params(const char* list) {
  std::vector<ParamDesc> params;
  std::string name;
  for (const char* p = list;; ++p) {
    if (*p == ',' || *p == '\0') {
      if (!name.empty())
        params.push_back({name, VT_I4});
      name.clear();
      if (*p == '\0')
        break;
    } else {
      name += *p;
    }
  }
  return params;
}

InterfaceDesc BuildInterface() {
  InterfaceDesc iface{"_QzlinkCtrl",
                      kIidQzlinkCtrl,
                      TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDUAL |
                          TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
                      false,
                      {}};
  auto& f = iface.funcs;
  f.push_back({"ERRORCODE", kDispidErrorCode, InvokeKind::PropertyGet, {}, VT_I4});
  f.push_back({"ERRORCODE",
               kDispidErrorCode,
               InvokeKind::PropertyPut,
               {{"New_ErrorCode", VT_I4}},
               VT_EMPTY});
  f.push_back({"Terminate", kDispidTerminate, InvokeKind::Method, {}, VT_EMPTY});
  f.push_back({"CommOpen", kDispidTerminate + 1, InvokeKind::Method,
               Params("prPort,prSpeed,prBytesize,prParity,prStopbit"), VT_I4});
  f.push_back({"CommClose", kDispidTerminate + 2, InvokeKind::Method, {}, VT_I4});
  DISPID next = kDispidFirstMethod;
  f.push_back({"GetLastError", next++, InvokeKind::Method, {{"lError", VT_BYREF | VT_I4}}, VT_I4});
  f.push_back({"GetPicData", next++, InvokeKind::Method, Params("lindex"), VT_I2});
  f.push_back({"GetLastCmdStr", next++, InvokeKind::Method, {}, VT_I4});
  f.push_back({"GetPicLastCmd", next++, InvokeKind::Method, Params("lindex"), VT_I2});
  f.push_back({"GetCommModemStatus", next++, InvokeKind::Method, {}, VT_I4});
  for (size_t i = 0; i < kCameraMethodCount; ++i) {
    f.push_back({kCameraMethods[i].name, next++, InvokeKind::Method,
                 Params(kCameraMethods[i].params), VT_I4});
  }
  return iface;
}

InterfaceDesc BuildEventInterface() {
  return {
      "__QzlinkCtrl",
      kIidQzlinkCtrlEvents,
      TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
      true,
      {{"NotifyRxEvent", kDispidNotifyRxEvent, InvokeKind::Method, Params("wParam,lBytes"),
        VT_EMPTY},
       {"AckRxEvent", kDispidAckRxEvent, InvokeKind::Method, Params("wParam,lBytes"), VT_EMPTY}}};
}

std::vector<std::string> BuildEntryNames() {
  std::vector<std::string> names = {
      "QzOpen",         "QzClose",     "QzGetLastError", "QzGetLastCmdstrVB",
      "QzPicLastCmdVB", "QzGetStatus", "QzGetMsgVB",     "QzPicMsgVB"};
  for (size_t i = 0; i < kCameraMethodCount; ++i) {
    const CameraMethod& m = kCameraMethods[i];
    names.push_back(m.exportName != nullptr ? m.exportName : std::string("Qz") + m.name);
  }
  return names;
}

const std::vector<std::string>& EntryNames() {
  static const std::vector<std::string> names = BuildEntryNames();
  return names;
}

}  // namespace

const char* EntryName(size_t entry) {
  return entry < EntryNames().size() ? EntryNames()[entry].c_str() : "";
}

size_t EntryCount() {
  return EntryNames().size();
}

const InterfaceDesc& QzlinkCtrlInterface() {
  static const InterfaceDesc iface = BuildInterface();
  return iface;
}

const InterfaceDesc& QzlinkCtrlEventInterface() {
  static const InterfaceDesc iface = BuildEventInterface();
  return iface;
}

const LibraryDesc& QzlinkAxCtrlLibrary() {
  static const LibraryDesc library{"QzlinkAXCtrlE",
                                   kLibId,
                                   1,
                                   0,
                                   0x409,
                                   {&QzlinkCtrlInterface(), &QzlinkCtrlEventInterface()},
                                   {{"QzlinkCtrl", kClsidQzlinkCtrl, TYPEFLAG_FCONTROL,
                                     &QzlinkCtrlInterface(), &QzlinkCtrlEventInterface()}}};
  return library;
}

}  // namespace qzaxctrl
