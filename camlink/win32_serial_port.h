// The serial line on a Win32 communications device.
//
// COMn opens the device that port_mapping.h resolves it to ("COMn" unless
// mapped), through CreateFileA with overlapped I/O and no sharing: Windows
// refuses a port that another handle holds (ERROR_ACCESS_DENIED). The line
// gets the client's baud rate, byte size, parity and stop bits, CTS output
// flow control, RTS and DTR raised, no XON/XOFF, 4096-byte driver queues and
// EV_RXCHAR as the event mask. Reads take only what ClearCommError reports
// queued, so they complete at once. A write waits for WriteFile to complete,
// bounded by the write time-out (the COMMTIMEOUTS total, 2 ms per byte at
// 9600 baud and 1 ms at the higher rates, and the same bound on the wait
// itself); PendingOutput is the driver's output queue (cbOutQue).
//
// Results are Win32 error codes. A driver that cannot report the modem lines
// (ERROR_NOT_SUPPORTED, as Wine gives on a pseudo-terminal) reports CTS as
// asserted, so that it counts as a present camera, as on POSIX.
//
// Closing drops nothing that was reported sent: output is not purged (a
// command returns only once its frame has left the driver), input is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "camlink/serial_port.h"
#include "platform/win32_types.h"

namespace qzlink {

// The name CreateFileA opens for a port target: "COM12" and "COM3" become
// "\\.\COM12" and "\\.\COM3" (needed above COM9), a name already starting
// with "\\" is used as it stands.
std::string Win32DeviceName(const char* target);

// The write time-out in ms per byte for baudRate: 19200 / baud, at least 1,
// so that a camera holding CTS low can never block a write for good.
uint32_t WriteTimeoutPerByte(int32_t baudRate);

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort();
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  int Open(int32_t portNumber) override;
  int Configure(const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return handle_ != nullptr; }
  int WaitForInput(void* wakeEvent) override;
  int Read(uint8_t* data, size_t capacity) override;
  int Write(const uint8_t* data, size_t length, int timeoutMs) override;
  int PendingOutput(size_t* count) override;
  void DiscardOutput() override;
  int ReadModemStatus(uint32_t* status) override;
  void SetControlLines(bool raised) override;
  void Purge() override;

 private:
  // Opens target (a Win32 device name) itself; Open resolves COMn first.
  int OpenDevice(const char* target);

  void* handle_ = nullptr;  // the port; null while closed
  // The reader's communications wait, which may stay pending between calls
  // of WaitForInput; its block outlives every request on the handle.
  OVERLAPPED waitRequest_{};
  DWORD waitMask_ = 0;
  bool waitPending_ = false;
  // Manual-reset events of the three overlapped requests: the reader's wait
  // and read, the client's write. Created once, for the object's life.
  void* waitEvent_ = nullptr;
  void* readEvent_ = nullptr;
  void* writeEvent_ = nullptr;
};

}  // namespace qzlink
