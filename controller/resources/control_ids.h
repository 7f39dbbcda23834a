// Control ids of the main dialog. Each widget carries its id as object name
// and as the "controlId" property so tests find controls per window by id.
#pragma once

namespace qtr90x::ctl {

// Pan/tilt pad, 3 x 3 grid; Home is the centre.
inline constexpr int kPadUpLeft = 1005;
inline constexpr int kPadUp = 1006;
inline constexpr int kPadUpRight = 1007;
inline constexpr int kPadLeft = 1008;
inline constexpr int kPadHome = 1009;
inline constexpr int kPadRight = 1010;
inline constexpr int kPadDownLeft = 1011;
inline constexpr int kPadDown = 1012;
inline constexpr int kPadDownRight = 1013;

inline constexpr int kZoomTele = 1017;
inline constexpr int kZoomWide = 1018;
inline constexpr int kFocusNear = 1016;
inline constexpr int kFocusFar = 1015;
inline constexpr int kFocusNearLabel = 1083;
inline constexpr int kFocusFarLabel = 1084;
inline constexpr int kFocusAuto = 1019;
inline constexpr int kFocusManual = 1020;
inline constexpr int kOnePushAf = 1121;

inline constexpr int kNightMode = 1081;
inline constexpr int kIrLightCombo = 1038;
inline constexpr int kIrLightLabel = 1117;
inline constexpr int kHost = 1138;
inline constexpr int kLocal = 1139;
inline constexpr int kCameraCombo = 1042;
inline constexpr int kCameraLabel = 1082;
inline constexpr int kModelLine = 1162;
inline constexpr int kPresetCombo = 1072;
inline constexpr int kPresetGo = 1030;
inline constexpr int kPresetSet = 1031;
inline constexpr int kDetail = 1032;
inline constexpr int kDebug = 1043;
inline constexpr int kExit = 1044;
inline constexpr int kTab = 1001;

// Hidden controls kept for their behaviour.
inline constexpr int kHiddenManual = 1047;
inline constexpr int kHiddenRemoteOk = 1057;
inline constexpr int kHiddenNightMode = 1122;

inline constexpr int kGroupPanTilt = 1110;
inline constexpr int kGroupZoom = 1111;
inline constexpr int kGroupFocus = 1114;
inline constexpr int kGroupPreset = 1115;

// Preset Name Settings dialog.
inline constexpr int kPresetNameHint = 1161;

}  // namespace qtr90x::ctl
