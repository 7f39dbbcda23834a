// Helpers for the simulator's tests: building command frames and reading
// answers exactly the way the controlling application reads them.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "camsim/sim_types.h"
#include "camsim/wire_format.h"

namespace camsim::test {

inline TimePoint At(int ms) {
  return TimePoint{} + Milliseconds(ms);
}

// FF '0' <address> 00 <command> <args> EF.
inline Bytes Command(int address, uint8_t command, std::string_view args = "") {
  Bytes frame{0xFF, '0', static_cast<uint8_t>('0' + address), 0x00, command};
  for (char c : args) {
    frame.push_back(static_cast<uint8_t>(c));
  }
  frame.push_back(0xEF);
  return frame;
}

inline std::string Text(const Bytes& frame) {
  return HexText(frame);
}

// The application's character conversion: the 76 characters it knows; any
// other token gives 0xFF.
inline char TokenChar(std::string_view token) {
  static const std::string_view kKnown =
      " !()+-./0123456789:;<>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
  auto code = ParseHex(token);
  if (code && kKnown.find(static_cast<char>(*code)) != std::string_view::npos) {
    return static_cast<char>(*code);
  }
  return static_cast<char>(0xFF);
}

// Splits the answer text at blanks; the tokens from the sixth on, except
// "EF", each become a character.
inline std::string DataChars(const Bytes& answer) {
  std::string text = Text(answer);
  std::string data;
  size_t index = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(' ', pos);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string_view token(text.data() + pos, end - pos);
    if (index++ >= 5 && token != "EF") {
      data += TokenChar(token);
    }
    pos = end + 1;
  }
  return data;
}

// The data characters read as one hexadecimal number.
inline uint32_t HexValue(const Bytes& answer) {
  return static_cast<uint32_t>(std::strtoul(DataChars(answer).c_str(), nullptr, 16));
}

// The electronic zoom answer: two digits read as decimal.
inline int ElectronicZoomValue(const Bytes& answer) {
  uint32_t v = HexValue(answer);
  return static_cast<int>(v % 16 + v / 16 * 10);
}

// The completion code as two characters.
inline std::string CodeOf(const Bytes& answer) {
  return answer.size() >= 5
             ? std::string{static_cast<char>(answer[3]), static_cast<char>(answer[4])}
             : std::string();
}

// The flags the application takes from the 5-digit extended status.
struct StatusFlags {
  bool focusAuto, local, pedestal, power, wbLock, exposureAuto, flickerless;
  bool operator==(const StatusFlags&) const = default;
};

inline StatusFlags DecodeExtendedStatus(uint32_t s) {
  auto bit = [s](int i) { return ((s >> i) & 1) != 0; };
  return {!bit(1), bit(6) && bit(18), !bit(4), !bit(5), bit(12), !bit(13), !bit(2) && bit(3)};
}

// The 4-digit status: on-screen, second display, date and time formats.
struct DisplayFlags {
  bool onScreen, second;
  int date, time;
  bool operator==(const DisplayFlags&) const = default;
};

inline DisplayFlags DecodeFourDigitStatus(uint32_t s) {
  auto bit = [s](int i) { return ((s >> i) & 1) != 0; };
  return {bit(7), bit(6), bit(4) ? 8 : bit(5) ? 9 : 7, bit(2) ? 5 : bit(3) ? 6 : 4};
}

// The 2-digit status: the LED state, or previous when the rules leave it.
inline int DecodeLedState(uint32_t s, int previous) {
  auto bit = [s](int i) { return ((s >> i) & 1) != 0; };
  if ((s & 0xF0) == 0)
    return 2;
  if (bit(0) && !bit(1))
    return 1;
  if (!bit(0) && bit(1))
    return 3;
  if (bit(0) && bit(1))
    return 4;
  return previous;
}

}  // namespace camsim::test
