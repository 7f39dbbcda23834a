// Every export's command identifiers and frames, read back on the far side of
// a pseudo-terminal: each selector value, the values outside each list, the
// value arguments and their slot limits, addresses outside 0 to 9, and the
// parameters that later builds reuse.
#include "camlink/qzlink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "camlink/command_templates.h"
#include "testsupport/link_test_support.h"

namespace qzlink {
namespace {

using testing::Bytes;
using testing::PtyPair;

using SelectorCall = int32_t (*)(int32_t unit, int32_t mode);
using UnitCall = int32_t (*)(int32_t unit);

Bytes Hex(const char* text) {
  Bytes bytes;
  unsigned value = 0;
  int used = 0;
  while (std::sscanf(text, " %2x%n", &value, &used) == 1) {
    bytes.push_back(static_cast<uint8_t>(value));
    text += used;
  }
  return bytes;
}

// The template's frame with the address character of unit.
Bytes TemplateFrame(int commandId, int unit) {
  const CommandTemplate& row = CommandTemplates()[FindTemplate(commandId)];
  Bytes frame(row.bytes, row.bytes + row.length);
  frame[2] = static_cast<uint8_t>('0' + unit);
  return frame;
}

int32_t LastErrorCode() {
  return QzGetLastError(nullptr);
}

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Valid());
    pty_.BecomeComPort(1);
    ASSERT_EQ(QzOpen(nullptr, 1, 9600, 8, 0, 0), 1);
  }
  void TearDown() override { QzClose(); }

  // Proves that nothing was written since the last frame read: the next frame
  // on the line is this one.
  void ExpectNothingSent() {
    ASSERT_EQ(QzGotoHomePosition(9), 1);
    EXPECT_EQ(pty_.ReadFrame(), TemplateFrame(69, 9));
  }

  PtyPair pty_;
};

struct SelectorCase {
  const char* name;
  SelectorCall call;
  std::vector<int> ids;  // ids[mode]; every other mode sends nothing
};

TEST_F(ExportsTest, EverySelectorValueSendsItsTemplateAndOthersSendNothing) {
  const SelectorCase cases[] = {
      {"QzSetCmdMode", QzSetCmdMode, {120, 121}},
      {"QzSetCascade", QzSetCascade, {118, 119}},
      {"QzGetMotorSpeed", QzGetMotorSpeed, {61, 62}},
      {"QzSetPanTilt1", QzSetPanTilt1, {63, 64, 65, 66, 67}},
      {"QzPedestalInitialize", QzPedestalInitialize, {70, 71}},
      {"QzGetLimitSpeed", QzGetLimitSpeed, {72, 73, 74, 75}},
      {"QzGetLimitAngle", QzGetLimitAngle, {78, 79, 80, 81}},
      {"QzGetGearRatio", QzGetGearRatio, {76, 77}},
      {"QzSetPanTilt2", QzSetPanTilt2, {82, 83, 84, 85, 86, 87, 88, 89, 90}},
      {"QzGetPTAngle1", QzGetPTAngle1, {96, 97}},
      {"QzSetIRRemote", QzSetIRRemote, {102, 103}},
      {"QzRemoteCommandPass", QzRemoteCommandPass, {113, 114}},
      {"QzSetLed", QzSetLed, {164, 165, 166, 167, 168}},
      {"QzSetOnScreen", QzSetOnScreen, {122, 123, 124, 125, 126, 127, 128, 129, 130, 131}},
      {"QzSetNotify", QzSetNotify, {155, 156}},
      {"QzSetGlobalNotify", QzSetGlobalNotify, {157, 158}},
      {"QzSetCameraPower", QzSetCameraPower, {2, 3}},
      {"QzSetFocusMode", QzSetFocusMode, {4, 5, 6, 7}},
      {"QzSetZooming", QzSetZooming, {11, 12, 13, 14, 15}},
      {"QzSetBackLight", QzSetBackLight, {22, 23}},
      {"QzSetExposed", QzSetExposed, {24, 25}},
      {"QzSetAELock", QzSetAELock, {159, 160}},
      {"QzSetWhiteBalance", QzSetWhiteBalance, {150, 151, 39, 40}},
      {"QzSetShutterSpeed", QzSetShutterSpeed, {26, 29, 30}},
      {"QzSetFading", QzSetFading, {44, 45, 46, 47}},
      {"QzGetCameraVersion", QzGetCameraVersion, {57, 58}},
      {"QzSetMotorSpeed", [](int32_t u, int32_t m) { return QzSetMotorSpeed(u, m, 0); }, {59, 60}},
      {"QzSetPTAngle1", [](int32_t u, int32_t m) { return QzSetPTAngle1(u, m, 0, 0); }, {94, 95}},
  };
  for (const SelectorCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t mode = 0; mode < c.ids.size(); ++mode) {
      SCOPED_TRACE(mode);
      EXPECT_EQ(c.call(4, static_cast<int32_t>(mode)), 1);
      Bytes expected = TemplateFrame(c.ids[mode], 4);
      std::replace(expected.begin(), expected.end(), kPlaceholder, uint8_t{'0'});
      EXPECT_EQ(pty_.ReadFrame(), expected);
    }
    for (int32_t mode : {-1, static_cast<int32_t>(c.ids.size()), 100}) {
      EXPECT_EQ(QzOpen(nullptr, 1, 9600, 8, 0, 0), 0);  // an error for the call to clear
      EXPECT_EQ(c.call(4, mode), 0) << "mode " << mode;
      EXPECT_EQ(LastErrorCode(), ERR_NONE);
    }
    ExpectNothingSent();
  }
}

TEST_F(ExportsTest, ZeroVersusAnyOtherValueSelectors) {
  const struct {
    SelectorCall call;
    int zeroId, otherId;
  } cases[] = {{QzSetAlarmOutput, 176, 177}, {QzSetExternalLight, 181, 182}};
  for (const auto& c : cases) {
    for (int32_t mode : {0, 1, 7, -1}) {
      EXPECT_EQ(c.call(2, mode), 1);
      EXPECT_EQ(pty_.ReadFrame(), TemplateFrame(mode == 0 ? c.zeroId : c.otherId, 2));
    }
  }
}

TEST_F(ExportsTest, EveryExportWithoutArgumentsSendsItsTemplate) {
  const struct {
    UnitCall call;
    int id;
  } cases[] = {
      // clang-format off
      {QzGet2ByteStatus, 196},  {QzGet4ByteStatus, 195},
      {QzGotoHomePosition, 69}, {QzGetPTAngle2, 93},
      {QzGetExtendedOperateStatus, 147}, {QzGetOperateStatus, 104},
      {QzGetUnitName, 106},     {QzGetRomVersion, 107},
      {QzGetExtendPreset, 148}, {QzGetPresetStatus, 110},
      {QzGetDate, 135},         {QzGetTime, 137},
      {QzGetCameraTime, 138},   {QzGetPTTime, 139},
      {QzSetDefault, 140},      {QzGetZoomPosition, 17},
      {QzGetShutterSpeed, 28},  {QzGetAGCGain, 32},
      {QzGetIris, 34},          {QzGetAEVal, 36},
      {QzGetWhiteBalance, 42},  {QzCameraReset, 48},
      {QzGetZoomRatio, 49},     {QzGetCCDSize, 50},
      {QzGetFocusPosition, 9},  {QzSetOnePushAF, 10},
      {QzGetFocusRange, 152},   {QzGetZoomPosition4, 19},
      {QzGetZoomSpeed, 21},     {QzGetZoomMax, 53},
      {QzGetPedestalModel, 170}, {QzGetCameraModel, 171},
      {QzGetPTAngle2ForQTR3, 99}, {QzGetQTR3Pan, 173},
      {QzGetQTR3Tilt, 175},     {QzGetAlarmOutput, 178},
      {QzGetIrLight, 180},      {QzGetExternalLight, 183},
      {QzGetIrCutFilter, 186},  {QzGetElectronicZoom, 188},
      {QzGetNoiseReduction, 190}, {QzGetSensorInputTerminalStat, 192},
      {QzGetSensorInputDetectProp, 193}, {QzGetBacklight, 194},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.call(5), 1);
    EXPECT_EQ(LastErrorCode(), ERR_NONE);
    EXPECT_EQ(pty_.ReadFrame(), TemplateFrame(c.id, 5));
  }
}

TEST_F(ExportsTest, ValueArgumentsFillTheirSlotsAndTooWideValuesSendNothing) {
  using Call = int32_t (*)();
  const struct {
    const char* name;
    Call fits;
    const char* frame;
    Call tooWide;  // nullptr where every value fits
  } cases[] = {
      {"MotorSpeed", [] { return QzSetMotorSpeed(1, 1, 0xABC); }, "FF 30 31 00 51 41 42 43 EF",
       [] { return QzSetMotorSpeed(1, 0, 0x1000); }},
      {"PTAngle2", [] { return QzSetPTAngle2(0, -100, 50); },
       "FF 30 30 00 62 46 46 39 43 30 30 33 32 EF", nullptr},
      {"PTAngle1", [] { return QzSetPTAngle1(2, 1, 0x12345, -1); },
       "FF 30 32 00 64 31 32 33 34 35 46 46 46 46 EF", nullptr},
      {"PresetMemory", [] { return QzSetPresetMemory(1, 15); }, "FF 30 31 00 89 46 EF",
       [] { return QzSetPresetMemory(1, 16); }},
      {"GoToPreset", [] { return QzGoToPreset(1, 3); }, "FF 30 31 00 8A 33 EF",
       [] { return QzGoToPreset(1, -1); }},
      {"TitleString", [] { return QzSetTitleString(1, 0x1F, 2, 0x41); },
       "FF 30 31 00 91 31 31 46 32 34 31 EF", [] { return QzSetTitleString(1, 0, 16, 0); }},
      {"GetTitleString", [] { return QzGetTitleString(1, 0xFF, 0xF); },
       "FF 30 31 00 91 32 46 46 46 EF", [] { return QzGetTitleString(1, 0x100, 0); }},
      {"Date", [] { return QzSetDate(1, 3, 12, 31); }, "FF 30 31 00 91 33 30 33 31 32 33 31 EF",
       [] { return QzSetDate(1, 3, 12, 100); }},
      {"Time", [] { return QzSetTime(1, 23, -5, 9); }, "FF 30 31 00 91 35 32 33 2D 35 30 39 EF",
       [] { return QzSetTime(1, -10, 0, 0); }},
      {"ZoomPosition", [] { return QzSetZoomPosition(1, 60); }, "FF 30 31 00 A3 33 43 EF",
       [] { return QzSetZoomPosition(1, 256); }},
      {"ShutterSpeedx", [] { return QzSetShutterSpeedx(1, 0x12); }, "FF 30 31 00 A5 35 31 32 EF",
       [] { return QzSetShutterSpeedx(1, 0x100); }},
      {"AGCGain", [] { return QzSetAGCGain(1, 0xFF); }, "FF 30 31 00 A5 37 46 46 EF",
       [] { return QzSetAGCGain(1, -1); }},
      {"Iris", [] { return QzSetIris(1, 0); }, "FF 30 31 00 A5 39 30 30 EF",
       [] { return QzSetIris(1, 0x100); }},
      {"AEVal", [] { return QzSetAEVal(1, 0x80); }, "FF 30 31 00 A5 3B 38 30 EF",
       [] { return QzSetAEVal(1, 0x100); }},
      {"WhiteBalanceMx", [] { return QzSetWhiteBalanceMx(1, 0x7F); }, "FF 30 31 00 A7 34 37 46 EF",
       [] { return QzSetWhiteBalanceMx(1, 0x100); }},
      {"FocusPosition", [] { return QzSetFocusPosition(1, 0xBEEF); },
       "FF 30 31 00 B0 42 45 45 46 EF", [] { return QzSetFocusPosition(1, 0x10000); }},
      {"ZoomPosition4", [] { return QzSetZoomPosition4(1, 0x0123); },
       "FF 30 31 00 B3 30 31 32 33 EF", [] { return QzSetZoomPosition4(1, -1); }},
      {"ZoomSpeed", [] { return QzSetZoomSpeed(1, 7); }, "FF 30 31 00 B4 31 37 EF",
       [] { return QzSetZoomSpeed(1, 16); }},
      {"PTAngle2ForQTR3", [] { return QzSetPTAngle2ForQTR3(1, 0xFFF, 0x10FFF); },
       "FF 30 31 00 61 46 46 46 46 46 46 EF", [] { return QzSetPTAngle2ForQTR3(1, -1, 0); }},
      {"QTR3Pan", [] { return QzSetQTR3Pan(1, 0xFFF); }, "FF 30 31 00 54 46 46 46 EF",
       [] { return QzSetQTR3Pan(1, 0x1000); }},
      {"QTR3Tilt", [] { return QzSetQTR3Tilt(1, 0x10); }, "FF 30 31 00 55 30 31 30 EF",
       [] { return QzSetQTR3Tilt(1, 0x1000); }},
      {"IrLight", [] { return QzSetIrLight(1, 2); }, "FF 30 31 00 76 32 EF",
       [] { return QzSetIrLight(1, 16); }},
      {"LimitAngleForQTR3", [] { return QzGetLimitAngleForQTR3(1, 0xA); }, "FF 30 31 00 5A 41 EF",
       [] { return QzGetLimitAngleForQTR3(1, 16); }},
      {"IrCutFilter", [] { return QzSetIrCutFilter(1, 1); }, "FF 30 31 00 B5 31 EF",
       [] { return QzSetIrCutFilter(1, 16); }},
      {"ElectronicZoom", [] { return QzSetElectronicZoom(1, 12); }, "FF 30 31 00 B7 31 32 EF",
       [] { return QzSetElectronicZoom(1, 100); }},
      {"NoiseReduction", [] { return QzSetNoiseReduction(1, 0xF); }, "FF 30 31 00 B9 46 EF",
       [] { return QzSetNoiseReduction(1, 16); }},
      {"SensorInputDetectProp", [] { return QzSetSensorInputDetectProp(1, 0x3C); },
       "FF 30 31 00 74 33 43 EF", [] { return QzSetSensorInputDetectProp(1, 0x100); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.fits(), 1);
    EXPECT_EQ(pty_.ReadFrame(), Hex(c.frame));
    if (c.tooWide != nullptr) {
      EXPECT_EQ(c.tooWide(), 0);
      EXPECT_EQ(LastErrorCode(), ERR_NONE);
      ExpectNothingSent();
    }
  }
}

TEST_F(ExportsTest, AddressesOutsideZeroToNineLeaveTheDefaultCharacter) {
  for (int32_t unit : {10, -1, 255}) {
    EXPECT_EQ(QzSetCameraPower(unit, 0), 1);
    EXPECT_EQ(pty_.ReadFrame(), Hex("FF 30 30 00 A0 30 EF"));
  }
}

TEST_F(ExportsTest, StoredParametersServeLaterBuilds) {
  EXPECT_EQ(QzSetMotorSpeed(1, 2, 100), 0) << "mode 2 chooses no template";
  EXPECT_EQ(QzSendCmd(59, 1), 1);
  EXPECT_EQ(pty_.ReadFrame(), Hex("FF 30 31 00 50 30 36 34 EF"));

  EXPECT_EQ(QzSetZoomPosition(1, 60), 1);
  pty_.ReadFrame();
  int32_t length = -1;
  const uint8_t* frame = QzGetCmdstr(16, 1, &length);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(Bytes(frame, frame + length), Hex("FF 30 31 00 A3 33 43 EF"));
  EXPECT_NE(QzGetCmdstr(3, 2, nullptr), nullptr) << "a null length pointer is tolerated";
  EXPECT_EQ(QzGetCmdstr(197, 1, &length), nullptr);
  EXPECT_EQ(length, 0);
  ExpectNothingSent();  // building alone sends nothing

  // The last command is the last frame built or sent.
  ASSERT_NE(QzGetCmdstr(3, 2, &length), nullptr);
  uint8_t last[50] = {};
  EXPECT_EQ(QzGetLastCmdstr(last), 7);
  EXPECT_EQ(Bytes(last, last + 7), TemplateFrame(3, 2));
  EXPECT_EQ(QzGetLastCmdstr(nullptr), 0);
  EXPECT_EQ(QzGetLastCmdstrVB(), 7);
  EXPECT_EQ(QzPicLastCmdVB(0), 0xFF);
  EXPECT_EQ(QzPicLastCmdVB(6), 0xEF);
  EXPECT_EQ(QzPicLastCmdVB(7), 0) << "the copy is cleared past the command";
  EXPECT_EQ(QzPicLastCmdVB(-1), 0);
  EXPECT_EQ(QzPicLastCmdVB(200), 0);
}

}  // namespace
}  // namespace qzlink
