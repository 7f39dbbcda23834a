#include "camlink/camera_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "camlink/command_templates.h"
#include "camlink/frame_kind.h"

namespace qzlink {

static_assert(std::atomic<ErrorState>::is_always_lock_free);
static_assert(kRingSlotBytes <= kMessageBufferSize);

// System code recorded when the camera does not assert CTS at open.
inline constexpr int kNoCameraCode = kSystemNoDevice;

// ---- CommandBuilder ----

int32_t CommandBuilder::IsPortInUse(int32_t /*portNumber*/) const {
  return 1;
}

void CommandBuilder::SetParameter(int index, int32_t value) {
  if (index >= 0 && index < 3) {
    build_.parameters[index] = value;
  }
}

int32_t CommandBuilder::BuildOnly(int32_t commandId, int32_t cameraAddress) {
  return BuildCommandFrame(commandId, cameraAddress, build_);
}

int32_t CommandBuilder::LastCommandLength() const {
  if (build_.currentTemplate < 0 || build_.currentTemplate >= kTemplateCount) {
    return manualCommandLength_;
  }
  return CommandTemplates()[static_cast<size_t>(build_.currentTemplate)].length;
}

void CommandBuilder::StoreManualCommand(const uint8_t* bytes, int32_t count) {
  std::memcpy(build_.commandBuffer, bytes, static_cast<size_t>(count));
  manualCommandLength_ = count;
  build_.currentTemplate = -1;
}

// ---- CameraSession ----

CameraSession::CameraSession(SerialPort& port) : port_(port) {}

CameraSession::~CameraSession() {
  Close();
}

int32_t CameraSession::Open(HWND clientWindow, int32_t portNumber, const LineSettings& settings) {
  SetError(kErrNone);
  if (Connected() || closing_) {
    SetError(kErrPortBusy);
    return 0;
  }
  const int32_t baud = settings.baudRate;
  if (baud != 9600 && baud != 14400 && baud != 19200 && baud != 38400) {
    SetError(kErrBaudRate);
    return 0;
  }
  if (IsPortInUse(portNumber) != 0) {
    SetError(kErrPortBusy);
    return 0;
  }
  portNumber_ = portNumber;
  settings_ = settings;
  if (!OpenPort()) {
    return 0;
  }
  clientWindow_ = clientWindow;
  if (const int error = reader_.Start(port_, *this); error != 0) {
    connected_.store(false, std::memory_order_release);
    ReleasePort();
    SetError(kErrSystem, static_cast<uint32_t>(error));
    return 0;
  }
  return Connected() ? 1 : 0;
}

bool CameraSession::OpenPort() {
  if (!Usable()) {
    return false;
  }
  connected_.store(false, std::memory_order_release);
  int error = port_.Open(portNumber_);
  if (error == 0) {
    error = port_.ReadModemStatus(&modemStatus_);
    if (error == 0 && (modemStatus_ & kModemCts) == 0) {
      error = kNoCameraCode;  // no camera on the line
    }
    // The line settings go on only once a camera is known to be there.
    if (error == 0) {
      error = port_.Configure(settings_);
    }
    if (error != 0) {
      port_.Close();
    }
  }
  if (error != 0) {
    SetError(kErrSystem, static_cast<uint32_t>(error));
    Note("open COM%d failed", portNumber_);
    return false;
  }
  port_.Purge();
  port_.SetControlLines(true);
  readerFault_.store(0, std::memory_order_relaxed);
  portsInUse_.Set(portNumber_, 1);
  connected_.store(true, std::memory_order_release);
  Note("opened COM%d", portNumber_);
  return true;
}

void CameraSession::Close() {
  connected_.store(false, std::memory_order_release);
  // The reader must be gone before the descriptor it waits on is released.
  // While it stops, messages sent to this thread still run, and their
  // procedures may call QzOpen or QzClose: opening is refused meanwhile.
  const bool outerClose = !std::exchange(closing_, true);
  reader_.Stop();
  if (port_.IsOpen()) {
    Note("closing COM%d", portNumber_);
  }
  ReleasePort();
  if (outerClose) {
    closing_ = false;
  }
}

void CameraSession::ReleasePort() {
  // No purge here: every frame reported as sent has left the line already or
  // (on a pseudo-terminal) is on its way to the peer, and a frame cut short by
  // its time-out was discarded when it failed. The next open discards stale
  // input, and output only where some is still pending.
  port_.SetControlLines(false);
  port_.Close();
  readerFault_.store(0, std::memory_order_relaxed);
  if (portNumber_ >= 0) {
    portsInUse_.Set(portNumber_, 0);
  }
}

int32_t CameraSession::SendTemplate(int32_t commandId, int32_t cameraAddress) {
  SetError(kErrNone);
  return SendBuilt(commandId, cameraAddress);
}

int32_t CameraSession::SendBuilt(int32_t commandId, int32_t cameraAddress) {
  const int32_t length = BuildOnly(commandId, cameraAddress);
  if (length <= 0) {
    return 0;
  }
  return WriteFrame(build_.commandBuffer, static_cast<size_t>(length));
}

int32_t CameraSession::SendManualCommand(const uint8_t* bytes, int32_t count) {
  if (bytes == nullptr || count <= 0) {
    return 0;
  }
  if (static_cast<size_t>(count) > kCommandBufferSize) {
    SetError(kErrNone);
    return 0;
  }
  StoreManualCommand(bytes, count);
  return WriteFrame(build_.commandBuffer, static_cast<size_t>(count));
}

int CameraSession::WriteTimeoutMs(size_t length) const {
  // Whole milliseconds per byte: 2 at 9600 baud, 1 at 14400, 19200 and
  // 38400. The integer quotient would be 0 at 38400, which would leave a
  // camera holding CTS low able to block the caller forever.
  const uint32_t baud = static_cast<uint32_t>(settings_.baudRate);
  const uint32_t perByte = std::max(1u, baud == 0 ? 1u : 19200u / baud);
  return static_cast<int>(perByte * length);
}

std::chrono::microseconds DrainPollInterval(size_t pendingBytes, int32_t baudRate) {
  // About the time the pending bytes take on the line (11 bit times each,
  // the longest framing), so that a short frame is seen gone soon after it
  // left and a long queue is not polled needlessly often.
  constexpr int64_t kMinUs = 200;
  constexpr int64_t kMaxUs = 5000;
  const int64_t baud = baudRate > 0 ? baudRate : 9600;
  const int64_t lineUs = static_cast<int64_t>(pendingBytes) * 11 * 1000000 / baud;
  return std::chrono::microseconds(std::clamp(lineUs, kMinUs, kMaxUs));
}

int CameraSession::WaitUntilSent(std::chrono::steady_clock::time_point deadline) {
  // The driver offers no wait for an empty output queue with a time limit
  // (tcdrain blocks without one, and on a pseudo-terminal returns at once), so
  // the pending count is polled with sleeps sized to the bytes still queued.
  // On a UART the count includes the transmitter, so the command returns
  // when its last stop bit has gone; a pseudo-terminal reports 0 as soon as
  // the peer can read the frame.
  for (;;) {
    size_t pending = 0;
    if (const int error = port_.PendingOutput(&pending); error != 0) {
      return error;
    }
    if (pending == 0) {
      return 0;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      return kSystemTimedOut;
    }
    const auto step = DrainPollInterval(pending, settings_.baudRate);
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(step, deadline - now));
  }
}

int32_t CameraSession::WriteFrame(const uint8_t* frame, size_t length) {
  int error = readerFault_.load(std::memory_order_relaxed);
  if (error == 0) {
    // One deadline covers queueing the frame and its leaving the line.
    const int timeoutMs = WriteTimeoutMs(length);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    error = port_.Write(frame, length, timeoutMs);
    if (error == 0) {
      error = WaitUntilSent(deadline);
    }
    if (error == kSystemTimedOut) {
      // What is left of the frame must not go out ahead of the next one.
      port_.DiscardOutput();
    }
  }
  if (error != 0) {
    SetError(kErrSystem, static_cast<uint32_t>(error));
    trace_.Frame(TraceDirection::kSent, frame, length, "write failed");
    return 0;
  }
  trace_.Frame(TraceDirection::kSent, frame, length);
  return 1;
}

int32_t CameraSession::FetchFrame(int32_t sequenceNumber) {
  const int32_t length = ring_.Fetch(sequenceNumber, messageBuffer_, sizeof messageBuffer_);
  if (length > 0) {
    messageLength_ = length;
  }
  return length;
}

uint32_t CameraSession::ReadModemStatus() {
  uint32_t status = 0;
  if (port_.ReadModemStatus(&status) == 0) {
    modemStatus_ = status;
  }
  return modemStatus_;
}

void CameraSession::OnFrameReceived(const uint8_t* frame, size_t length) {
  // The frame stays in the reader's partial-frame buffer until this returns
  // (the reader waits in the send meanwhile), so it is filed and classified
  // where it is; the ring keeps its own copy.
  if (length == 0) {
    return;
  }
  trace_.Frame(TraceDirection::kReceived, frame, length);
  const int32_t sequenceNumber = ring_.File(frame, length);
  if (const FrameKind* kind = ClassifyFrame(frame[0])) {
    SendMessageA(clientWindow_, kind->message, kind->wParam, sequenceNumber);
  }
}

int32_t CameraSession::LinkState() const {
  if (!Connected()) {
    return 0;
  }
  const int fault = readerFault_.load(std::memory_order_relaxed);
  return fault != 0 ? -fault : 1;
}

void CameraSession::OnReaderFault(int systemCode) {
  systemCode = systemCode > 0 ? systemCode : kSystemIoFailure;  // a stop is never "no error"
  readerFault_.store(systemCode, std::memory_order_relaxed);
  SetError(kErrSystem, static_cast<uint32_t>(systemCode));
  Note("reader stopped, system error %d", systemCode);
}

void CameraSession::Note(const char* format, int value) {
  if (!trace_.Enabled()) {
    return;
  }
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  trace_.Frame(TraceDirection::kNote, nullptr, 0, text);
}

}  // namespace qzlink
