// The reader thread on Windows: waits for the port's communications event
// (WaitCommEvent, overlapped) or the wake event that Stop sets, then reads
// everything queued.
#include <windows.h>

#include <system_error>

#include "camlink/port_reader.h"
#include "platform/msgwindow.h"

namespace qzlink {

static_assert(PortReader::kReadChunk <= PortReader::kReadBufferSize);

PortReader::PortReader()
    : wakeEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      exitEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

PortReader::~PortReader() {
  Stop();
  for (void* event : {wakeEvent_, exitEvent_}) {
    if (event != nullptr) {
      CloseHandle(event);
    }
  }
}

int PortReader::Start(SerialPort& port, ReaderClient& client) {
  if (!Usable()) {
    return ERROR_INVALID_HANDLE;
  }
  if (Running()) {
    return ERROR_BUSY;
  }
  ResetEvent(wakeEvent_);
  ResetEvent(exitEvent_);
  try {
    thread_ = std::thread([this, &port, &client] { Run(port, client); });
  } catch (const std::system_error&) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

void PortReader::Stop() {
  if (!Running()) {
    return;
  }
  // Called from the window procedure that handles the reader's message, the
  // reader waits for this very call to return: release it first.
  if (handingOn_.load(std::memory_order_acquire) && InSendMessage()) {
    ReplyMessage(0);
  }
  SetEvent(wakeEvent_);
  // The reader may be blocked sending to a window of this thread: wait while
  // running the messages sent to it. A procedure run meanwhile may itself
  // close the session and join the reader, hence the checks.
  while (Running()) {
    if (QzMsgWaitForHandle(exitEvent_, -1) != 0) {
      break;
    }
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

void PortReader::Run(SerialPort& port, ReaderClient& client) {
  splitter_.Reset();
  while (client.KeepReading()) {
    const int ready = port.WaitForInput(wakeEvent_);
    if (ready == 0) {
      break;  // the session is closing
    }
    if (ready < 0) {
      client.OnReaderFault(-ready);
      break;
    }
    if (const int error = Drain(port, client, false); error != 0) {
      client.OnReaderFault(error);
      break;
    }
  }
  SetEvent(exitEvent_);
}

int PortReader::Drain(SerialPort& port, ReaderClient& client, bool /*lineFailed*/) {
  while (client.KeepReading()) {
    const int n = port.Read(readBuffer_, kReadChunk);
    if (n < 0) {
      return -n;
    }
    if (n == 0) {
      return 0;
    }
    splitter_.Feed(readBuffer_, static_cast<size_t>(n),
                   [this, &client](const uint8_t* frame, size_t length, bool /*cut*/) {
                     if (client.KeepReading()) {
                       handingOn_.store(true, std::memory_order_release);
                       client.OnFrameReceived(frame, length);
                       handingOn_.store(false, std::memory_order_release);
                     }
                   });
  }
  return 0;
}

}  // namespace qzlink
