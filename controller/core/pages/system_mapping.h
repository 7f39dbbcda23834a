// Value mappings of the System page.
#pragma once

#include <optional>

namespace qtr90x {

// LED list "Normal", "Green", "Red", "Orange", "Off": the codes the camera
// takes are 0, 1, 3, 4 and 2.
int LedCodeForItem(int item);

// The LED item of a reported state (1 normal, 2 off, 3 red, 4 orange);
// nullopt for any other state: the list is then left as it is.
std::optional<int> LedItemForState(int ledState);

// Display formats: date items send 7 to 9, time items 4 to 6.
inline int DateFormatCode(int item) {
  return 7 + item;
}
inline int TimeFormatCode(int item) {
  return 4 + item;
}
inline int DateFormatItem(int dateDisplay) {
  return dateDisplay - 7;
}
inline int TimeFormatItem(int timeDisplay) {
  return timeDisplay - 4;
}

// The camera counts years from 2000.
inline int CameraYear(int year) {
  return year - 2000;
}

}  // namespace qtr90x
