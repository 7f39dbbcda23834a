// Value mappings of the Picture page and its exposure sub-panels.
#pragma once

#include <string_view>
#include <vector>

namespace qtr90x {

// Shutter slider: positions 0 to 3 are the slow range (camera values 131 down
// to 128), positions 4 to 29 the normal range (values 0 to 25).
inline constexpr int kShutterMinPosition = 0;
inline constexpr int kShutterMaxPosition = 29;
inline constexpr int kShutterNormalStart = 4;

inline constexpr int kIrisMin = 2;
inline constexpr int kIrisMax = 16;
inline constexpr int kAgcMin = 0;
inline constexpr int kAgcMax = 255;
inline constexpr int kAeValueMin = 16;
inline constexpr int kAeValueMax = 255;

bool IsSlowShutter(int value);  // 128 to 131

int ShutterValueForPosition(int position);

// Where the slider shows a reported value: a slow value v at 131 - v (the
// position that sends it back unchanged), a normal value at v + 4, anything
// else clamped into the slider's range.
int ShutterPositionForValue(int value);

// What releasing the shutter slider at `position` does, given the value the
// slider last sent or showed. Moving within the slow range is refused: the
// thumb goes back to the last value's position and nothing is sent.
struct ShutterRelease {
  bool send;
  int value;          // to send and keep as the last value (when send)
  int thumbPosition;  // where the thumb must be afterwards
};
ShutterRelease ReleaseShutter(int lastValue, int position);

// String ids of the backlight list: "Off", "On1", "On2" for the QT-R90x
// family, "Off", "On" otherwise.
std::vector<int> BacklightItemStrings(std::string_view unitName);

}  // namespace qtr90x
