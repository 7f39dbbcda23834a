// Frames as hex text ("FF 30 30 00 8F 31 EF") for traces and tools. Pure:
// no I/O.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qzlink {

// Writes a frame as upper-case hex bytes separated by single blanks
// ("FF 30 30 00 8F 31 EF") into out, always terminated. When the whole text
// does not fit, the bytes that fit are followed by ".." (as room allows).
// Returns the text length.
size_t FormatTrafficText(const uint8_t* frame, size_t length, char* out, size_t outSize);

}  // namespace qzlink
