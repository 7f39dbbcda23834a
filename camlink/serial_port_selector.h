// The session's one serial port, choosing its backend at each open: a
// network port when COMn's target (port_mapping.h) is an rfc2217:// address
// (over POSIX sockets, or Winsock on Windows), else the POSIX terminal device
// (the Win32 communications device on Windows).
#pragma once

#include "camlink/serial_port.h"
#ifdef _WIN32
#include "camlink/win32_rfc2217_serial_port.h"
#include "camlink/win32_serial_port.h"
#else
#include "camlink/posix_serial_port.h"
#include "camlink/rfc2217_serial_port.h"
#endif

namespace qzlink {

class SerialPortSelector final : public SerialPort {
 public:
  int Open(int32_t portNumber) override;
  int Configure(const LineSettings& settings) override { return active_->Configure(settings); }
  void Close() override { active_->Close(); }
  bool IsOpen() const override { return active_->IsOpen(); }
#ifdef _WIN32
  int WaitForInput(void* wakeEvent) override {
    return active_->WaitForInput(wakeEvent);
  }
#else
  int ReadableFd() const override {
    return active_->ReadableFd();
  }
#endif
  int Read(uint8_t* data, size_t capacity) override {
    return active_->Read(data, capacity);
  }
  int Write(const uint8_t* data, size_t length, int timeoutMs) override {
    return active_->Write(data, length, timeoutMs);
  }
  int PendingOutput(size_t* count) override {
    return active_->PendingOutput(count);
  }
  void DiscardOutput() override {
    active_->DiscardOutput();
  }
  int ReadModemStatus(uint32_t* status) override {
    return active_->ReadModemStatus(status);
  }
  void SetControlLines(bool raised) override {
    active_->SetControlLines(raised);
  }
  void Purge() override {
    active_->Purge();
  }

 private:
#ifdef _WIN32
  Win32SerialPort local_;
  Win32Rfc2217SerialPort network_;
#else
  PosixSerialPort local_;
  Rfc2217SerialPort network_;
#endif
  SerialPort* active_ = &local_;
};

}  // namespace qzlink
