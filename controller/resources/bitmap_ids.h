// Bitmap ids of the owner-drawn pad, zoom and focus buttons, four per button
// in the order the direction button takes them.
#pragma once

#include <array>

namespace qtr90x::bmp {

using ButtonBitmaps = std::array<int, 4>;

inline constexpr ButtonBitmaps kUp{142, 146, 229, 210};
inline constexpr ButtonBitmaps kUpLeft{160, 161, 230, 217};
inline constexpr ButtonBitmaps kLeft{227, 159, 226, 216};
inline constexpr ButtonBitmaps kDownLeft{155, 156, 224, 215};
inline constexpr ButtonBitmaps kDown{153, 154, 222, 223};
inline constexpr ButtonBitmaps kDownRight{151, 152, 225, 213};
inline constexpr ButtonBitmaps kRight{149, 150, 228, 212};
inline constexpr ButtonBitmaps kUpRight{147, 148, 231, 211};
inline constexpr ButtonBitmaps kHome{178, 179, 234, 218};
inline constexpr ButtonBitmaps kTele{173, 174, 235, 219};
inline constexpr ButtonBitmaps kWide{175, 176, 236, 221};
inline constexpr ButtonBitmaps kNear{168, 169, 233, 170};
inline constexpr ButtonBitmaps kFar{162, 163, 232, 166};

// Sensor indicator of the Adjust page, 32 x 32; RGB(0, 128, 128) is the key
// colour replaced by the button face.
inline constexpr int kSensorDetected = 237;
inline constexpr int kSensorNotDetected = 238;
inline constexpr int kSensorNotifyOff = 239;

inline constexpr int kAppIcon = 246;

}  // namespace qtr90x::bmp
