// String ids of the string table (texts in string_table.cpp).
#pragma once

namespace qtr90x::str {

inline constexpr int kVersionInfoMenu = 101;
inline constexpr int kTabAdjust = 102;
inline constexpr int kTabSystem = 103;
inline constexpr int kTabPicture = 104;
inline constexpr int kOff = 105;
inline constexpr int kOn1 = 106;
inline constexpr int kOn2 = 107;
inline constexpr int kCameraBusy = 131;
inline constexpr int kWrongParameter = 132;
inline constexpr int kWrongMode = 133;
inline constexpr int kFatalError = 134;
inline constexpr int kNotExecuted = 135;
inline constexpr int kFailedToOpenCom = 144;
inline constexpr int kOn = 146;
inline constexpr int kAppTitle = 57344;
inline constexpr int kFailToSendCommand = 57345;
inline constexpr int kPresetNameHint = 57351;

}  // namespace qtr90x::str
