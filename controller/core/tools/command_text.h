// The Input Command window's text: a command frame typed as hex digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qtr90x {

// At most this many characters of the typed text are read.
inline constexpr int kCommandTextMaxLength = 63;
inline constexpr int kCommandHistoryMax = 50;

// The text without its blanks, as it is sent and kept in the history.
std::string RemoveBlanks(std::string_view text);

// The bytes of a blank-free text: two hex digits per byte, a single digit at
// the end is the high half of a last byte ("ABC" gives AB C0). Nullopt when a
// character is not a hex digit: such text is refused rather than turned into
// arbitrary bytes. Empty text gives no bytes.
std::optional<std::vector<std::uint8_t>> ParseCommandBytes(std::string_view text);

}  // namespace qtr90x
