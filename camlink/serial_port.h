// The session's serial line behind a small interface, so that the session can
// run against a fake in tests and a Win32 backend can sit beside the POSIX one.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace qzlink {

// System codes that the session itself records: the platform's own for a
// frame that had not left the line within its write time-out, a camera that
// does not assert CTS at open, a failed line without a code of its own, and a
// port that is not open.
#ifdef _WIN32
inline constexpr int kSystemTimedOut = 1121;       // ERROR_COUNTER_TIMEOUT
inline constexpr int kSystemNoDevice = 1167;       // ERROR_DEVICE_NOT_CONNECTED
inline constexpr int kSystemIoFailure = 31;        // ERROR_GEN_FAILURE
inline constexpr int kSystemBadHandle = 6;         // ERROR_INVALID_HANDLE
inline constexpr int kSystemInvalidArgument = 87;  // ERROR_INVALID_PARAMETER
#else
inline constexpr int kSystemTimedOut = ETIMEDOUT;
inline constexpr int kSystemNoDevice = ENODEV;
inline constexpr int kSystemIoFailure = EIO;
inline constexpr int kSystemBadHandle = EBADF;
inline constexpr int kSystemInvalidArgument = EINVAL;
#endif

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
// values on POSIX, Win32 error codes on Windows); 0 means success.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens COM<portNumber> for exclusive use, leaving its line settings as
  // they are. Returns 0 or a system error code (EBUSY while another live
  // process holds the device; the hold ends when that process does); on
  // failure the port stays closed.
  virtual int Open(int32_t portNumber) = 0;

  // Applies the line settings to the open port and reads them back. Returns
  // 0, or EINVAL when a code is out of range or the device did not take the
  // speed, byte size, parity, stop bits or CTS flow control (a device
  // without modem lines may go without flow control), or another system
  // error code. The session calls it only once the camera asserts CTS.
  virtual int Configure(const LineSettings& settings) = 0;

  // Releases the device. Harmless when closed.
  virtual void Close() = 0;

  virtual bool IsOpen() const = 0;

#ifdef _WIN32
  // Waits (on the reader thread) for a communications event or until
  // wakeEvent, a Win32 event, is set. Returns 1 when input may be queued, 0
  // when woken or closed, or a negated system error code when the line
  // failed. A failed wait that leaves the line usable counts as 1: the reader
  // then reads what is queued.
  virtual int WaitForInput(void* wakeEvent) = 0;
#else
  // A descriptor that becomes readable when input is queued or the line
  // fails, for the reader to wait on; -1 while closed.
  virtual int ReadableFd() const = 0;
#endif

  // Reads what is queued, at most capacity bytes. Returns the number of
  // bytes, 0 when nothing is queued, or a negated system error code when the
  // device failed (a hang-up gives -EIO).
  virtual int Read(uint8_t* data, size_t capacity) = 0;

  // Queues every byte for transmission, giving up once timeoutMs have passed
  // (0: no limit). Returns 0 when all bytes are queued (not yet sent: see
  // PendingOutput), ETIMEDOUT when the time-out cut the write short, EBADF
  // when the port is closed, or another system error code.
  virtual int Write(const uint8_t* data, size_t length, int timeoutMs) = 0;

  // How many written bytes have not yet left the line (the driver's output
  // queue, and where the device tells, the transmitter). The session polls it
  // to return from a command only once its frame is on the line. A device
  // that cannot tell reports 0. Returns 0 or a system error code.
  virtual int PendingOutput(size_t* count) = 0;

  // Discards the written bytes that have not left yet, so that a frame cut
  // short by its time-out is not followed by the next one.
  virtual void DiscardOutput() = 0;

  // Reads the modem status lines as kModem* bits. Returns 0 or a system
  // error code (the word is then untouched).
  virtual int ReadModemStatus(uint32_t* status) = 0;

  // Raises (true) or drops (false) DTR, then RTS; ignored where the device
  // has no such lines.
  virtual void SetControlLines(bool raised) = 0;

  // At open: discards the input queued before the session, and output only
  // where some is still pending (as DiscardOutput). What the far end has not
  // read yet of an earlier session's frames stays: they were reported as
  // sent. Closing never discards anything.
  virtual void Purge() = 0;
};

}  // namespace qzlink
