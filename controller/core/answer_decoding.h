// Reading values out of a camera answer given as hex text ("FF 30 30 ..."):
// the first five tokens are the header and the two answer-code bytes, the
// rest is data, one character per token, except any "EF" token.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtr90x {

// The data characters of an answer; a token for a character outside the
// 76 the camera uses becomes 0xFF. Nullopt for a token that is not hex.
std::optional<std::string> AnswerDataText(std::string_view answer);

// The data characters read as one hexadecimal number. Nullopt when there is
// no data or a character is not a hex digit: the caller keeps its state.
std::optional<std::uint32_t> AnswerValue(std::string_view answer);

struct ExtendedStatus {
  bool focusAuto;
  bool localMode;
  bool pedestalInitialised;
  bool cameraPower;
  bool wbLock;
  bool exposureAuto;
  bool flickerless;
};

ExtendedStatus DecodeExtendedStatus(std::uint32_t bits);

}  // namespace qtr90x
