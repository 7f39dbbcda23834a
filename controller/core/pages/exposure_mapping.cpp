#include "core/pages/exposure_mapping.h"

#include <algorithm>

#include "core/link/unit_name.h"
#include "resources/string_ids.h"

namespace qtr90x {

namespace {
constexpr int kSlowTop = 131;  // the value of position 0
}

bool IsSlowShutter(int value) {
  return value >= 128 && value <= kSlowTop;
}

int ShutterValueForPosition(int position) {
  return position < kShutterNormalStart ? kSlowTop - position : position - kShutterNormalStart;
}

int ShutterPositionForValue(int value) {
  if (IsSlowShutter(value)) {
    return kSlowTop - value;
  }
  return std::clamp(value + kShutterNormalStart, kShutterMinPosition, kShutterMaxPosition);
}

ShutterRelease ReleaseShutter(int lastValue, int position) {
  const int value = ShutterValueForPosition(position);
  if (IsSlowShutter(lastValue) && IsSlowShutter(value)) {
    return {false, lastValue, kSlowTop - lastValue};
  }
  return {true, value, position};
}

std::vector<int> BacklightItemStrings(std::string_view unitName) {
  if (IsR90xFamily(unitName)) {
    return {str::kOff, str::kOn1, str::kOn2};
  }
  return {str::kOff, str::kOn};
}

}  // namespace qtr90x
