// Reading values out of a camera answer given as hex text ("FF 30 30 ..."):
// the first five tokens are the header and the two answer-code bytes, the
// rest is data, one character per token, except any "EF" token.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtr90x {

// 0..15 for a hexadecimal digit of either case, -1 for any other character.
int HexDigit(char c);

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

struct DisplayStatus {
  bool onScreen;
  bool secondDisplay;
  int dateDisplay;  // 8, 9 or 7
  int timeDisplay;  // 5, 6 or 4
};

// The 4-digit status word; only its low byte carries the display flags.
DisplayStatus DecodeDisplayStatus(std::uint32_t word);

// The 2-digit LED status; returns `current` for a combination with no meaning.
int DecodeLedState(std::uint32_t word, int current);

// The electronic zoom answers two digits meant as decimal: 0x12 is 12.
int DecodeElectronicZoom(std::uint32_t v);

}  // namespace qtr90x
