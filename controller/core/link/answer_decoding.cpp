#include "core/link/answer_decoding.h"

#include <cstring>

namespace qtr90x {

namespace {

bool IsKnownCharacter(int c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
    return true;
  return c != 0 && std::strchr(" !()+-./:;<>?_", c) != nullptr;
}

constexpr std::uint8_t kTerminator = 0xEF;

}  // namespace

int HexDigit(int c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

int AnswerFrame::Address() const {
  if (bytes_.size() < 3 || bytes_[2] < '0' || bytes_[2] > '9')
    return -1;
  return bytes_[2] - '0';
}

bool AnswerFrame::HasData() const {
  for (std::size_t i = 5; i < bytes_.size(); ++i) {
    if (bytes_[i] != kTerminator)
      return true;
  }
  return false;
}

std::optional<std::string> AnswerFrame::DataText() const {
  if (bytes_.size() < 5)
    return std::nullopt;
  std::string text;
  for (std::size_t i = 5; i < bytes_.size(); ++i) {
    const int c = bytes_[i];
    if (c == kTerminator)
      continue;
    text.push_back(IsKnownCharacter(c) ? static_cast<char>(c) : '\xFF');
  }
  return text;
}

std::optional<std::uint32_t> AnswerFrame::Value() const {
  if (bytes_.size() < 5)
    return std::nullopt;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (std::size_t i = 5; i < bytes_.size(); ++i) {
    if (bytes_[i] == kTerminator)
      continue;
    const int d = HexDigit(bytes_[i]);
    if (d < 0 || ++digits > 8)
      return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  if (digits == 0)
    return std::nullopt;
  return value;
}

std::optional<std::uint32_t> AnswerFrame::Word(std::size_t digits) const {
  std::size_t count = 0;
  for (std::size_t i = 5; i < bytes_.size(); ++i)
    count += bytes_[i] != kTerminator ? 1 : 0;
  if (count != digits)
    return std::nullopt;
  return Value();
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
