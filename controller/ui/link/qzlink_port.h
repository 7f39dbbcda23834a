// The one place the application calls the camera link library (qzlink.h):
// the session, every command of the call list, raw bytes, and the frames the
// library files. Everything else reaches the library through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/link/library_call.h"
#include "platform/msgwindow.h"

namespace qtr90x {

// The library's window messages: an answer (wParam 1) and a notification
// (wParam 1 to 5), lParam the frame's sequence number.
inline constexpr UINT kAckRxMessage = 0x800A;
inline constexpr UINT kNotifyRxMessage = 0x800B;

class QzlinkPort : public LibraryPort {
 public:
  // A frame the library files is at most 40 bytes.
  static constexpr std::size_t kFrameCapacity = 64;

  // Opens COM<port> at 9600 baud, 8 data bits, no parity, one stop bit, with
  // answers and notifications sent to `window`.
  bool Open(HWND window, int port);
  // Why the last open failed: the library's error code and system code.
  int LastError(int* systemCode) const;
  // Closes the session; true when it is closed.
  bool Close();
  // 1 while the session's line works, 0 with no session, the system code
  // negated once the line is lost (the device hung up, the server went).
  int LinkState() const;

  bool Send(const LibraryCall& call, SentFrame& sent) override;
  bool SendRaw(std::span<const std::uint8_t> bytes) override;

  // Copies the frame filed under `sequence`; its length.
  std::size_t FetchFrame(int sequence, std::span<std::uint8_t, kFrameCapacity> frame) const;
};

}  // namespace qtr90x
