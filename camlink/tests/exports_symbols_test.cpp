// The library exports exactly the 112 designed functions, and the Windows
// export list names them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

// The exported names as designed; three carry their Windows decoration.
const std::set<std::string> kDesignedNames = {
    "QzOpen",
    "QzClose",
    "QzSendCmd",
    "QzGetCmdstr",
    "QzSetManualCommand",
    "QzGetLastCmdstr",
    "QzGetLastCmdstrVB",
    "QzPicLastCmdVB",
    "QzGetMsg",
    "QzGetMsgVB",
    "QzPicMsgVB",
    "_QzGetLastError@4",
    "_QzGetStatus@0",
    "_QzGet2ByteStatus@4",
    "QzGet4ByteStatus",
    "QzSetCmdMode",
    "QzSetCascade",
    "QzSetMotorSpeed",
    "QzGetMotorSpeed",
    "QzSetPanTilt1",
    "QzGotoHomePosition",
    "QzPedestalInitialize",
    "QzGetLimitSpeed",
    "QzGetLimitAngle",
    "QzGetGearRatio",
    "QzSetPanTilt2",
    "QzSetPTAngle2",
    "QzGetPTAngle2",
    "QzSetPTAngle1",
    "QzGetPTAngle1",
    "QzSetIRRemote",
    "QzGetExtendedOperateStatus",
    "QzGetOperateStatus",
    "QzGetUnitName",
    "QzGetRomVersion",
    "QzSetPresetMemory",
    "QzGoToPreset",
    "QzGetExtendPreset",
    "QzGetPresetStatus",
    "QzRemoteCommandPass",
    "QzSetLed",
    "QzSetOnScreen",
    "QzSetTitleString",
    "QzGetTitleString",
    "QzSetDate",
    "QzGetDate",
    "QzSetTime",
    "QzGetTime",
    "QzGetCameraTime",
    "QzGetPTTime",
    "QzSetDefault",
    "QzSetNotify",
    "QzSetGlobalNotify",
    "QzSetCameraPower",
    "QzSetFocusMode",
    "QzSetZooming",
    "QzSetZoomPosition",
    "QzGetZoomPosition",
    "QzSetBackLight",
    "QzSetExposed",
    "QzSetAELock",
    "QzSetShutterSpeedx",
    "QzGetShutterSpeed",
    "QzSetAGCGain",
    "QzGetAGCGain",
    "QzSetIris",
    "QzGetIris",
    "QzSetAEVal",
    "QzGetAEVal",
    "QzSetWhiteBalance",
    "QzSetWhiteBalanceMx",
    "QzGetWhiteBalance",
    "QzSetShutterSpeed",
    "QzSetFading",
    "QzCameraReset",
    "QzGetZoomRatio",
    "QzGetCCDSize",
    "QzSetFocusPosition",
    "QzGetFocusPosition",
    "QzSetOnePushAF",
    "QzGetFocusRange",
    "QzSetZoomPosition4",
    "QzGetZoomPosition4",
    "QzSetZoomSpeed",
    "QzGetZoomSpeed",
    "QzGetZoomMax",
    "QzGetCameraVersion",
    "QzGetPedestalModel",
    "QzGetCameraModel",
    "QzSetPTAngle2ForQTR3",
    "QzGetPTAngle2ForQTR3",
    "QzSetQTR3Pan",
    "QzGetQTR3Pan",
    "QzSetQTR3Tilt",
    "QzGetQTR3Tilt",
    "QzSetAlarmOutput",
    "QzGetAlarmOutput",
    "QzSetIrLight",
    "QzGetIrLight",
    "QzSetExternalLight",
    "QzGetExternalLight",
    "QzGetLimitAngleForQTR3",
    "QzSetIrCutFilter",
    "QzGetIrCutFilter",
    "QzSetElectronicZoom",
    "QzGetElectronicZoom",
    "QzSetNoiseReduction",
    "QzGetNoiseReduction",
    "QzSetSensorInputDetectProp",
    "QzGetSensorInputTerminalStat",
    "QzGetSensorInputDetectProp",
    "QzGetBacklight",
};

// "_QzGetStatus@0" is "QzGetStatus" in an ELF library.
std::string ElfName(const std::string& designed) {
  if (designed[0] != '_') {
    return designed;
  }
  return designed.substr(1, designed.find('@') - 1);
}

std::set<std::string> ElfNames() {
  std::set<std::string> names;
  for (const std::string& name : kDesignedNames) {
    names.insert(ElfName(name));
  }
  return names;
}

TEST(ExportedSymbols, EachNameBindsByDlsymUnderTheControlsFileName) {
  ASSERT_EQ(ElfNames().size(), 112u);
  void* library = dlopen(QZLINKE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const std::string& name : ElfNames()) {
    EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  }
  EXPECT_EQ(dlsym(library, "QzSetIRLight"), nullptr) << "names are case-sensitive";
  dlclose(library);
}

TEST(ExportedSymbols, TheLibraryDefinesNoOtherDynamicSymbol) {
  FILE* pipe = popen("nm -D --defined-only " QZLINK_PATH, "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> defined;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[256];
    if (std::sscanf(line, "%*s %c %255s", &type, name) == 2) {
      defined.insert(name);
    }
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(defined, ElfNames());
}

TEST(ExportedSymbols, TheWindowsExportListNamesTheDesignedNamesAndTwoAliases) {
  std::ifstream def(QZLINK_DEF_PATH);
  ASSERT_TRUE(def.good());
  std::string line;
  bool inExports = false;
  std::set<std::string> exported;
  while (std::getline(def, line)) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == ';') {
      continue;
    }
    const std::string entry = line.substr(start, line.find_first_of(" \t=", start) - start);
    if (entry == "EXPORTS") {
      inExports = true;
    } else if (inExports) {
      EXPECT_TRUE(exported.insert(entry).second) << "listed twice: " << entry;
    }
  }
  std::set<std::string> expected = kDesignedNames;
  expected.insert({"QzGetLastError", "QzGetStatus"});
  EXPECT_EQ(exported, expected);
}

}  // namespace
