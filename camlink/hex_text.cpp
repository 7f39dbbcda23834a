#include "camlink/hex_text.h"

namespace qzlink {

size_t FormatTrafficText(const uint8_t* frame, size_t length, char* out, size_t outSize) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  static constexpr size_t kCutMarkLength = 2;  // ".."
  if (out == nullptr || outSize == 0) {
    return 0;
  }
  const size_t fullLength = length == 0 ? 0 : 3 * length - 1;
  const bool fits = fullLength + 1 <= outSize;
  // When the text is cut, keep room for the cut mark and the terminator.
  const size_t limit = fits ? outSize : (outSize > kCutMarkLength ? outSize - kCutMarkLength : 0);
  size_t pos = 0;
  for (size_t i = 0; i < length; ++i) {
    const size_t needed = (i == 0 ? 2 : 3);
    if (pos + needed + 1 > limit) {
      break;
    }
    if (i > 0) {
      out[pos++] = ' ';
    }
    out[pos++] = kDigits[frame[i] >> 4];
    out[pos++] = kDigits[frame[i] & 0x0F];
  }
  if (!fits && pos + kCutMarkLength + 1 <= outSize) {
    out[pos++] = '.';
    out[pos++] = '.';
  }
  out[pos] = '\0';
  return pos;
}

}  // namespace qzlink
