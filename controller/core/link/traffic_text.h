// TrafficText: a frame as upper-case hex bytes separated by single blanks,
// "FF 30 30 00 8F 31 EF": how the debug window shows every frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qtr90x {

// The library delivers frames of at most 40 bytes and last commands of at
// most 50; the text of `size` bytes is 3 * size - 1 characters, whatever the
// size, so no frame is ever cut.
std::string TrafficText(const std::uint8_t* bytes, std::size_t size);

}  // namespace qtr90x
