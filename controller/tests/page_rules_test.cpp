// The pure rules behind the pages, buttons and tool windows.
#include <gtest/gtest.h>

#include "core/pages/adjust_mapping.h"
#include "core/pages/exposure_mapping.h"
#include "core/pages/preset_name_rules.h"
#include "core/pages/system_mapping.h"
#include "core/tools/command_text.h"
#include "core/tools/debug_log.h"
#include "resources/string_ids.h"

namespace qtr90x {
namespace {

TEST(AdjustMapping, ElectronicZoomBothWays) {
  const int values[] = {1, 2, 4, 8, 12, 16};
  for (int item = 0; item < kElectronicZoomItems; ++item) {
    EXPECT_EQ(ElectronicZoomForItem(item), values[item]);
    EXPECT_EQ(ElectronicZoomItem(values[item]), item);
  }
  EXPECT_EQ(ElectronicZoomItem(0), 0);
  for (int odd : {3, 6, 17, -1}) {
    EXPECT_FALSE(ElectronicZoomItem(odd)) << odd;  // leaves the list as it is
  }
}

TEST(AdjustMapping, SensorImage) {
  using D = SensorImage;
  const auto change = IndicatorDraw::kChange;
  const auto repaint = IndicatorDraw::kRepaint;
  struct Row {
    bool checked, power;
    int sensor;
    IndicatorDraw why;
    SensorImage image;
  };
  const Row rows[] = {
      {true, true, 1, change, D::kDetected},    {true, true, 0, change, D::kNotDetected},
      {false, true, 1, change, D::kNotifyOff},  {true, false, 1, change, D::kDetected},
      {true, true, 1, repaint, D::kDetected},   {true, true, 0, repaint, D::kNotDetected},
      {true, false, 1, repaint, D::kNotifyOff}, {true, false, 0, repaint, D::kNotifyOff},
      {false, true, 1, repaint, D::kNotifyOff},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ChooseSensorImage(r.checked, r.power, r.sensor, r.why), r.image)
        << r.checked << r.power << r.sensor << static_cast<int>(r.why);
  }
}

TEST(ExposureMapping, ShutterPositionsAndValues) {
  struct Case {
    int position;
    int value;
  };
  const Case cases[] = {{0, 131}, {1, 130}, {3, 128}, {4, 0}, {5, 1}, {29, 25}};
  for (const Case& c : cases) {
    EXPECT_EQ(ShutterValueForPosition(c.position), c.value) << c.position;
  }
}

TEST(ExposureMapping, RefreshPlacesEveryValueWhereASendKeepsIt) {
  // Each value the slider can send comes back at the position that sent it.
  for (int position = kShutterMinPosition; position <= kShutterMaxPosition; ++position) {
    EXPECT_EQ(ShutterPositionForValue(ShutterValueForPosition(position)), position) << position;
  }
  // Values the slider cannot send are clamped into its range.
  EXPECT_EQ(ShutterPositionForValue(26), kShutterMaxPosition);
  EXPECT_EQ(ShutterPositionForValue(127), kShutterMaxPosition);
  EXPECT_EQ(ShutterPositionForValue(200), kShutterMaxPosition);
  EXPECT_EQ(ShutterPositionForValue(-10), kShutterMinPosition);
}

TEST(ExposureMapping, SlowRangeRule) {
  struct Case {
    int last;
    int position;
    bool send;
    int value;
    int thumb;
  };
  const Case cases[] = {
      {130, 3, false, 130, 1},  // within the slow range: back to the last value, nothing sent
      {130, 5, true, 1, 5},     // out of it: sent
      {10, 0, true, 131, 0},    // into it from the normal range: sent
      {131, 0, false, 131, 0},  // the same slow position again
      {0, 4, true, 0, 4},       // unchanged normal value: sent again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.last << " -> " << c.position);
    const ShutterRelease r = ReleaseShutter(c.last, c.position);
    EXPECT_EQ(r.send, c.send);
    EXPECT_EQ(r.value, c.value);
    EXPECT_EQ(r.thumbPosition, c.thumb);
  }
}

TEST(ExposureMapping, BacklightListByModel) {
  const std::vector<int> three{str::kOff, str::kOn1, str::kOn2};
  const std::vector<int> two{str::kOff, str::kOn};
  EXPECT_EQ(BacklightItemStrings("QT-R90x"), three);
  EXPECT_EQ(BacklightItemStrings("QT-R90xN"), three);
  EXPECT_EQ(BacklightItemStrings("QT-R7"), two);
  EXPECT_EQ(BacklightItemStrings(""), two);
}

TEST(SystemMapping, LedCodesAndStates) {
  const int codes[] = {0, 1, 3, 4, 2};  // Normal, Green, Red, Orange, Off
  for (int item = 0; item < 5; ++item) {
    EXPECT_EQ(LedCodeForItem(item), codes[item]);
  }
  EXPECT_EQ(LedItemForState(1), 0);
  EXPECT_EQ(LedItemForState(2), 4);
  EXPECT_EQ(LedItemForState(3), 2);
  EXPECT_EQ(LedItemForState(4), 3);
  EXPECT_FALSE(LedItemForState(0));
  EXPECT_FALSE(LedItemForState(5));
  EXPECT_EQ(CameraYear(2003), 3);
}

TEST(PresetNameRules, Validation) {
  struct Case {
    std::u16string name;
    bool valid;
  };
  const Case cases[] = {
      {u"", true},
      {u"Gate 1 (north)~", true},    // 15 printable characters
      {u"Gate 1 (north)~!", false},  // 16
      {u"tab\there", false},
      {u"\u30b2\u30fc\u30c8", false},  // double-byte characters
      {u"caf\u00e9", false},
      {std::u16string(1, char16_t{127}), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidPresetName(c.name), c.valid) << c.name.size();
  }
  std::array<std::u16string, kPresetCount> names;
  EXPECT_FALSE(FirstInvalidPresetName(names));
  names[6] = u"\u00e9";
  names[8] = u"\u00e9";
  EXPECT_EQ(FirstInvalidPresetName(names), 6);
  EXPECT_EQ(PresetSlotText("", 0), "1");
  EXPECT_EQ(PresetSlotText("", 8), "9");
  EXPECT_EQ(PresetSlotText("Door", 3), "Door");
}

TEST(CommandText, BytesOfTypedText) {
  using Bytes = std::vector<std::uint8_t>;
  struct Case {
    const char* typed;
    std::optional<Bytes> bytes;
  };
  const Case cases[] = {
      {"FF 30 30 00 8F 31 EF", Bytes{0xFF, 0x30, 0x30, 0x00, 0x8F, 0x31, 0xEF}},
      {"FF3030008F31EF", Bytes{0xFF, 0x30, 0x30, 0x00, 0x8F, 0x31, 0xEF}},
      {"ff 30 a0", Bytes{0xFF, 0x30, 0xA0}},
      {"ABC", Bytes{0xAB, 0xC0}},
      {"   ", Bytes{}},
      {"", Bytes{}},
      {"FG", std::nullopt},  // not a hex digit: refused
      {"F-", std::nullopt},
      {"FF\t30", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(ParseCommandBytes(RemoveBlanks(c.typed)), c.bytes);
  }
  EXPECT_EQ(RemoveBlanks("FF 30 30 00 8F 31 EF"), "FF3030008F31EF");
  EXPECT_EQ(RemoveBlanks(std::string(70, 'A')).size(), 63u);  // at most 63 characters read
}

TEST(DebugLog, LabelsAndColours) {
  struct Case {
    int type;
    int label;
    Rgb colour;
  };
  const Case cases[] = {
      {0, str::kLabelSend, {0, 0, 0}},           {1, str::kLabelAck, {0, 0, 0}},
      {2, str::kLabelError, {255, 0, 0}},        {4, str::kLabelError, {255, 0, 0}},
      {5, str::kLabelFatalError, {255, 128, 0}}, {6, str::kLabelNotify, {0, 0, 200}},
      {7, str::kLabelRemoteOn, {0, 128, 0}},     {8, str::kLabelRemoteOff, {0, 128, 0}},
      {9, str::kLabelGlobalNotify, {0, 0, 200}}, {10, str::kLabelError, {255, 0, 0}},
      {11, str::kLabelDetect, {200, 200, 200}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DebugLabelStringId(c.type), c.label) << c.type;
    EXPECT_EQ(DebugTextColour(c.type), c.colour) << c.type;
  }
}

TEST(DebugLog, KeepsTheNewest1024Types) {
  DebugLogTypes log;
  for (int i = 0; i < kDebugLogMaxRows; ++i) {
    EXPECT_FALSE(log.Append(static_cast<std::uint8_t>(i % 12)));
  }
  EXPECT_TRUE(log.Append(11));  // the 1025th drops the first
  EXPECT_EQ(log.Count(), kDebugLogMaxRows);
  EXPECT_EQ(log.TypeAt(0), 1);  // was row 1
  EXPECT_EQ(log.TypeAt(kDebugLogMaxRows - 1), 11);
  EXPECT_EQ(log.TypeAt(kDebugLogMaxRows - 2), (kDebugLogMaxRows - 1) % 12);
  log.Clear();
  EXPECT_EQ(log.Count(), 0);
  log.Append(6);
  EXPECT_EQ(log.TypeAt(0), 6);
}

}  // namespace
}  // namespace qtr90x
