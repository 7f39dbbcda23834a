#include "core/answer_decoding.h"

#include <cstring>
#include <vector>

namespace qtr90x {

namespace {

bool IsKnownCharacter(int c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
    return true;
  return c != 0 && std::strchr(" !()+-./:;<>?_", c) != nullptr;
}

std::vector<std::string_view> SplitAtBlanks(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ')
      ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ')
      ++i;
    if (i > start)
      tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

}  // namespace

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::optional<std::string> AnswerDataText(std::string_view answer) {
  const std::vector<std::string_view> tokens = SplitAtBlanks(answer);
  std::string text;
  for (std::size_t i = 5; i < tokens.size(); ++i) {
    const std::string_view t = tokens[i];
    if (t.size() != 2)
      return std::nullopt;
    const int hi = HexDigit(t[0]);
    const int lo = HexDigit(t[1]);
    if (hi < 0 || lo < 0)
      return std::nullopt;
    const int c = hi * 16 + lo;
    if (c == 0xEF)
      continue;
    text.push_back(IsKnownCharacter(c) ? static_cast<char>(c) : '\xFF');
  }
  return text;
}

std::optional<std::uint32_t> AnswerValue(std::string_view answer) {
  const std::optional<std::string> text = AnswerDataText(answer);
  if (!text || text->empty() || text->size() > 8)
    return std::nullopt;
  std::uint32_t value = 0;
  for (char c : *text) {
    const int d = HexDigit(c);
    if (d < 0)
      return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return value;
}

ExtendedStatus DecodeExtendedStatus(std::uint32_t bits) {
  const auto bit = [bits](int n) { return ((bits >> n) & 1u) != 0; };
  return ExtendedStatus{
      .focusAuto = !bit(1),
      .localMode = bit(6) && bit(18),
      .pedestalInitialised = !bit(4),
      .cameraPower = !bit(5),
      .wbLock = bit(12),
      .exposureAuto = !bit(13),
      .flickerless = !bit(2) && bit(3),
  };
}

DisplayStatus DecodeDisplayStatus(std::uint32_t word) {
  const auto bit = [word](int n) { return ((word >> n) & 1u) != 0; };
  return DisplayStatus{
      .onScreen = bit(7),
      .secondDisplay = bit(6),
      .dateDisplay = bit(4) ? 8 : (bit(5) ? 9 : 7),
      .timeDisplay = bit(2) ? 5 : (bit(3) ? 6 : 4),
  };
}

int DecodeLedState(std::uint32_t word, int current) {
  const bool b0 = (word & 1u) != 0;
  const bool b1 = (word & 2u) != 0;
  if ((word & 0xF0u) == 0)
    return 2;
  if (b0 && !b1)
    return 1;
  if (!b0 && b1)
    return 3;
  if (b0 && b1)
    return 4;
  return current;
}

int DecodeElectronicZoom(std::uint32_t v) {
  return static_cast<int>((v % 16) + (v / 16) * 10);
}

}  // namespace qtr90x
