// The model line, the enable-controls plan and TrafficText.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/link/traffic_text.h"
#include "core/pages/control_rules.h"
#include "resources/control_ids.h"
#include "resources/string_ids.h"

namespace qtr90x {
namespace {

TEST(ModelLineTest, SearchesTheUnitNameInOrder) {
  const struct {
    const char* unitName;
    int stringId;
  } cases[] = {
      {"QT-R7", str::kModelQtR7},       {"QT-R7 R90xN", str::kModelQtR7},
      {"QT-R90xN", str::kModelQtR90xN}, {"QT-R90x", str::kModelQtR90x},
      {"XR90x", str::kModelQtR90x},     {"", str::kModelUnknown},
      {"QT-R9", str::kModelUnknown},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ModelLineStringId(c.unitName), c.stringId) << c.unitName;
}

std::optional<bool> EnabledIn(const std::vector<ControlEnable>& plan, int id) {
  const auto it = std::find_if(plan.begin(), plan.end(),
                               [id](const ControlEnable& c) { return c.controlId == id; });
  if (it == plan.end())
    return std::nullopt;
  return it->enabled;
}

TEST(EnableControlsTest, ConditionalControlsFollowOnlyWhenTheirRuleAllows) {
  const struct {
    EnableControlsInputs in;
    int id;
    std::optional<bool> expected;
  } cases[] = {
      // {operable, manual focus, preset registered, Night Mode, unit name}
      // Near and Far: only when disabling or with manual focus.
      {{true, false, false, false, ""}, ctl::kFocusNear, std::nullopt},
      {{true, true, false, false, ""}, ctl::kFocusNear, true},
      {{false, false, false, false, ""}, ctl::kFocusFarLabel, false},
      // "Go": only when disabling or the preset is registered.
      {{true, false, false, false, ""}, ctl::kPresetGo, std::nullopt},
      {{true, false, true, false, ""}, ctl::kPresetGo, true},
      // Night Mode and the tab control only for the R90x family.
      {{false, false, false, false, "QT-R7"}, ctl::kNightMode, std::nullopt},
      {{false, false, false, false, "QT-R90x"}, ctl::kTab, false},
      {{true, false, false, false, "QT-R90xN"}, ctl::kIrLightCombo, std::nullopt},
      {{true, false, false, true, "QT-R90xN"}, ctl::kIrLightLabel, true},
      // The pad always follows.
      {{false, false, false, false, ""}, ctl::kPadHome, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EnabledIn(EnableControlsPlan(c.in), c.id), c.expected)
        << c.id << " operable " << c.in.operable;
  }
}

TEST(TrafficTextTest, FramesOfAnyLengthAndShortAnswers) {
  const std::uint8_t frame[] = {0xFF, 0x30, 0x30, 0x00, 0x8F, 0x31, 0xEF};
  EXPECT_EQ(TrafficText(frame, sizeof frame), "FF 30 30 00 8F 31 EF");
  std::uint8_t longest[50];
  std::fill(std::begin(longest), std::end(longest), 0xAB);
  EXPECT_EQ(TrafficText(longest, sizeof longest).size(), 149u);
}

}  // namespace
}  // namespace qtr90x
