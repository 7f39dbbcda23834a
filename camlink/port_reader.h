// The session's reader thread: waits for input on the serial port, cuts the
// byte stream into frames and hands each complete frame to the session.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "camlink/serial_port.h"
#include "camlink/stream_splitter.h"

namespace qzlink {

// What the reader needs from the session. Called on the reader thread.
class ReaderClient {
 public:
  // False once the session is closing; checked between frames.
  virtual bool KeepReading() const = 0;
  // One complete frame, terminator included, at most kPartialFrameSize bytes,
  // in the reader's partial-frame buffer: valid until the call returns.
  virtual void OnFrameReceived(const uint8_t* frame, size_t length) = 0;
  // The device failed (systemCode: an errno value; EIO for a hang-up). The
  // reader ends after this call.
  virtual void OnReaderFault(int systemCode) = 0;

 protected:
  ~ReaderClient() = default;
};

class PortReader {
 public:
  inline static constexpr size_t kReadBufferSize = 4100;
  inline static constexpr size_t kReadChunk = 4096;

  // Creates the wake and exit event descriptors (Win32 events on Windows);
  // without them the reader is unusable.
  PortReader();
  ~PortReader();
  PortReader(const PortReader&) = delete;
  PortReader& operator=(const PortReader&) = delete;

#ifdef _WIN32
  bool Usable() const {
    return wakeEvent_ != nullptr && exitEvent_ != nullptr;
  }
#else
  bool Usable() const {
    return wakeFd_ >= 0 && exitFd_ >= 0;
  }
#endif
  bool Running() const {
    return thread_.joinable();
  }

  // Starts the thread on an open port. Returns 0 or a system error code.
  int Start(SerialPort& port, ReaderClient& client);

  // Returns once the thread has ended; the caller has already made
  // KeepReading() false. While waiting it runs the messages that other
  // threads send to the calling thread's windows, so a reader blocked in a
  // send to this thread gets through. Called from inside the window procedure
  // that handles the reader's own message, it first replies to that message.
  void Stop();

 private:
  void Run(SerialPort& port, ReaderClient& client);
  // Reads everything queued. Returns 0 or the system error code of a failed
  // device.
  int Drain(SerialPort& port, ReaderClient& client, bool lineFailed);

#ifdef _WIN32
  // Manual-reset Win32 events (port_reader_win32.cpp).
  void* wakeEvent_ = nullptr;
  void* exitEvent_ = nullptr;
  std::thread thread_;
  // True while the reader hands a frame on (and so may be blocked in its
  // send), so that Stop can tell the reader's own message from another's.
  std::atomic<bool> handingOn_{false};
#else
  int wakeFd_ = -1;
  int exitFd_ = -1;
  std::thread thread_;
  // The reader thread's identity for the message windows, so that Stop can
  // tell the reader's own send from another thread's.
  std::atomic<const void*> readerToken_{nullptr};
#endif
  // Used by the reader thread only; fixed for the library's life.
  uint8_t readBuffer_[kReadBufferSize] = {};
  StreamSplitter splitter_;
};

}  // namespace qzlink
