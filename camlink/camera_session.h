// The library's session: builds and sends command frames, keeps the error
// state, owns the serial port while a session is open, files every received
// frame under a sequence number and announces it to the client window.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "camlink/frame_builder.h"
#include "camlink/frame_trace.h"
#include "camlink/port_reader.h"
#include "camlink/received_frame_ring.h"
#include "camlink/serial_port.h"
#include "camlink/stream_splitter.h"
#include "platform/msgwindow.h"

namespace qzlink {

inline constexpr int32_t kErrNone = 0;
inline constexpr int32_t kErrSystem = -1;
inline constexpr int32_t kErrBaudRate = -2;
inline constexpr int32_t kErrPortBusy = -3;

inline constexpr size_t kMessageBufferSize = 52;

// How long to sleep before asking the port again whether pendingBytes have
// left the line: about their time on the line, 0.2 to 5 ms.
std::chrono::microseconds DrainPollInterval(size_t pendingBytes, int32_t baudRate);

// The error code with the system error code that came with it.
struct ErrorState {
  int32_t code = kErrNone;
  uint32_t systemCode = 0;
};

// Frame building and the last command: the template last built (in
// FrameBuildState, with p1 to p3 and the 50-byte command buffer) and the
// length of the last manual command.
class CommandBuilder {
 public:
  virtual ~CommandBuilder() = default;

  // Nonzero when the COM port may not be opened; the base refuses every port.
  virtual int32_t IsPortInUse(int32_t portNumber) const;

  // Stores value as parameter p<index+1> (index 0 to 2) for later builds.
  void SetParameter(int index, int32_t value);

  // Builds the frame into the command buffer; its length, or 0.
  int32_t BuildOnly(int32_t commandId, int32_t cameraAddress);

  // The length of the frame in the command buffer: the current template's
  // length, or the last manual command's when there is no current template.
  int32_t LastCommandLength() const;

  const uint8_t* CommandBuffer() const { return build_.commandBuffer; }
  int32_t CurrentTemplate() const { return build_.currentTemplate; }

 protected:
  // Puts count bytes (1 to kCommandBufferSize) at the start of the command
  // buffer as a manual command; the rest of the buffer keeps its bytes.
  void StoreManualCommand(const uint8_t* bytes, int32_t count);

  FrameBuildState build_;
  int32_t manualCommandLength_ = 0;
};

// One flag per COM port 0 to 9: nonzero while the port may not be opened.
// Port 0 is never available; a number outside 0 to 9 counts as in use.
class PortInUseTable {
 public:
  static constexpr int32_t kPorts = 10;
  int32_t Get(int32_t portNumber) const { return Valid(portNumber) ? entries_[portNumber] : 1; }
  void Set(int32_t portNumber, int32_t value) {
    if (Valid(portNumber)) {
      entries_[portNumber] = value;
    }
  }

 private:
  static bool Valid(int32_t portNumber) { return portNumber >= 0 && portNumber < kPorts; }
  int32_t entries_[kPorts] = {1};
};

// Exactly one exists in the library (exports_session.cpp). All calls except
// the ReaderClient ones come from the client's thread.
//
// Threads: the reader thread files frames and sends the announcements; the
// client fetches them from inside its handler while the reader waits in the
// send, so the ring and the buffers need no lock. The connected flag, the
// error state and the reader's fault are atomics because the reader sets them
// while the client may be reading them.
class CameraSession final : public CommandBuilder, private ReaderClient {
 public:
  explicit CameraSession(SerialPort& port);
  ~CameraSession() override;
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  int32_t IsPortInUse(int32_t portNumber) const override { return portsInUse_.Get(portNumber); }

  // False when the reader's event descriptors could not be created; every
  // open then does nothing.
  bool Usable() const { return reader_.Usable(); }
  bool Connected() const { return connected_.load(std::memory_order_acquire); }

  // QzOpen: checks, opens and configures the port, starts the reader. 1 or 0.
  int32_t Open(HWND clientWindow, int32_t portNumber, const LineSettings& settings);
  // QzClose without its error reset: returns once the reader has ended and
  // the port is released. Harmless when closed.
  void Close();

  // The common path of the command functions: clears the error, builds and
  // writes. 1 once the frame has left the line; 0 with ERR_SYSTEM and
  // ETIMEDOUT when it had not within the write time-out (what was left of it
  // is then discarded).
  int32_t SendTemplate(int32_t commandId, int32_t cameraAddress);
  // QzSendCmd: as SendTemplate, but the error state is not cleared first.
  int32_t SendBuilt(int32_t commandId, int32_t cameraAddress);
  // Sends count raw bytes as they are. 1 when written. A count above the
  // 50-byte command buffer is refused: 0, ERR_NONE, nothing sent or stored.
  int32_t SendManualCommand(const uint8_t* bytes, int32_t count);

  // Copies the frame filed under sequenceNumber into the message buffer.
  // Its length, or 0 when no slot holds that number.
  int32_t FetchFrame(int32_t sequenceNumber);
  const uint8_t* MessageBuffer() const { return messageBuffer_; }

  // The modem status word; the last one read when the port is closed.
  uint32_t ReadModemStatus();

  // QzGetLinkState: 1 while open with the reader receiving, 0 when closed,
  // the negated system code once the reader stopped on a failed line.
  int32_t LinkState() const;

  ErrorState LastError() const { return error_.load(std::memory_order_acquire); }
  void SetError(int32_t code, uint32_t systemCode = 0) {
    error_.store(ErrorState{code, systemCode}, std::memory_order_release);
  }

 private:
  // On the reader thread: files a received frame and announces it.
  void OnFrameReceived(const uint8_t* frame, size_t length) override;
  bool KeepReading() const override { return Connected(); }
  void OnReaderFault(int systemCode) override;

  bool OpenPort();
  void ReleasePort();
  int32_t WriteFrame(const uint8_t* frame, size_t length);
  int WriteTimeoutMs(size_t length) const;
  // Waits until the port has nothing pending. 0, ETIMEDOUT, or the port's
  // system error code.
  int WaitUntilSent(std::chrono::steady_clock::time_point deadline);
  void Note(const char* format, int value);

  SerialPort& port_;
  FrameTrace trace_;
  ReceivedFrameRing ring_;
  PortInUseTable portsInUse_;
  HWND clientWindow_ = nullptr;
  int32_t portNumber_ = -1;  // none before the first open
  LineSettings settings_;
  uint32_t modemStatus_ = 0;
  std::atomic<bool> connected_{false};
  // True while Close waits for the reader: a window procedure run meanwhile
  // must not open a port (the old one is still being released). Client
  // thread only.
  bool closing_ = false;
  std::atomic<ErrorState> error_{ErrorState{}};
  // The system code of a device failure the reader saw; later writes fail
  // with it until the session is closed.
  std::atomic<int> readerFault_{0};
  uint8_t messageBuffer_[kMessageBufferSize] = {};
  // Last member: its destructor stops the thread before anything it uses
  // goes away.
  PortReader reader_;
};

}  // namespace qzlink
