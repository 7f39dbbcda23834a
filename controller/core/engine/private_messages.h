// The application's private messages. Every one is posted, never sent; in
// Qt each is an event whose type is the message number.
#pragma once

namespace qtr90x::um {

inline constexpr int kFocusHandoff = 0x806F;     // page <-> main: keyboard focus wrap
inline constexpr int kPageEscape = 0x8070;       // page -> main: Escape, leave as Exit
inline constexpr int kNextStep = 0x8071;         // main -> main: lParam kind
inline constexpr int kStartQuery = 0x8072;       // any -> main: lParam kind
inline constexpr int kRefreshPage = 0x8073;      // main -> page: wParam first read, lParam kind
inline constexpr int kCmdMode = 0x8074;          // main -> main
inline constexpr int kCmdModeDone = 0x8075;      // main -> main
inline constexpr int kOnScreenChanged = 0x8076;  // System page -> main
inline constexpr int kOnScreenDone = 0x8077;     // main -> main
inline constexpr int kAeValueSent = 0x8078;      // sub-panel -> main: lParam target
inline constexpr int kAeValueReady = 0x8079;     // main -> sub-panel
inline constexpr int kPowerOn = 0x807A;          // System page -> main
inline constexpr int kPowerOnDone = 0x807B;      // main -> main
inline constexpr int kInchStart = 0x807C;        // button -> main: lParam move kind
inline constexpr int kInchStop = 0x807D;         // button -> main: lParam move kind
inline constexpr int kMoveGo = 0x807E;           // main -> button: lParam 1 start, 0 stop
inline constexpr int kDebugClose = 0x807F;       // debug window -> main
inline constexpr int kPresetNames = 0x8080;      // menu, preset combo -> main
inline constexpr int kCmdWndClose = 0x8082;      // command window -> main
inline constexpr int kPowerOff = 0x8084;         // System page -> main
inline constexpr int kPowerOffDone = 0x8085;     // main -> main
inline constexpr int kSensorQuery = 0x8086;      // main -> main: lParam 12
inline constexpr int kSensorChanged = 0x8087;    // main -> Adjust page
inline constexpr int kGamepadAnswered = 0x8088;  // main -> gamepad: wParam 1 executed

}  // namespace qtr90x::um
