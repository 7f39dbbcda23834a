#include "core/ports/open_failure.h"

#include <cerrno>
#include <cstring>

namespace qtr90x {

namespace {

// Library error codes (qzlink.h); repeated here so the core stays free of it.
constexpr int kErrSystem = -1;
constexpr int kErrBaudRate = -2;
constexpr int kErrPortBusy = -3;

}  // namespace

std::string OpenFailureReason(int errorCode, int systemCode) {
  switch (errorCode) {
    case kErrPortBusy:
      return "The port is in use by another program, or is not a port of this computer.";
    case kErrBaudRate:
      return "The line speed is not supported.";
    case kErrSystem:
      break;
    default:
      return {};
  }
  switch (systemCode) {
    case ENOENT:
    case ENXIO:
      return "No such device: check that the port exists and is connected.";
    case EACCES:
    case EPERM:
      return "Permission denied: the user may not open this serial device "
             "(membership of its group, usually dialout, is needed).";
    case EBUSY:
      return "The port is in use by another program.";
    case ENODEV:
      return "No camera is connected: the line shows no CTS signal.";
    case ENOTTY:
      return "The device is not a serial port.";
    case EINVAL:
      return "The serial device does not accept the line settings (9600 baud, 8 data bits, "
             "no parity, one stop bit, CTS flow control).";
    case ETIMEDOUT:
      return "The device did not answer in time.";
    case ECONNREFUSED:
      return "The device server refused the connection.";
    case EUCLEAN:  // qzlink::kPortMappingUnreadable
      return "The target of this port is not known: the settings file could not be read in "
             "full and may hold it in a line that could not be read. Mend the file, or choose "
             "the port's target again (Port -> Ports...).";
    case 0:
      return {};
    default:
      return std::string("System error: ") + std::strerror(systemCode) + ".";
  }
}

std::string LostLineReason(int systemCode) {
  switch (systemCode) {
    case EIO:
    case ENXIO:
    case ENODEV:
      return "the device hung up or was unplugged";
    case ECONNRESET:
    case EPIPE:
      return "the device server ended the connection";
    case ETIMEDOUT:
      return "the network stopped answering";
    default:
      return std::string("system error: ") + std::strerror(systemCode);
  }
}

}  // namespace qtr90x
