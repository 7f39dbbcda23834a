// The debug window's line types: each names its "sts" label and its colour.
// The error evaluation of an answer code gives 2..5 or 10.
#pragma once

namespace qtr90x {

enum DebugLineType : int {
  kLineSend = 0,
  kLineAck = 1,
  kLineError = 2,  // also 3, 4 and 10, by the answer's code
  kLineFatal = 5,
  kLineNotify = 6,
  kLineRemoteOn = 7,
  kLineRemoteOff = 8,
  kLineGlobalNotify = 9,
  kLineDetect = 11,
};

}  // namespace qtr90x
