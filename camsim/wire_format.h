// The camera's side of the serial protocol: cutting the byte stream into
// frames, reading command frames, and building answer and notification frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "camsim/sim_types.h"

namespace camsim {

inline constexpr uint8_t kCommandStart = 0xFF;
inline constexpr uint8_t kTerminator = 0xEF;
inline constexpr uint8_t kAnswerStart = 0xFE;
inline constexpr uint8_t kNotifyStart = 0xFA;
inline constexpr uint8_t kDetectStart = 0xFB;
inline constexpr uint8_t kRemoteOnStart = 0xFD;
inline constexpr uint8_t kRemoteOffStart = 0xFC;
inline constexpr uint8_t kGlobalNotifyStart = 0xF8;

// The longest command frame is 15 bytes; anything much longer is garbage.
inline constexpr size_t kMaxFrameBytes = 64;

// Collects received bytes into frames, each ending with 0xEF. At most
// kMaxFrameBytes are kept: a longer run is dropped up to and including its
// terminator, so a flood without 0xEF never grows memory.
class FrameReader {
 public:
  // Takes one byte; true when it completed a frame, which Frame() then holds
  // until the next call.
  bool Push(uint8_t byte);
  std::span<const uint8_t> Frame() const { return {buffer_.data(), frameSize_}; }
  uint64_t DroppedFrames() const { return dropped_; }
  size_t Pending() const { return size_; }

 private:
  std::array<uint8_t, kMaxFrameBytes> buffer_{};
  size_t size_ = 0;
  size_t frameSize_ = 0;
  bool overflow_ = false;
  uint64_t dropped_ = 0;
};

// A command frame FF '0' <address char> 00 <command byte> <chars...> EF.
struct CommandFrame {
  int address = 0;  // 0 to 9
  uint8_t command = 0;
  std::string args;  // the characters between the command byte and EF
};

// Gives the command, or nothing when the frame is not a well-formed command
// frame (wrong start, address, fourth byte, terminator or length).
std::optional<CommandFrame> ParseCommandFrame(std::span<const uint8_t> frame);

// Two-character completion code of an answer.
using Code = std::array<char, 2>;
inline constexpr Code kDone{'0', '0'};
inline constexpr Code kBusy{'1', '0'};
inline constexpr Code kNotExecuted{'3', '0'};
inline constexpr Code kBadParameter{'5', '0'};
inline constexpr Code kBadMode{'9', '0'};

// FE '0' <address char> <code> <data> EF.
Bytes BuildAnswer(uint8_t addressChar, Code code, std::string_view data);
// <first> '0' <address char> <body> EF.
Bytes BuildFrame(uint8_t first, int address, std::string_view body);

// Uppercase hexadecimal of the low width*4 bits, zero-padded to width.
std::string Hex(uint32_t value, int width);
// Decimal, zero-padded to width.
std::string Dec(unsigned value, int width);
// Exactly the given characters as one hexadecimal / decimal number (1 to 8
// characters, nothing else allowed).
std::optional<uint32_t> ParseHex(std::string_view text);
std::optional<uint32_t> ParseDec(std::string_view text);
// Reads a signed 16-bit value sent as four hex digits (two's complement).
std::optional<int> ParseHex16(std::string_view text);

// "FE 30 31 30 30 EF": upper-case hex bytes separated by blanks.
std::string HexText(std::span<const uint8_t> bytes);

}  // namespace camsim
