// The network address of a serial port on a device server, as QZLINK_COMn
// gives it:
//
//   rfc2217://HOST:PORT[?OPTION[&OPTION...]]
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets. Options:
//   modem=none     the far side has no modem lines (a pseudo-terminal behind
//                  the server): CTS counts as asserted, as for a local
//                  pseudo-terminal, and the line runs without CTS flow control
//   timeout=MS     the bound on name resolution, connecting and each wait for
//                  the server's answers (default 2000, 1 to 60000)
#pragma once

#include <cstddef>

namespace qzlink {

inline constexpr char kRfc2217Scheme[] = "rfc2217://";
inline constexpr int kRfc2217DefaultTimeoutMs = 2000;

struct Rfc2217Address {
  char host[256] = {};
  char port[8] = {};
  bool noModemLines = false;
  int timeoutMs = kRfc2217DefaultTimeoutMs;
};

// True when text starts with the rfc2217:// scheme.
bool IsRfc2217Address(const char* text);

// Parses text into out. False for anything malformed: no host or port, a
// port outside 1 to 65535, an unknown option.
bool ParseRfc2217Address(const char* text, Rfc2217Address& out);

}  // namespace qzlink
