// Reading a camera answer straight from its bytes: FE 30 <address> <two code
// characters> <data characters> EF. The data are ASCII characters; values are
// hex digits read as one number, the unit name is text. The status words the
// camera reports are decoded here too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qtr90x {

// 0..15 for a hexadecimal digit of either case, -1 for any other character.
int HexDigit(int c);

class AnswerFrame {
 public:
  explicit AnswerFrame(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  // The camera address of byte 2 ('0'..'9' -> 0..9), -1 for anything else.
  int Address() const;
  // The code characters ("00" means executed); 0 when the frame is too short.
  std::uint8_t CodeFirst() const { return bytes_.size() >= 5 ? bytes_[3] : 0; }
  std::uint8_t CodeSecond() const { return bytes_.size() >= 5 ? bytes_[4] : 0; }
  bool Executed() const { return CodeFirst() == '0' && CodeSecond() == '0'; }
  // The data characters: everything after the code, any 0xEF left out.
  bool HasData() const;

  // The data characters, each outside the 76 the camera uses turned into
  // 0xFF. Nullopt when there is no code.
  std::optional<std::string> DataText() const;
  // The data read as one hexadecimal number. Nullopt when there is no data,
  // more than 8 characters, or a character that is not a hex digit: the
  // caller keeps its state.
  std::optional<std::uint32_t> Value() const;
  // The same, only for exactly `digits` data characters (a status word).
  std::optional<std::uint32_t> Word(std::size_t digits) const;

 private:
  std::span<const std::uint8_t> bytes_;
};

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
