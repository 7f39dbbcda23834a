// A line's settings as COM-PORT-OPTION requests, and the verdict on the
// server's answers to them: the part of configuring a device server that
// is the same on every system. Pure: the socket edges queue the requests,
// run the connection until AllAnswered, then ask CheckLineReplies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camlink/rfc2217_protocol.h"

namespace qzlink {

struct Rfc2217Setting {
  ComPortCommand command;
  uint32_t value;
  size_t size;  // bytes of the value on the wire
};

struct Rfc2217LineRequests {
  static constexpr size_t kCount = 5;  // baud, data size, parity, stop size, flow control
  Rfc2217Setting settings[kCount];
  bool noModemLines = false;  // the far side may go without flow control
};

// A line as the Win32 DCB gives it: parity 0..4 (none, odd, even, mark,
// space), stop bits 0..2 (one, one and a half, two).
struct Rfc2217Line {
  int32_t baudRate;
  int32_t byteSize;
  int32_t parity;
  int32_t stopBits;
};

// False when a setting is out of range (a positive baud rate, 5 to 8 data
// bits).
bool MakeLineRequests(const Rfc2217Line& line, bool noModemLines, Rfc2217LineRequests* out);

// True once the server has answered every request.
bool AllAnswered(const Rfc2217Protocol& protocol, const Rfc2217LineRequests& requests);

enum class LineVerdict { kConfirmed, kRefused, kUnanswered };

// Confirmed when the server set every value asked for. Otherwise the first
// setting it answered with another value (refused) or left unanswered, and
// a note naming it in text.
LineVerdict CheckLineReplies(const Rfc2217Protocol& protocol, const Rfc2217LineRequests& requests,
                             char* text, size_t textSize);

}  // namespace qzlink
