// Model rules read from the camera's unit name.
#pragma once

#include <string_view>

namespace qtr90x {

// The older model lacks the electronic zoom, the outputs, the sensor input,
// noise reduction and the display status; compared exactly.
inline bool IsQtR7(std::string_view unitName) {
  return unitName == "QT-R7";
}

// The QT-R90x family offers extra choices (a second backlight level).
inline bool IsR90xFamily(std::string_view unitName) {
  return unitName.find("R90x") != std::string_view::npos;
}

}  // namespace qtr90x
