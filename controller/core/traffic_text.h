// TrafficText: a frame as upper-case hex bytes separated by single blanks,
// "FF 30 30 00 8F 31 EF". Answers are matched to commands by substrings of
// these texts.
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

// AnswerCode: the two code bytes of an answer, characters 9 to 13 of its
// text ("30 30" when there is no error). Empty for an answer too short to
// carry them.
std::string_view AnswerCode(std::string_view answer);

}  // namespace qtr90x
