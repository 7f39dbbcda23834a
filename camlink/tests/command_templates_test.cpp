#include "camlink/command_templates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace qzlink {
namespace {

// Command byte and sub-command characters of every identifier, as the
// exported functions document them (bytes 4 onward, before the parameter
// characters). Checked against the template table, which is kept separately.
struct CommandBytes {
  int commandId;
  const char* bytes;
};

const CommandBytes kDocumentedCommands[] = {
    {2, "A0 30"},       // QzSetCameraPower (0)
    {3, "A0 31"},       // QzSetCameraPower (1)
    {4, "A1 30"},       // QzSetFocusMode (0)
    {5, "A1 31"},       // QzSetFocusMode (1)
    {6, "A1 32"},       // QzSetFocusMode (2)
    {7, "A1 33"},       // QzSetFocusMode (3)
    {8, "B0"},          // QzSetFocusPosition
    {9, "B1 30"},       // QzGetFocusPosition
    {10, "B1 31"},      // QzSetOnePushAF
    {11, "A2 30"},      // QzSetZooming (0)
    {12, "A2 31"},      // QzSetZooming (1)
    {13, "A2 32"},      // QzSetZooming (2)
    {14, "A2 33"},      // QzSetZooming (3)
    {15, "A2 34"},      // QzSetZooming (4)
    {16, "A3"},         // QzSetZoomPosition
    {17, "A4"},         // QzGetZoomPosition
    {18, "B3"},         // QzSetZoomPosition4
    {19, "B4 30"},      // QzGetZoomPosition4
    {20, "B4 31"},      // QzSetZoomSpeed
    {21, "B4 32"},      // QzGetZoomSpeed
    {22, "A5 30"},      // QzSetBackLight (0)
    {23, "A5 31"},      // QzSetBackLight (1)
    {24, "A5 32"},      // QzSetExposed (0)
    {25, "A5 33"},      // QzSetExposed (1)
    {26, "A8 30"},      // QzSetShutterSpeed (0)
    {28, "A5 36"},      // QzGetShutterSpeed
    {29, "A8 31"},      // QzSetShutterSpeed (1)
    {30, "A8 32"},      // QzSetShutterSpeed (2)
    {31, "A5 37"},      // QzSetAGCGain
    {32, "A5 38"},      // QzGetAGCGain
    {33, "A5 39"},      // QzSetIris
    {34, "A5 3A"},      // QzGetIris
    {35, "A5 3B"},      // QzSetAEVal
    {36, "A5 3C"},      // QzGetAEVal
    {39, "A7 32"},      // QzSetWhiteBalance (2)
    {40, "A7 33"},      // QzSetWhiteBalance (3)
    {41, "A7 34"},      // QzSetWhiteBalanceMx
    {42, "A7 35"},      // QzGetWhiteBalance
    {44, "A9 30"},      // QzSetFading (0)
    {45, "A9 31"},      // QzSetFading (1)
    {46, "A9 32"},      // QzSetFading (2)
    {47, "A9 33"},      // QzSetFading (3)
    {48, "AA"},         // QzCameraReset
    {49, "AB"},         // QzGetZoomRatio
    {50, "AC"},         // QzGetCCDSize
    {53, "B4 33"},      // QzGetZoomMax
    {57, "BE 30"},      // QzGetCameraVersion (0)
    {58, "BE 31"},      // QzGetCameraVersion (1)
    {59, "50"},         // QzSetMotorSpeed (0)
    {60, "51"},         // QzSetMotorSpeed (1)
    {61, "52 30"},      // QzGetMotorSpeed (0)
    {62, "52 31"},      // QzGetMotorSpeed (1)
    {63, "53 30"},      // QzSetPanTilt1 (0)
    {64, "53 31"},      // QzSetPanTilt1 (1)
    {65, "53 32"},      // QzSetPanTilt1 (2)
    {66, "53 33"},      // QzSetPanTilt1 (3)
    {67, "53 34"},      // QzSetPanTilt1 (4)
    {69, "57"},         // QzGotoHomePosition
    {70, "58 30"},      // QzPedestalInitialize (0)
    {71, "58 31"},      // QzPedestalInitialize (1)
    {72, "59 30"},      // QzGetLimitSpeed (0)
    {73, "59 31"},      // QzGetLimitSpeed (1)
    {74, "59 32"},      // QzGetLimitSpeed (2)
    {75, "59 33"},      // QzGetLimitSpeed (3)
    {76, "5B 30"},      // QzGetGearRatio (0)
    {77, "5B 31"},      // QzGetGearRatio (1)
    {78, "5C 30"},      // QzGetLimitAngle (0)
    {79, "5C 31"},      // QzGetLimitAngle (1)
    {80, "5C 32"},      // QzGetLimitAngle (2)
    {81, "5C 33"},      // QzGetLimitAngle (3)
    {82, "60 30 30"},   // QzSetPanTilt2 (0)
    {83, "60 30 31"},   // QzSetPanTilt2 (1)
    {84, "60 30 32"},   // QzSetPanTilt2 (2)
    {85, "60 31 30"},   // QzSetPanTilt2 (3)
    {86, "60 32 30"},   // QzSetPanTilt2 (4)
    {87, "60 31 31"},   // QzSetPanTilt2 (5)
    {88, "60 31 32"},   // QzSetPanTilt2 (6)
    {89, "60 32 31"},   // QzSetPanTilt2 (7)
    {90, "60 32 32"},   // QzSetPanTilt2 (8)
    {92, "62"},         // QzSetPTAngle2
    {93, "63"},         // QzGetPTAngle2
    {94, "64 30"},      // QzSetPTAngle1 (0)
    {95, "64 31"},      // QzSetPTAngle1 (1)
    {96, "65 30"},      // QzGetPTAngle1 (0)
    {97, "65 31"},      // QzGetPTAngle1 (1)
    {98, "61"},         // QzSetPTAngle2ForQTR3
    {99, "61"},         // QzGetPTAngle2ForQTR3
    {102, "80 30"},     // QzSetIRRemote (0)
    {103, "80 31"},     // QzSetIRRemote (1)
    {104, "86"},        // QzGetOperateStatus
    {106, "87"},        // QzGetUnitName
    {107, "88"},        // QzGetRomVersion
    {108, "89"},        // QzSetPresetMemory
    {109, "8A"},        // QzGoToPreset
    {110, "8B"},        // QzGetPresetStatus
    {113, "8D 30"},     // QzRemoteCommandPass (0)
    {114, "8D 31"},     // QzRemoteCommandPass (1)
    {122, "91 30 30"},  // QzSetOnScreen (0)
    {123, "91 30 31"},  // QzSetOnScreen (1)
    {124, "91 30 32"},  // QzSetOnScreen (2)
    {125, "91 30 33"},  // QzSetOnScreen (3)
    {126, "91 30 34"},  // QzSetOnScreen (4)
    {127, "91 30 35"},  // QzSetOnScreen (5)
    {128, "91 30 36"},  // QzSetOnScreen (6)
    {129, "91 30 37"},  // QzSetOnScreen (7)
    {130, "91 30 38"},  // QzSetOnScreen (8)
    {131, "91 30 39"},  // QzSetOnScreen (9)
    {132, "91 31"},     // QzSetTitleString
    {133, "91 32"},     // QzGetTitleString
    {134, "91 33"},     // QzSetDate
    {135, "91 34"},     // QzGetDate
    {136, "91 35"},     // QzSetTime
    {137, "91 36"},     // QzGetTime
    {138, "92 30"},     // QzGetCameraTime
    {139, "92 31"},     // QzGetPTTime
    {140, "93 30"},     // QzSetDefault
    {147, "86 30"},     // QzGetExtendedOperateStatus
    {148, "8B 30"},     // QzGetExtendPreset
    {149, "A5 35"},     // QzSetShutterSpeedx
    {150, "A7 30"},     // QzSetWhiteBalance (0)
    {151, "A7 31"},     // QzSetWhiteBalance (1)
    {152, "B1 32"},     // QzGetFocusRange
    {155, "94 30"},     // QzSetNotify (0)
    {156, "94 31"},     // QzSetNotify (1)
    {157, "95 30"},     // QzSetGlobalNotify (0)
    {158, "95 31"},     // QzSetGlobalNotify (1)
    {159, "A5 34 30"},  // QzSetAELock (0)
    {160, "A5 34 31"},  // QzSetAELock (1)
    {164, "8E 30"},     // QzSetLed (0)
    {165, "8E 31"},     // QzSetLed (1)
    {166, "8E 32"},     // QzSetLed (2)
    {167, "8E 33"},     // QzSetLed (3)
    {168, "8E 34"},     // QzSetLed (4)
    {170, "9A 30"},     // QzGetPedestalModel
    {171, "9A 31"},     // QzGetCameraModel
    {172, "54"},        // QzSetQTR3Pan
    {173, "56 30"},     // QzGetQTR3Pan
    {174, "55"},        // QzSetQTR3Tilt
    {175, "56 31"},     // QzGetQTR3Tilt
    {176, "72 30"},     // QzSetAlarmOutput (0)
    {177, "72 31"},     // QzSetAlarmOutput (value)
    {178, "73"},        // QzGetAlarmOutput
    {179, "76"},        // QzSetIrLight
    {180, "77"},        // QzGetIrLight
    {181, "78 30"},     // QzSetExternalLight (0)
    {182, "78 31"},     // QzSetExternalLight (value)
    {183, "79"},        // QzGetExternalLight
    {184, "5A"},        // QzGetLimitAngleForQTR3
    {185, "B5"},        // QzSetIrCutFilter
    {186, "B6"},        // QzGetIrCutFilter
    {187, "B7"},        // QzSetElectronicZoom
    {188, "B8"},        // QzGetElectronicZoom
    {189, "B9"},        // QzSetNoiseReduction
    {190, "BA"},        // QzGetNoiseReduction
    {191, "74"},        // QzSetSensorInputDetectProp
    {192, "75"},        // QzGetSensorInputTerminalStat
    {193, "75 30"},     // QzGetSensorInputDetectProp
    {194, "A5 3F"},     // QzGetBacklight
    {37, "A5 3D"},      // only through QzSendCmd
    {38, "A5 3E"},      // only through QzSendCmd
    {118, "8F 30"},     // QzSetCascade (0)
    {119, "8F 31"},     // QzSetCascade (1)
    {120, "90 30"},     // QzSetCmdMode (0)
    {121, "90 31"},     // QzSetCmdMode (1)
    {195, "86 31"},     // QzGet4ByteStatus
    {196, "86 32"},     // QzGet2ByteStatus
};

std::vector<uint8_t> ParseHex(const char* text) {
  std::vector<uint8_t> bytes;
  unsigned value = 0;
  int consumed = 0;
  while (std::sscanf(text, "%2x%n", &value, &consumed) == 1) {
    bytes.push_back(static_cast<uint8_t>(value));
    text += consumed;
  }
  return bytes;
}

TEST(CommandTemplates, TableIsSortedCompleteAndWellFormed) {
  const auto table = CommandTemplates();
  std::set<int> ids;
  int withParameters = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    const CommandTemplate& row = table[i];
    SCOPED_TRACE(row.commandId);
    if (i > 0) {
      EXPECT_LT(table[i - 1].commandId, row.commandId);
    }
    ids.insert(row.commandId);
    ASSERT_GE(row.length, 6);
    ASSERT_LE(row.length, 15);
    EXPECT_EQ(row.bytes[0], 0xFF);
    EXPECT_EQ(row.bytes[1], 0x30);
    EXPECT_EQ(row.bytes[2], 0x30);
    EXPECT_EQ(row.bytes[3], 0x00);
    EXPECT_EQ(row.bytes[row.length - 1], 0xEF);
    for (int b = 5; b < row.length - 1; ++b) {
      EXPECT_TRUE(row.bytes[b] >= 0x20 && row.bytes[b] < 0x7F) << "byte " << b;
    }
    for (size_t b = row.length; b < sizeof row.bytes; ++b) {
      EXPECT_EQ(row.bytes[b], 0) << "byte " << b;
    }

    // The slots cover exactly the placeholders, and only rows with
    // placeholders are flagged as having parameters.
    std::set<int> placeholders;
    for (int b = 0; b < row.length; ++b) {
      if (row.bytes[b] == kPlaceholder) {
        placeholders.insert(b);
      }
    }
    std::set<int> covered;
    for (const ParameterSlot& slot : ParameterSlotsOf(row.commandId)) {
      for (int b = slot.offset; b < slot.offset + slot.width; ++b) {
        EXPECT_TRUE(covered.insert(b).second) << "slots overlap at " << b;
      }
    }
    EXPECT_EQ(covered, placeholders);
    EXPECT_EQ(row.hasParameters != 0, !placeholders.empty());
    withParameters += row.hasParameters != 0 ? 1 : 0;
  }
  EXPECT_EQ(ids.size(), 166u);
  EXPECT_EQ(*ids.begin(), 2);
  EXPECT_EQ(*ids.rbegin(), 196);
  EXPECT_EQ(withParameters, 30);
}

TEST(CommandTemplates, EveryIdentifierCarriesItsDocumentedCommandBytes) {
  ASSERT_EQ(std::size(kDocumentedCommands), static_cast<size_t>(kTemplateCount));
  for (const CommandBytes& expected : kDocumentedCommands) {
    SCOPED_TRACE(expected.commandId);
    const int row = FindTemplate(expected.commandId);
    ASSERT_GE(row, 0);
    const CommandTemplate& command = CommandTemplates()[row];
    const std::vector<uint8_t> bytes = ParseHex(expected.bytes);
    int parameterChars = 0;
    for (const ParameterSlot& slot : ParameterSlotsOf(expected.commandId)) {
      parameterChars += slot.width;
    }
    ASSERT_EQ(command.length, 4 + bytes.size() + parameterChars + 1);
    for (size_t i = 0; i < bytes.size(); ++i) {
      EXPECT_EQ(command.bytes[4 + i], bytes[i]) << "byte " << 4 + i;
    }
  }
}

TEST(CommandTemplates, UnknownIdentifiersAreNotFound) {
  for (int id : {0, 1, 27, 43, 51, 100, 197, -1, -2, 65536 + 2, 0x7FFFFFFF}) {
    EXPECT_EQ(FindTemplate(id), -1) << id;
    EXPECT_TRUE(ParameterSlotsOf(id).empty()) << id;
  }
}

}  // namespace
}  // namespace qzlink
