// The kinds of refresh sequence the main dialog runs.
#pragma once

namespace qtr90x {

enum class SequenceKind : int {
  kNone = -1,
  kConnect = 0,
  kAdjustPage = 1,
  kSystemPage = 2,
  kPicturePage = 3,
  kAutoExposure = 4,
  kManualExposure = 5,
  kCommandMode = 6,
  kCameraChange = 7,
  kOnScreen = 8,
  kPowerOn = 10,
  kPowerOff = 11,
  kSensorInput = 12,
};

}  // namespace qtr90x
