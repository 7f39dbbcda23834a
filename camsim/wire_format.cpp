#include "camsim/wire_format.h"

namespace camsim {

bool FrameReader::Push(uint8_t byte) {
  bool terminator = byte == kTerminator;
  if (!overflow_ && size_ < buffer_.size()) {
    buffer_[size_++] = byte;
    if (!terminator) {
      return false;
    }
    frameSize_ = size_;
    size_ = 0;
    return true;
  }
  // Longer than any frame: drop the run up to and including its terminator.
  overflow_ = !terminator;
  size_ = 0;
  if (terminator) {
    ++dropped_;
  }
  return false;
}

std::optional<CommandFrame> ParseCommandFrame(std::span<const uint8_t> frame) {
  if (frame.size() < 6 || frame[0] != kCommandStart || frame[1] != '0' || frame[2] < '0' ||
      frame[2] > '9' || frame[3] != 0x00 || frame.back() != kTerminator) {
    return std::nullopt;
  }
  CommandFrame result;
  result.address = frame[2] - '0';
  result.command = frame[4];
  result.args.assign(frame.begin() + 5, frame.end() - 1);
  return result;
}

Bytes BuildAnswer(uint8_t addressChar, Code code, std::string_view data) {
  Bytes frame{kAnswerStart, '0', addressChar, static_cast<uint8_t>(code[0]),
              static_cast<uint8_t>(code[1])};
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(kTerminator);
  return frame;
}

Bytes BuildFrame(uint8_t first, int address, std::string_view body) {
  Bytes frame{first, '0', static_cast<uint8_t>('0' + address)};
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(kTerminator);
  return frame;
}

std::string Hex(uint32_t value, int width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(static_cast<size_t>(width), '0');
  for (int i = width - 1; i >= 0; --i) {
    text[static_cast<size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return text;
}

std::string Dec(unsigned value, int width) {
  std::string text(static_cast<size_t>(width), '0');
  for (int i = width - 1; i >= 0; --i) {
    text[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return text;
}

namespace {

std::optional<uint32_t> ParseDigits(std::string_view text, uint32_t base) {
  if (text.empty() || text.size() > 8) {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (char c : text) {
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else {
      return std::nullopt;
    }
    if (digit >= base) {
      return std::nullopt;
    }
    value = value * base + digit;
  }
  return value;
}

}  // namespace

std::optional<uint32_t> ParseHex(std::string_view text) {
  return ParseDigits(text, 16);
}
std::optional<uint32_t> ParseDec(std::string_view text) {
  return ParseDigits(text, 10);
}

std::optional<int> ParseHex16(std::string_view text) {
  if (text.size() != 4) {
    return std::nullopt;
  }
  auto value = ParseHex(text);
  if (!value) {
    return std::nullopt;
  }
  return static_cast<int>(static_cast<int16_t>(static_cast<uint16_t>(*value)));
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty()) {
      text += ' ';
    }
    text += Hex(b, 2);
  }
  return text;
}

}  // namespace camsim
