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
inline constexpr int kLow = 115;
inline constexpr int kHigh = 116;
inline constexpr int kLedNormal = 117;
inline constexpr int kLedGreen = 118;
inline constexpr int kLedRed = 119;
inline constexpr int kLedOrange = 120;
inline constexpr int kDateYyMmDd = 121;
inline constexpr int kDateDdMmYy = 122;
inline constexpr int kTime24 = 123;
inline constexpr int kTime12 = 124;
inline constexpr int kZoomX2 = 125;
inline constexpr int kZoomX4 = 126;
inline constexpr int kZoomX8 = 127;
inline constexpr int kZoomX12 = 128;
inline constexpr int kZoomX16 = 129;
inline constexpr int kCameraBusy = 131;
inline constexpr int kWrongParameter = 132;
inline constexpr int kWrongMode = 133;
inline constexpr int kFatalError = 134;
inline constexpr int kNotExecuted = 135;
inline constexpr int kLabelSend = 136;
inline constexpr int kLabelAck = 137;
inline constexpr int kLabelNotify = 138;
inline constexpr int kLabelRemoteOn = 139;
inline constexpr int kLabelRemoteOff = 140;
inline constexpr int kLabelGlobalNotify = 141;
inline constexpr int kLabelError = 142;
inline constexpr int kLabelFatalError = 143;
inline constexpr int kFailedToOpenCom = 144;
inline constexpr int kOn = 146;
inline constexpr int kAppTitle = 57344;
inline constexpr int kFailToSendCommand = 57345;
inline constexpr int kLabelDetect = 57346;
inline constexpr int kPresetNameHint = 57351;
inline constexpr int kModelQtR7 = 57352;
inline constexpr int kModelQtR90x = 57353;
inline constexpr int kModelQtR90xN = 57354;
inline constexpr int kModelUnknown = 57355;
inline constexpr int kPortTarget = 57356;
// Bounded waits: what the debug window says when the camera stays silent.
inline constexpr int kNoAnswer = 57400;
inline constexpr int kLateAnswer = 57401;
inline constexpr int kAnswerForNobody = 57402;
inline constexpr int kNoNotification = 57403;
// A lost line: the title's port part while it is lost, and the debug lines.
inline constexpr int kTitlePort = 57404;
inline constexpr int kTitlePortLost = 57405;
inline constexpr int kLinkLost = 57406;
inline constexpr int kLinkBack = 57407;
// A damaged settings file, told once at start.
inline constexpr int kSettingsDamaged = 57408;
inline constexpr int kSettingsDamagedInPlace = 57409;
// Settings that cannot be saved, told once.
inline constexpr int kSettingsNotSaved = 57410;

}  // namespace qtr90x::str
