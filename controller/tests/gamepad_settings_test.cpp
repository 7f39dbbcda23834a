// The gamepad settings in the registry store: their own key, round trip,
// defaults for what is missing, and nothing out of range taken in.
#include "core/gamepad/gamepad_settings.h"

#include <gtest/gtest.h>

#include "core/settings/registry_key.h"
#include "core/settings/settings.h"
#include "tests/private_registry.h"

namespace qtr90x {
namespace {

constexpr const char* kGamepadKey = "Software\\Orveda\\QTR90xControler\\1.0\\Gamepad";

TEST(GamepadSettings, RoundTripInTheirOwnKeyLeavingGenAlone) {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orveda");
  ASSERT_EQ(SaveGeneralSettings(GeneralSettings{2, 1, 0}), 0);
  GamepadSettings s;
  s.enabled = false;
  s.deadZonePercent = 25;
  s.curve = SpeedCurve::kSquared;
  s.invertTilt = true;
  s.zoomSource = ZoomSource::kRightStick;
  s.modifier = gamepad_button::kLeftStick;
  s.Binding(GamepadAction::kPreset3) = ButtonBinding{gamepad_button::kDpadDown, false};
  s.Binding(GamepadAction::kOnePushAf) = ButtonBinding{};
  ASSERT_EQ(SaveGamepadSettings(s), 0);
  GamepadSettings loaded;
  ASSERT_EQ(LoadGamepadSettings(&loaded), 0);
  EXPECT_EQ(loaded, s);

  GeneralSettings gen;
  ASSERT_EQ(LoadGeneralSettings(&gen), 0);
  EXPECT_EQ(gen.portIndex, 2);
  EXPECT_EQ(gen.dispCommandWindow, 1);
  RegistryKey key;
  ASSERT_TRUE(key.Open("Software\\Orveda\\QTR90xControler\\1.0\\Gen", true));
  std::uint32_t v = 0;
  EXPECT_FALSE(key.QueryDword("DeadZone", &v)) << "nothing of the gamepad's in Gen";
}

TEST(GamepadSettings, MissingOrOutOfRangeValuesTakeTheirDefaults) {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orveda");
  GamepadSettings loaded;
  loaded.deadZonePercent = 3;
  ASSERT_EQ(LoadGamepadSettings(&loaded), 0);
  EXPECT_EQ(loaded, GamepadSettings{}) << "first start: the defaults";

  RegistryKey key;
  ASSERT_TRUE(key.Open(kGamepadKey)) << "the read creates the key";
  struct Value {
    const char* name;
    std::uint32_t value;
  };
  const Value hostile[] = {{"DeadZone", 99},  {"Curve", 7},       {"ZoomSource", 0xFFFFFFFF},
                           {"Modifier", 500}, {"Preset1", 0x1FF}, {"FocusNear", 22},
                           {"Enabled", 0}};
  for (const Value& v : hostile)
    key.SetDword(v.name, v.value);
  key.Close();
  ASSERT_EQ(LoadGamepadSettings(&loaded), 0);
  GamepadSettings expected;
  expected.enabled = false;  // the one value in range
  EXPECT_EQ(loaded, expected);
}

TEST(GamepadSettings, SanitizedKeepsEveryValueInRange) {
  GamepadSettings s;
  s.deadZonePercent = -4;
  s.curve = static_cast<SpeedCurve>(9);
  s.modifier = 40;
  s.Binding(GamepadAction::kCameraNext) = ButtonBinding{-7, true};
  GamepadSettings expected;  // the curve back to linear, the rest held to its range
  expected.deadZonePercent = 0;
  expected.modifier = gamepad_button::kNone;
  expected.Binding(GamepadAction::kCameraNext) = ButtonBinding{};
  EXPECT_EQ(Sanitized(s), expected);
  EXPECT_EQ(GamepadButtonName(-1), "None");
  EXPECT_EQ(GamepadButtonName(kGamepadButtons), "None");
  EXPECT_EQ(GamepadButtonName(gamepad_button::kDpadLeft), "D-pad left");
}

}  // namespace
}  // namespace qtr90x
