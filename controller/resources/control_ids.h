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

// Adjust page (tab 0).
namespace adjust {
inline constexpr int kPanSpeed = 1046;
inline constexpr int kTiltSpeed = 1077;
inline constexpr int kZoomSpeed = 1045;
inline constexpr int kElectronicZoom = 1041;
inline constexpr int kElectronicZoomLabel = 1116;
inline constexpr int kExternalLight = 1047;
inline constexpr int kAlarmOutput = 1049;
inline constexpr int kNotifyDetection = 1159;
inline constexpr int kSensorIndicator = 1158;
inline constexpr int kSensorGroup = 1148;
inline constexpr int kSpeedGroup = 1097;
}  // namespace adjust

// System page (tab 1).
namespace sys {
inline constexpr int kOnScreen = 1054;
inline constexpr int kSetDate = 1055;
inline constexpr int kSetTime = 1056;
inline constexpr int kDateFormat = 1052;
inline constexpr int kTimeFormat = 1053;
inline constexpr int kCameraPower = 1047;
inline constexpr int kNoiseReduction = 1058;
inline constexpr int kLed = 1059;
inline constexpr int kOnScreenGroup = 1103;
inline constexpr int kSettingGroup = 1104;
inline constexpr int kDisplayFormatGroup = 1105;
inline constexpr int kDateFormatLabel = 1106;
inline constexpr int kTimeFormatLabel = 1107;
inline constexpr int kNoiseReductionLabel = 1108;
inline constexpr int kLedLabel = 1109;
}  // namespace sys

// Picture page (tab 2) and its exposure sub-panels.
namespace picture {
inline constexpr int kExposureGroup = 1071;
inline constexpr int kExposureAuto = 1140;
inline constexpr int kExposureManual = 1141;
inline constexpr int kLockWb = 1047;
// Auto-exposure sub-panel.
inline constexpr int kFlickerless = 1069;
inline constexpr int kBacklight = 1067;
inline constexpr int kBrightness = 1068;
// Manual-exposure sub-panel.
inline constexpr int kIris = 1072;
inline constexpr int kAgc = 1071;
inline constexpr int kShutter = 1070;
inline constexpr int kSlowShutterMark = 1165;
}  // namespace picture

// Preset Name Settings dialog: edits 1124 to 1132 for presets 1 to 9.
inline constexpr int kPresetNameEdit1 = 1124;
inline constexpr int kPresetNameSet = 1133;
inline constexpr int kPresetNameCancel = 1134;

// Input Command window.
inline constexpr int kCommandText = 1145;
inline constexpr int kCommandSend = 1143;
inline constexpr int kToolClose = 1123;  // also the debug window's Close

// Debug window.
inline constexpr int kDebugList = 1004;
inline constexpr int kDebugClear = 1142;

}  // namespace qtr90x::ctl
