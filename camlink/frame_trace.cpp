#include "camlink/frame_trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace qzlink {

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
#ifdef _WIN32
  const time_t seconds = now.tv_sec;
  localtime_s(&local, &seconds);
#else
  localtime_r(&now.tv_sec, &local);
#endif
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
