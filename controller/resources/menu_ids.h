// Menu (resource 129) and accelerator (resource 252) command ids.
#pragma once

namespace qtr90x::cmd {

inline constexpr int kConnect = 32771;
inline constexpr int kExit = 32772;
inline constexpr int kPortCom1 = 32776;  // COM1..COM4 are 32776..32779
inline constexpr int kPortCom4 = 32779;
inline constexpr int kPresetName = 32790;   // Ctrl+P
inline constexpr int kSendCommand = 32791;  // Ctrl+S
inline constexpr int kPorts = 32792;        // Port -> Ports...
inline constexpr int kAbout = 32775;
inline constexpr int kSystemAbout = 16;  // system menu commands 16..31 open About

inline constexpr const char* kPresetNameShortcut = "Ctrl+P";
inline constexpr const char* kSendCommandShortcut = "Ctrl+S";

}  // namespace qtr90x::cmd
