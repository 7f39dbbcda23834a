// The type description against the published member table: names, DISPIDs
// and parameter names, as printed in IDL.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "axcontrol/type_library.h"

namespace qzaxctrl {
namespace {

using namespace qzauto;

// Every method from GetLastError on, in interface order, with its
// parameters; their DISPIDs run from 0x6003000C upwards.
const char* const kMethods[] = {
    "GetLastError(lError)",
    "GetPicData(lindex)",
    "GetLastCmdStr()",
    "GetPicLastCmd(lindex)",
    "GetCommModemStatus()",
    "SetCameraPower(lUnit,lMode)",
    "SetFocusMode(lUnit,lMode)",
    "SetFocusPosition(lUnit,lFocusPos)",
    "GetFocusPosition(lUnit)",
    "SetOnePushAF(lUnit)",
    "GetFocusRange(lUnit)",
    "SetZooming(lUnit,lMode)",
    "SetZoomPosition(lUnit,lPos)",
    "GetZoomPosition(lUnit)",
    "SetZoomPosition4(lUnit,lPos)",
    "GetZoomPosition4(lUnit)",
    "SetZoomSpeed(lUnit,lSpeed)",
    "GetZoomSpeed(lUnit)",
    "GetZoomMax(lUnit)",
    "SetBackLight(lUnit,lMode)",
    "SetExposed(lUnit,lMode)",
    "SetAELock(lUnit,lMode)",
    "SetShutterSpeedx(lUnit,lSpeed)",
    "GetShutterSpeed(lUnit)",
    "SetShutterSpeed(lUnit,lMode)",
    "SetAGCGain(lUnit,lGain)",
    "GetAGCGain(lUnit)",
    "SetIris(lUnit,lIris)",
    "GetIris(lUnit)",
    "SetAEVal(lUnit,lAEVal)",
    "GetAEVal(lUnit)",
    "SetWhiteBalance(lUnit,lMode)",
    "SetWhiteBalanceMx(lUnit,lGain)",
    "GetWhiteBalance(lUnit)",
    "SetFading(lUnit,lMode)",
    "CameraReset(lUnit)",
    "GetZoomRatio(lUnit)",
    "GetCCDSize(lUnit)",
    "GetCameraVersion(lUnit,lMode)",
    "SetMotorSpeed(lUnit,lMode,lSpeed)",
    "GetMotorSpeed(lUnit,lMode)",
    "SetPanTilt1(lUnit,lMode)",
    "GotoHomePosition(lUnit)",
    "PedestalInitialize(lUnit,lMode)",
    "GetLimitSpeed(lUnit,lMode)",
    "GetGearRatio(lUnit,lMode)",
    "GetLimitAngle(lUnit,lMode)",
    "SetPanTilt2(lUnit,lMode)",
    "SetPTAngle1(lUnit,lMode,lAngle1,lAngle2)",
    "GetPTAngle1(lUnit,lMode)",
    "SetPTAngle2(lUnit,lAngle1,lAngle2)",
    "GetPTAngle2(lUnit)",
    "SetIRRemote(lUnit,lMode)",
    "GetOperateStatus(lUnit)",
    "GetExtendedOperateStatus(lUnit)",
    "GetUnitName(lUnit)",
    "GetRomVersion(lUnit)",
    "SetPresetMemory(lUnit,lMemory)",
    "GoToPreset(lUnit,lMemory)",
    "GetPresetStatus(lUnit)",
    "GetExtendPreset(lUnit)",
    "RemoteCommandPass(lUnit,lMode)",
    "SetLed(lUnit,lMode)",
    "SetCascade(lUnit,lMode)",
    "SetCmdMode(lUnit,lMode)",
    "SetOnScreen(lUnit,lMode)",
    "SetTitleString(lUnit,lx,ly,lCharacter)",
    "GetTitleString(lUnit,lx,ly)",
    "SetDate(lUnit,lYear,lMoon,lDay)",
    "GetDate(lUnit)",
    "SetTime(lUnit,lHour,lMinutes,lSecond)",
    "GetTime(lUnit)",
    "GetCameraTime(lUnit)",
    "GetPTTime(lUnit)",
    "SetDefault(lUnit)",
    "SetNotify(lUnit,lMode)",
    "SetGlobalNotify(lUnit,lMode)",
    "GetPedestalModel(lUnit)",
    "GetCameraModel(lUnit)",
    "SetDomeData(lUnit,lDome)",
    "GetDomeData(lUnit)",
    "SetElectronicZoom(lUnit,lMode)",
    "GetElectronicZoom(lUnit)",
    "SetAlarmOutput(lUnit,lMode)",
    "GetAlarmOutput(lUnit)",
    "SetExtSensorDetect(lUnit,lMode)",
    "GetExtSensorDetect(lUnit)",
    "GetExtSensorInput(lUnit)",
    "SetIRLight(lUnit,lMode)",
    "GetIRLight(lUnit)",
    "SetExtLightMode(lUnit,lMode)",
    "GetExtLightMode(lUnit)",
    "SetIRCutFilter(lUnit,lMode)",
    "GetIRCutFilter(lUnit)",
    "SetNoiseReduction(lUnit,lMode)",
    "GetNoiseReduction(lUnit)",
    "GetOperateStatus3(lUnit)",
    "GetOperateStatus4(lUnit)",
};

std::string Signature(const FuncDesc& f) {
  std::string text = f.name + "(";
  for (size_t i = 0; i < f.params.size(); ++i)
    text += (i ? "," : "") + f.params[i].name;
  return text + ")";
}

std::string IdLine(DISPID dispid) {
  char text[32];
  std::snprintf(text, sizeof text, "[id(0x%08x)", static_cast<uint32_t>(dispid));
  return text;
}

TEST(TypeLibraryTest, MembersMatchThePublishedTable) {
  const InterfaceDesc& iface = QzlinkCtrlInterface();
  const std::string idl = PrintIdl(QzlinkAxCtrlLibrary());
  struct Fixed {
    const char* signature;
    DISPID dispid;
  };
  std::vector<Fixed> expected = {
      {"ERRORCODE()", 0x68030000},
      {"ERRORCODE(New_ErrorCode)", 0x68030000},
      {"Terminate()", 0x60030008},
      {"CommOpen(prPort,prSpeed,prBytesize,prParity,prStopbit)", 0x60030009},
      {"CommClose()", 0x6003000A}};
  for (size_t i = 0; i < std::size(kMethods); ++i) {
    expected.push_back({kMethods[i], static_cast<DISPID>(0x6003000C + i)});
  }
  EXPECT_EQ(expected.back().dispid, 0x6003006D);
  ASSERT_EQ(iface.funcs.size(), expected.size());
  size_t methods = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    const FuncDesc& f = iface.funcs[i];
    EXPECT_EQ(Signature(f), expected[i].signature);
    EXPECT_EQ(f.dispid, expected[i].dispid) << f.name;
    methods += f.kind == InvokeKind::Method ? 1 : 0;
    // The IDL carries the same id and name on consecutive lines.
    const std::string entry = IdLine(f.dispid);
    const size_t at = idl.find(entry + (f.kind == InvokeKind::PropertyPut ? ", propput" : ""));
    ASSERT_NE(at, std::string::npos) << f.name;
    EXPECT_NE(idl.find("HRESULT " + f.name + "(", at), std::string::npos) << f.name;
  }
  EXPECT_EQ(methods, 101u);
}

TEST(TypeLibraryTest, ResultTypesAndEvents) {
  const InterfaceDesc& iface = QzlinkCtrlInterface();
  const std::string idl = PrintIdl(QzlinkAxCtrlLibrary());
  EXPECT_NE(idl.find("HRESULT GetPicData([in] long lindex, [out, retval] short* );"),
            std::string::npos);
  EXPECT_NE(idl.find("HRESULT GetPicLastCmd([in] long lindex, [out, retval] short* );"),
            std::string::npos);
  EXPECT_NE(idl.find("HRESULT GetLastError([in, out] long* lError, [out, retval] long* );"),
            std::string::npos);
  EXPECT_EQ(iface.Find(0x60030008, DISPATCH_METHOD)->resultVt, VT_EMPTY);  // Terminate
  EXPECT_NE(idl.find("[id(0x00000001)]\n        void NotifyRxEvent([in] long wParam, [in] long "
                     "lBytes);"),
            std::string::npos);
  EXPECT_NE(idl.find("[id(0x00000002)]\n        void AckRxEvent([in] long wParam, [in] long "
                     "lBytes);"),
            std::string::npos);
  EXPECT_NE(idl.find("[default, source] dispinterface __QzlinkCtrl;"), std::string::npos);
  EXPECT_NE(idl.find("library QzlinkAXCtrlE"), std::string::npos);
}

// The Windows build compiles its type library from an IDL of its own: the
// library, the class and both interfaces keep the ids of this one.
TEST(TypeLibraryTest, WindowsIdlHasTheSameIds) {
  std::ifstream file(QZ_WINDOWS_IDL_TEMPLATE);
  ASSERT_TRUE(file) << QZ_WINDOWS_IDL_TEMPLATE;
  std::stringstream text;
  text << file.rdbuf();
  const std::string idl = text.str();
  const struct {
    const GUID& id;
    const char* declaration;
  } types[] = {{kLibId, "library QzlinkAXCtrlE"},
               {kIidQzlinkCtrl, "interface _QzlinkCtrl : IDispatch"},
               {kIidQzlinkCtrlEvents, "dispinterface __QzlinkCtrl"},
               {kClsidQzlinkCtrl, "coclass QzlinkCtrl"}};
  for (const auto& type : types) {
    const std::string guid = GuidToString(type.id);
    const size_t at = idl.find("[uuid(" + guid.substr(1, guid.size() - 2) + ")");
    ASSERT_NE(at, std::string::npos) << type.declaration;
    // Declared under these attributes, before the next type's.
    EXPECT_LT(idl.find(type.declaration, at), idl.find("[uuid(", at + 1)) << type.declaration;
  }
}

}  // namespace
}  // namespace qzaxctrl
