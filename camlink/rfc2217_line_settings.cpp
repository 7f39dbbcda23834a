#include "camlink/rfc2217_line_settings.h"

#include <cstdio>

namespace qzlink {

bool MakeLineRequests(const Rfc2217Line& line, bool noModemLines, Rfc2217LineRequests* out) {
  // Win32 DCB codes to RFC 2217 values: parity 0..4 is 1..5; stop bits 0
  // (one), 1 (one and a half), 2 (two) are 1, 3, 2.
  static constexpr uint32_t kStopSizes[] = {1, 3, 2};
  if (line.baudRate <= 0 || line.byteSize < 5 || line.byteSize > 8 || line.parity < 0 ||
      line.parity > 4 || line.stopBits < 0 || line.stopBits > 2) {
    return false;
  }
  *out = Rfc2217LineRequests{
      {
          {ComPortCommand::kSetBaudRate, static_cast<uint32_t>(line.baudRate), 4},
          {ComPortCommand::kSetDataSize, static_cast<uint32_t>(line.byteSize), 1},
          {ComPortCommand::kSetParity, static_cast<uint32_t>(line.parity) + 1, 1},
          {ComPortCommand::kSetStopSize, kStopSizes[line.stopBits], 1},
          {ComPortCommand::kSetControl,
           noModemLines ? control::kNoFlowControl : control::kHardwareFlowControl, 1},
      },
      noModemLines,
  };
  return true;
}

bool AllAnswered(const Rfc2217Protocol& protocol, const Rfc2217LineRequests& requests) {
  for (const Rfc2217Setting& s : requests.settings) {
    if (!protocol.Reply(s.command).seen) {
      return false;
    }
  }
  return true;
}

LineVerdict CheckLineReplies(const Rfc2217Protocol& protocol, const Rfc2217LineRequests& requests,
                             char* text, size_t textSize) {
  for (const Rfc2217Setting& s : requests.settings) {
    if (s.command == ComPortCommand::kSetControl && requests.noModemLines) {
      continue;
    }
    const ServerReply reply = protocol.Reply(s.command);
    if (!reply.seen || reply.value != s.value) {
      std::snprintf(text, textSize, "rfc2217: setting %d asked %u, server %s %u",
                    static_cast<int>(s.command), static_cast<unsigned>(s.value),
                    reply.seen ? "set" : "silent", static_cast<unsigned>(reply.value));
      return reply.seen ? LineVerdict::kRefused : LineVerdict::kUnanswered;
    }
  }
  return LineVerdict::kConfirmed;
}

}  // namespace qzlink
