#include "core/tools/command_text.h"

#include "core/link/answer_decoding.h"

namespace qtr90x {

std::string RemoveBlanks(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, kCommandTextMaxLength)) {
    if (c != ' ') {
      out += c;
    }
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> ParseCommandBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(static_cast<unsigned char>(text[i]));
    const int low = i + 1 < text.size() ? HexDigit(static_cast<unsigned char>(text[i + 1])) : 0;
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

}  // namespace qtr90x
