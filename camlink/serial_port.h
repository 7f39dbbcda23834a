// The session's serial line behind a small interface, so that the session can
// run against a fake in tests and a Win32 backend can sit beside the POSIX one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qzlink {

// Line settings as a client passes them to QzOpen: the baud rate and the
// DCB codes for byte size (5 to 8), parity (0 none, 1 odd, 2 even, 3 mark,
// 4 space) and stop bits (0 one, 1 one and a half, 2 two).
struct LineSettings {
  int32_t baudRate = 0;
  int32_t byteSize = 8;
  int32_t parity = 0;
  int32_t stopBits = 0;
};

// Modem status bits, as QzGetStatus reports them.
inline constexpr uint32_t kModemCts = 0x10;
inline constexpr uint32_t kModemDsr = 0x20;
inline constexpr uint32_t kModemRing = 0x40;
inline constexpr uint32_t kModemRlsd = 0x80;

// Results that carry a system error code use the platform's codes (errno
// values on POSIX); 0 means success.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens COM<portNumber> for exclusive use and applies the line settings.
  // Returns 0 or a system error code; on failure the port stays closed.
  virtual int Open(int32_t portNumber, const LineSettings& settings) = 0;

  // Releases the device. Harmless when closed.
  virtual void Close() = 0;

  virtual bool IsOpen() const = 0;

  // A descriptor that becomes readable when input is queued or the line
  // fails, for the reader to wait on; -1 while closed.
  virtual int ReadableFd() const = 0;

  // Reads what is queued, at most capacity bytes. Returns the number of
  // bytes, 0 when nothing is queued, or a negated system error code when the
  // device failed (a hang-up gives -EIO).
  virtual int Read(uint8_t* data, size_t capacity) = 0;

  // Writes every byte, giving up once timeoutMs have passed (0: no limit).
  // Returns 0 when all bytes left, ETIMEDOUT when the time-out cut the write
  // short, EBADF when the port is closed, or another system error code.
  virtual int Write(const uint8_t* data, size_t length, int timeoutMs) = 0;

  // Reads the modem status lines as kModem* bits. Returns 0 or a system
  // error code (the word is then untouched).
  virtual int ReadModemStatus(uint32_t* status) = 0;

  // Raises (true) or drops (false) DTR, then RTS; ignored where the device
  // has no such lines.
  virtual void SetControlLines(bool raised) = 0;

  // Discards whatever is queued in both directions.
  virtual void Purge() = 0;
};

}  // namespace qzlink
