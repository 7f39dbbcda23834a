// The serial line on a POSIX terminal device.
//
// COMn is the device that port_mapping.h resolves it to. The device is
// opened non-blocking and for exclusive use: an exclusive flock, which other
// sessions and cooperating programs honour and which dies with its holder.
// A held lock, or a terminal that another program put in exclusive mode
// (TIOCEXCL), gives EBUSY. It is set to raw mode with
// the client's byte size, parity and stop bits, CTS output flow control, no
// XON/XOFF, and one of 9600, 14400, 19200 or 38400 baud. One and a half stop
// bits cannot be expressed in termios and are mapped to two.
//
// A device without modem lines (TIOCMGET fails with ENOTTY or EINVAL, as on a
// pseudo-terminal) reports CTS as asserted, so that it counts as a present
// camera.
//
// A write returns when the frame is in the driver's output queue; the time-out
// covers waiting for room in that queue. PendingOutput then tells how much of
// it has not left the line yet (TIOCOUTQ, and the UART's transmitter where
// TIOCSERGETLSR reads it).
//
// Configure reads the settings back and refuses (EINVAL) a speed, framing or
// CTS flow control that the driver did not take; only a device without modem
// lines may go without flow control.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camlink/serial_port.h"

struct termios;

namespace qzlink {

// Sets t for raw transfer with the client's byte size, parity and stop bits,
// CTS output flow control and no XON/XOFF (the speed is set apart). Returns 0,
// or EINVAL for a code outside the DCB ranges (t is then untouched).
int ApplyLineSettings(const LineSettings& settings, termios& t);

// Writes the device path of COM<portNumber> into out. Returns false when it
// does not fit (out then holds an empty string).
bool DevicePathForPort(int32_t portNumber, char* out, size_t outSize);

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override { Close(); }
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  int Open(int32_t portNumber) override;
  int Configure(const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  int ReadableFd() const override { return fd_; }
  int Read(uint8_t* data, size_t capacity) override;
  int Write(const uint8_t* data, size_t length, int timeoutMs) override;
  int PendingOutput(size_t* count) override;
  void DiscardOutput() override;
  int ReadModemStatus(uint32_t* status) override;
  void SetControlLines(bool raised) override;
  void Purge() override;

 private:
  int fd_ = -1;
};

}  // namespace qzlink
