#include "qzlinkd/line_host.h"

#include <cstdio>

namespace qzlinkd {

namespace {
constexpr int kOpenRetryMs = 2000;
}

LineHost::LineHost(int line, QObject* parent)
    : QObject(parent), line_(line), backend_(link_, line) {
  retry_.setInterval(kOpenRetryMs);
  connect(&retry_, &QTimer::timeout, this, [this] {
    if (link_.Connected() || link_.LinkLost()) {
      retry_.stop();
      return;
    }
    if (link_.Open(line_))
      retry_.stop();
  });
}

LineHost::~LineHost() {
  link_.Shutdown();
}

void LineHost::Open() {
  if (link_.Open(line_))
    return;
  std::fprintf(stderr, "qzlinkd: COM%d: %s; trying again every 2 s\n", line_,
               qPrintable(link_.OpenFailureReason()));
  retry_.start();
}

}  // namespace qzlinkd
