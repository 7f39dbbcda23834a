// The worker side of a line owned in a process of its own: one LineHost,
// driven by JSON lines on standard input (wire.h); the line's state after
// every change, the results and notifications on standard output. When its
// input ends (qzlinkd has gone, however) or on SIGTERM, it stops the moving
// cameras and exits.
#pragma once

namespace qzlinkd {

int RunLineWorker(int line);

}  // namespace qzlinkd
