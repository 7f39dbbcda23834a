// The speed ranges of the camera's motors and zoom, in the library's units
// (QzSetMotorSpeed, QzSetZoomSpeed).
#pragma once

namespace qtr90x {

inline constexpr int kPanSpeedMin = 8;
inline constexpr int kPanSpeedMax = 800;
inline constexpr int kTiltSpeedMin = 8;
inline constexpr int kTiltSpeedMax = 622;
inline constexpr int kZoomSpeedMin = 0;
inline constexpr int kZoomSpeedMax = 7;

}  // namespace qtr90x
