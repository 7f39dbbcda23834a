#include "camlink/win32_serial_port.h"

#include <windows.h>

#include <algorithm>

#include "camlink/port_mapping.h"

namespace qzlink {

namespace {

constexpr DWORD kQueueSize = 4096;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// Beyond the driver's own write time-out, the wait for a write is given this
// much more before it is cancelled: a driver that ignores its time-outs must
// not hold the caller either.
constexpr DWORD kWriteWaitSlackMs = 50;

int LastErrorCode() {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<int>(error) : kSystemIoFailure;
}

// A request block whose event is the given manual-reset event, reset.
OVERLAPPED Request(void* event) {
  OVERLAPPED request{};
  request.hEvent = event;
  ResetEvent(event);
  return request;
}

// Cancels this thread's pending request on handle and waits until the driver
// has let go of the request block.
void CancelAndWait(HANDLE handle, OVERLAPPED& request) {
  CancelIo(handle);
  DWORD ignored = 0;
  GetOverlappedResult(handle, &request, &ignored, TRUE);
}

}  // namespace

std::string Win32DeviceName(const char* target) {
  const std::string name = target != nullptr ? target : "";
  if (name.rfind("\\\\", 0) == 0) {
    return name;
  }
  return "\\\\.\\" + name;
}

uint32_t WriteTimeoutPerByte(int32_t baudRate) {
  if (baudRate <= 0) {
    return 1;
  }
  return std::max(1u, 19200u / static_cast<uint32_t>(baudRate));
}

Win32SerialPort::Win32SerialPort()
    : waitEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      readEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      writeEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

Win32SerialPort::~Win32SerialPort() {
  Close();
  for (void* event : {waitEvent_, readEvent_, writeEvent_}) {
    if (event != nullptr) {
      CloseHandle(event);
    }
  }
}

int Win32SerialPort::Open(int32_t portNumber) {
  Close();
  char target[kMaxPortTargetLength + 1];
  if (!ResolvePortTarget(portNumber, target, sizeof target).fits) {
    return ERROR_FILENAME_EXCED_RANGE;
  }
  return OpenDevice(target);
}

int Win32SerialPort::OpenDevice(const char* target) {
  if (waitEvent_ == nullptr || readEvent_ == nullptr || writeEvent_ == nullptr) {
    return ERROR_INVALID_HANDLE;
  }
  const std::string name = Win32DeviceName(target);
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return LastErrorCode();
  }
  // Only a communications device can be a serial line.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) {
    const int error = LastErrorCode();
    CloseHandle(handle);
    return error;
  }
  handle_ = handle;
  return 0;
}

int Win32SerialPort::Configure(const LineSettings& settings) {
  if (handle_ == nullptr) {
    return kSystemBadHandle;
  }
  if (settings.byteSize < 5 || settings.byteSize > 8 || settings.parity < 0 ||
      settings.parity > 4 || settings.stopBits < 0 || settings.stopBits > 2) {
    return kSystemInvalidArgument;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) {
    return LastErrorCode();
  }
  // fDtrControl, fDsrSensitivity, fTXContinueOnXoff, fErrorChar and
  // fAbortOnError keep what the driver reported.
  dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
  dcb.ByteSize = static_cast<BYTE>(settings.byteSize);
  dcb.Parity = static_cast<BYTE>(settings.parity);
  dcb.StopBits = static_cast<BYTE>(settings.stopBits);
  dcb.fBinary = 1;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = 1;
  dcb.fOutxDsrFlow = 0;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fNull = 0;
  if (!SetCommState(handle_, &dcb)) {
    return LastErrorCode();
  }
  // SetCommState may succeed with part of the settings: run the line only on
  // what the client asked for.
  DCB applied{};
  applied.DCBlength = sizeof applied;
  if (!GetCommState(handle_, &applied)) {
    return LastErrorCode();
  }
  if (applied.BaudRate != dcb.BaudRate || applied.ByteSize != dcb.ByteSize ||
      applied.Parity != dcb.Parity || applied.StopBits != dcb.StopBits ||
      applied.fOutxCtsFlow == 0) {
    return kSystemInvalidArgument;
  }
  SetCommMask(handle_, EV_RXCHAR);
  SetupComm(handle_, kQueueSize, kQueueSize);
  // Reads take only what is queued, so the read time-outs never run out in
  // practice; the write total bounds a write that CTS holds up.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 1000;
  timeouts.WriteTotalTimeoutMultiplier = WriteTimeoutPerByte(settings.baudRate);
  timeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(handle_, &timeouts);
  return 0;
}

void Win32SerialPort::Close() {
  if (handle_ == nullptr) {
    return;
  }
  // The mask of 0 ends a wait still pending (the reader has been stopped
  // before, so none should be). Output is not purged: every frame reported
  // as sent has left the driver, and on a pseudo-terminal under Wine an
  // output purge would drop what the peer has not read yet.
  SetCommMask(handle_, 0);
  PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
  CloseHandle(handle_);
  handle_ = nullptr;
  if (waitPending_) {
    // The close ends the wait; the request block must be let go of before
    // it is used again.
    WaitForSingleObject(waitEvent_, 1000);
    waitPending_ = false;
  }
}

int Win32SerialPort::WaitForInput(void* wakeEvent) {
  if (handle_ == nullptr) {
    return 0;
  }
  const HANDLE wake = static_cast<HANDLE>(wakeEvent);
  if (wake != nullptr && WaitForSingleObject(wake, 0) == WAIT_OBJECT_0) {
    return 0;
  }
  // A wait stays pending across calls until it completes: it is armed once,
  // and its request block lives with the port, so that ending it is left to
  // the event mask of 0 and the handle's close.
  if (!waitPending_) {
    waitRequest_ = Request(waitEvent_);
    waitMask_ = 0;
    if (WaitCommEvent(handle_, &waitMask_, &waitRequest_)) {
      return 1;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
      // A failed wait is ignored as long as the line still answers: the
      // reader reads what is queued. A line that no longer answers failed.
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(handle_, &errors, &status)) {
        return -LastErrorCode();
      }
      // Nothing would wake a wait that keeps failing at once: give the line
      // a moment rather than spin.
      if (status.cbInQue == 0 && wake != nullptr && WaitForSingleObject(wake, 1) == WAIT_OBJECT_0) {
        return 0;
      }
      return 1;
    }
    waitPending_ = true;
  }
  // Bytes that arrived after the last read and before the wait was armed do
  // not end it: look at the queue first.
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(handle_, &errors, &status)) {
    return -LastErrorCode();
  }
  if (status.cbInQue > 0) {
    return 1;
  }
  HANDLE events[2] = {static_cast<HANDLE>(waitEvent_), wake};
  const DWORD which = WaitForMultipleObjects(wake != nullptr ? 2 : 1, events, FALSE, INFINITE);
  if (which != WAIT_OBJECT_0) {
    return 0;
  }
  waitPending_ = false;
  DWORD ignored = 0;
  // A wait that ended as failed (Wine ends one with ERROR_OPERATION_ABORTED
  // where Windows reports a mask of 0) is ignored like any other.
  GetOverlappedResult(handle_, &waitRequest_, &ignored, FALSE);
  return 1;
}

int Win32SerialPort::Read(uint8_t* data, size_t capacity) {
  if (handle_ == nullptr) {
    return -kSystemBadHandle;
  }
  DWORD errors = 0;
  COMSTAT status{};
  DWORD queued = 0;
  for (int attempt = 0; attempt < 2 && queued == 0; ++attempt) {
    if (!ClearCommError(handle_, &errors, &status)) {
      return -LastErrorCode();
    }
    queued = status.cbInQue;
  }
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(queued, capacity));
  if (wanted == 0) {
    return 0;
  }
  OVERLAPPED request = Request(readEvent_);
  DWORD got = 0;
  if (ReadFile(handle_, data, wanted, &got, &request)) {
    return static_cast<int>(got);
  }
  if (GetLastError() != ERROR_IO_PENDING) {
    ClearCommError(handle_, &errors, &status);
    return 0;
  }
  // The bytes are queued, so the read completes at once; the read time-out
  // (1000 ms) bounds it otherwise.
  if (!GetOverlappedResult(handle_, &request, &got, TRUE)) {
    ClearCommError(handle_, &errors, &status);
  }
  return static_cast<int>(got);
}

int Win32SerialPort::Write(const uint8_t* data, size_t length, int timeoutMs) {
  if (handle_ == nullptr) {
    return kSystemBadHandle;
  }
  OVERLAPPED request = Request(writeEvent_);
  const DWORD count = static_cast<DWORD>(length);
  DWORD written = 0;
  if (!WriteFile(handle_, data, count, &written, &request)) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
      DWORD errors = 0;
      ClearCommError(handle_, &errors, nullptr);
      return static_cast<int>(error != 0 ? error : ERROR_WRITE_FAULT);
    }
    const DWORD waitMs =
        timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) + kWriteWaitSlackMs : INFINITE;
    if (WaitForSingleObject(writeEvent_, waitMs) != WAIT_OBJECT_0) {
      CancelAndWait(handle_, request);
      return kSystemTimedOut;
    }
    if (!GetOverlappedResult(handle_, &request, &written, FALSE)) {
      const DWORD failure = GetLastError();
      DWORD errors = 0;
      ClearCommError(handle_, &errors, nullptr);
      if (failure != ERROR_OPERATION_ABORTED && failure != ERROR_COUNTER_TIMEOUT) {
        return static_cast<int>(failure);
      }
    }
  }
  // The driver's write time-out cut the frame short.
  return written == count ? 0 : kSystemTimedOut;
}

int Win32SerialPort::PendingOutput(size_t* count) {
  if (handle_ == nullptr) {
    return kSystemBadHandle;
  }
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(handle_, &errors, &status)) {
    return LastErrorCode();
  }
  *count = status.cbOutQue;
  return 0;
}

void Win32SerialPort::DiscardOutput() {
  size_t pending = 0;
  if (PendingOutput(&pending) == 0 && pending > 0) {
    PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
  }
}

int Win32SerialPort::ReadModemStatus(uint32_t* status) {
  if (handle_ == nullptr) {
    return kSystemBadHandle;
  }
  DWORD lines = 0;
  if (!GetCommModemStatus(handle_, &lines)) {
    if (GetLastError() == ERROR_NOT_SUPPORTED) {
      *status = kModemCts;  // no modem lines: counts as a present camera
      return 0;
    }
    return LastErrorCode();
  }
  *status = lines & (kModemCts | kModemDsr | kModemRing | kModemRlsd);
  return 0;
}

void Win32SerialPort::SetControlLines(bool raised) {
  if (handle_ == nullptr) {
    return;
  }
  EscapeCommFunction(handle_, raised ? SETDTR : CLRDTR);
  EscapeCommFunction(handle_, raised ? SETRTS : CLRRTS);
}

void Win32SerialPort::Purge() {
  if (handle_ == nullptr) {
    return;
  }
  // Input from before the session is stale; output is purged only while
  // some is still pending (as DiscardOutput), so that what an earlier
  // session reported as sent is not dropped.
  size_t pending = 0;
  const bool outputPending = PendingOutput(&pending) == 0 && pending > 0;
  PurgeComm(handle_, outputPending ? kPurgeAll : PURGE_RXABORT | PURGE_RXCLEAR);
}

}  // namespace qzlink
