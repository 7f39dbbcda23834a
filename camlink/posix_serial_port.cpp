#include "camlink/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "camlink/custom_baud_rate.h"
#include "camlink/port_mapping.h"

namespace qzlink {

int ApplyLineSettings(const LineSettings& settings, termios& t) {
  static constexpr tcflag_t kByteSizes[] = {CS5, CS6, CS7, CS8};
  if (settings.byteSize < 5 || settings.byteSize > 8 || settings.parity < 0 ||
      settings.parity > 4 || settings.stopBits < 0 || settings.stopBits > 2) {
    return EINVAL;
  }
  cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  t.c_cflag |= kByteSizes[settings.byteSize - 5] | CLOCAL | CREAD | CRTSCTS;
  switch (settings.parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (settings.stopBits != 0) {
    t.c_cflag |= CSTOPB;
  }
  // Non-blocking reads then give EAGAIN when nothing is queued and 0 only
  // when the line hung up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return 0;
}

namespace {

// The speed constant for a standard rate, or B0 for 14400 (set separately).
speed_t SpeedConstant(int32_t baudRate) {
  switch (baudRate) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    default:
      return B0;
  }
}

// True unless the device reports that it has no modem lines (as a
// pseudo-terminal does).
bool HasModemLines(int fd) {
  int lines = 0;
  return ioctl(fd, TIOCMGET, &lines) == 0 || (errno != ENOTTY && errno != EINVAL);
}

}  // namespace

bool DevicePathForPort(int32_t portNumber, char* out, size_t outSize) {
  return ResolvePortTarget(portNumber, out, outSize).fits;
}

int PosixSerialPort::Open(int32_t portNumber) {
  Close();
  char path[256];
  const PortTargetChoice choice = ResolvePortTarget(portNumber, path, sizeof path);
  if (!choice.readable) {
    return kPortMappingUnreadable;
  }
  if (!choice.fits) {
    return ENAMETOOLONG;
  }
  const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno;
  }
  // Another program that put the terminal in exclusive mode holds it (an
  // unprivileged open has already been refused by the terminal itself; a
  // privileged one gets through, so the flag is checked).
  int exclusive = 0;
  if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    ::close(fd);
    return EBUSY;
  }
  // Ownership is the lock: the kernel releases it when its holder dies,
  // however it dies. The terminal's exclusive flag is not used for it: a
  // pseudo-terminal keeps the flag while its master stays open, so a client
  // killed before it could clear the flag would leave the port refused.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return error;
  }
  // Only a terminal can be a serial line.
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  fd_ = fd;
  return 0;
}

int PosixSerialPort::Configure(const LineSettings& settings) {
  if (fd_ < 0) {
    return EBADF;
  }
  termios t{};
  if (tcgetattr(fd_, &t) != 0) {
    return errno;
  }
  if (const int error = ApplyLineSettings(settings, t); error != 0) {
    return error;
  }
  const speed_t speed = SpeedConstant(settings.baudRate);
  // 14400 first goes in as 9600, then termios2 sets the exact rate.
  const speed_t initial = speed == B0 ? B9600 : speed;
  cfsetispeed(&t, initial);
  cfsetospeed(&t, initial);
  if (tcsetattr(fd_, TCSANOW, &t) != 0) {
    return errno;
  }
  if (speed == B0) {
    if (const int error = SetCustomBaudRate(fd_, static_cast<uint32_t>(settings.baudRate));
        error != 0) {
      return error;
    }
  }
  // tcsetattr succeeds when the driver took any part of the settings: read
  // them back and refuse to run the line on settings the client did not ask
  // for. A device without modem lines cannot do CTS flow control and goes
  // without it.
  termios applied{};
  if (tcgetattr(fd_, &applied) != 0) {
    return errno;
  }
  constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
  const bool framingTaken = (applied.c_cflag & kFraming) == (t.c_cflag & kFraming);
  const bool speedTaken = speed == B0
                              ? ReadOutputBaudRate(fd_) == static_cast<uint32_t>(settings.baudRate)
                              : cfgetospeed(&applied) == speed;
  const bool flowTaken = (applied.c_cflag & CRTSCTS) != 0 || !HasModemLines(fd_);
  if (!framingTaken || !speedTaken || !flowTaken) {
    return EINVAL;
  }
  return 0;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) {
    return;
  }
  ::close(fd_);  // releases the lock
  fd_ = -1;
}

int PosixSerialPort::Read(uint8_t* data, size_t capacity) {
  if (fd_ < 0) {
    return -EBADF;
  }
  for (;;) {
    const ssize_t n = ::read(fd_, data, capacity);
    if (n > 0) {
      return static_cast<int>(n);
    }
    if (n == 0) {
      return -EIO;  // the line hung up
    }
    if (errno == EAGAIN) {
      return 0;
    }
    if (errno != EINTR) {
      return -errno;
    }
  }
}

int PosixSerialPort::Write(const uint8_t* data, size_t length, int timeoutMs) {
  if (fd_ < 0) {
    return EBADF;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t written = 0;
  while (written < length) {
    const ssize_t n = ::write(fd_, data + written, length - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN) {
      return errno;
    }
    // The output queue is full: wait for room, within the time-out.
    int waitMs = -1;
    if (timeoutMs > 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        return ETIMEDOUT;
      }
      waitMs = static_cast<int>(left.count());
    }
    pollfd p{fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready == 0) {
      return ETIMEDOUT;
    }
    if (ready < 0 && errno != EINTR) {
      return errno;
    }
    if (ready > 0 && (p.revents & POLLOUT) == 0) {
      return (p.revents & POLLNVAL) != 0 ? EBADF : EIO;
    }
  }
  return 0;
}

int PosixSerialPort::PendingOutput(size_t* count) {
  if (fd_ < 0) {
    return EBADF;
  }
  // TIOCOUTQ counts the driver's output queue; on a UART the transmitter may
  // still hold bytes once it is empty, which TIOCSERGETLSR tells. Devices
  // that cannot tell (a pseudo-terminal hands bytes on at once, a USB adapter
  // has no line status register) count as sent.
  int queued = 0;
  if (ioctl(fd_, TIOCOUTQ, &queued) != 0) {
    if (errno != ENOTTY && errno != EINVAL) {
      return errno;
    }
    queued = 0;
  }
  if (queued == 0) {
    unsigned int lineStatus = 0;
    if (ioctl(fd_, TIOCSERGETLSR, &lineStatus) == 0 && (lineStatus & TIOCSER_TEMT) == 0) {
      queued = 1;
    }
  }
  *count = queued > 0 ? static_cast<size_t>(queued) : 0;
  return 0;
}

void PosixSerialPort::DiscardOutput() {
  // Only when something is still pending: on a pseudo-terminal the bytes
  // written have already reached the peer's input, and a flush there would
  // drop earlier frames that were reported as sent.
  size_t pending = 0;
  if (PendingOutput(&pending) == 0 && pending > 0) {
    tcflush(fd_, TCOFLUSH);
  }
}

int PosixSerialPort::ReadModemStatus(uint32_t* status) {
  if (fd_ < 0) {
    return EBADF;
  }
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) {
    if (errno == ENOTTY || errno == EINVAL) {
      *status = kModemCts;  // no modem lines: counts as a present camera
      return 0;
    }
    return errno;
  }
  *status =
      ((lines & TIOCM_CTS) != 0 ? kModemCts : 0) | ((lines & TIOCM_DSR) != 0 ? kModemDsr : 0) |
      ((lines & TIOCM_RNG) != 0 ? kModemRing : 0) | ((lines & TIOCM_CAR) != 0 ? kModemRlsd : 0);
  return 0;
}

void PosixSerialPort::SetControlLines(bool raised) {
  if (fd_ < 0) {
    return;
  }
  const unsigned long request = raised ? TIOCMBIS : TIOCMBIC;
  for (int line : {TIOCM_DTR, TIOCM_RTS}) {
    ioctl(fd_, request, &line);
  }
}

void PosixSerialPort::Purge() {
  if (fd_ < 0) {
    return;
  }
  // Input from before the session is stale. Output is discarded only while
  // some is still pending: on a pseudo-terminal an output flush empties the
  // peer's unread input, which holds frames of earlier sessions that were
  // reported as sent.
  tcflush(fd_, TCIFLUSH);
  DiscardOutput();
}

}  // namespace qzlink
