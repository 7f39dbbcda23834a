// The debug window's log: row types, labels and colours.
#pragma once

#include <array>
#include <cstdint>

namespace qtr90x {

inline constexpr int kDebugLogMaxRows = 1024;

// The longest frame the library hands out with QzGetMsg.
inline constexpr int kMaxMessageBytes = 40;

struct Rgb {
  int red;
  int green;
  int blue;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kSelectedRowText{255, 255, 255};
inline constexpr Rgb kSelectedRowBackground{0, 0, 100};
inline constexpr Rgb kRowBackground{255, 255, 255};

// String id of the "sts" label of a line type (0 send, 1 ack, 2 to 4 and 10
// error, 5 fatal error, 6 notify, 7 remote on, 8 remote off, 9 global
// notify, 11 detect).
int DebugLabelStringId(int type);

Rgb DebugTextColour(int type);

// The line type of each row, parallel to the rows: at most 1024, the oldest
// dropped first.
class DebugLogTypes {
 public:
  // Returns true when the oldest row was dropped to make room.
  bool Append(std::uint8_t type);
  void Clear();
  int Count() const { return count_; }
  std::uint8_t TypeAt(int row) const { return types_[(first_ + row) % kDebugLogMaxRows]; }

 private:
  std::array<std::uint8_t, kDebugLogMaxRows> types_{};
  int first_ = 0;
  int count_ = 0;
};

}  // namespace qtr90x
