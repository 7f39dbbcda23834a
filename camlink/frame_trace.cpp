#include "camlink/frame_trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

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

FrameTrace::FrameTrace() {
  const char* target = std::getenv("QZLINK_TRACE");
  if (target == nullptr || *target == '\0') {
    return;
  }
  if (std::strcmp(target, "-") == 0) {
    file_ = stderr;
    return;
  }
  file_ = std::fopen(target, "ae");  // close-on-exec: no child inherits it
  if (file_ == nullptr) {
    std::fprintf(stderr, "qzlink: cannot open trace file %s: %s\n", target, std::strerror(errno));
    return;
  }
  ownsFile_ = true;
  std::setvbuf(file_, nullptr, _IOLBF, 0);
}

FrameTrace::~FrameTrace() {
  if (ownsFile_) {
    std::fclose(file_);
  }
}

void FrameTrace::Write(TraceDirection direction, const uint8_t* frame, size_t length,
                       const char* remark) {
  // Room for the hex text of the 100-byte partial-frame buffer.
  char text[3 * 100 + 4];
  FormatTrafficText(frame, length, text, sizeof text);

  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

  const char* arrow = direction == TraceDirection::kSent       ? "send"
                      : direction == TraceDirection::kReceived ? "recv"
                                                               : "note";
  // One call per line, so lines of the reader and the client thread never mix.
  const char* separator = (text[0] != '\0' && remark != nullptr) ? " " : "";
  std::fprintf(file_, "%s.%06ld %s %s%s%s\n", stamp, now.tv_nsec / 1000, arrow, text, separator,
               remark != nullptr ? remark : "");
}

}  // namespace qzlink
