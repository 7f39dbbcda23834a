// What the pages, sub-panels, buttons and tool windows need from the main
// dialog: the camera address, the camera state, the posting target, the
// refresh bookkeeping, and the application's one command path. The main
// dialog implements it; tests use a fake.
#pragma once

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/engine/wait_cursor.h"
#include "core/link/calls_in_flight.h"
#include "core/link/camera_state.h"
#include "core/link/library_call.h"
#include "ui/link/qzlink_port.h"

namespace qtr90x {

class PageHost {
 public:
  virtual ~PageHost() = default;

  // The cascade address passed as the first argument of every camera call.
  virtual int SelectedCamera() const = 0;
  virtual const CameraState& Camera() const = 0;

  // Receiver of the messages posted to the main dialog.
  virtual QObject* MainWindow() = 0;

  // The page has shown its values: the running refresh sequence is over.
  virtual void SetRefreshIdle() = 0;
  // Ends or begins the wait cursor.
  virtual void SetWaitCursorState(WaitCursorRequest state) = 0;

  // Sends an operator command through the application's command path: it
  // waits for its own answer, and `followUp` is carried out once it has been
  // answered or given up. True when its frame went out.
  virtual bool SendCommand(const LibraryCall& call, AnswerFollowUp followUp) = 0;
  bool SendCommand(const LibraryCall& call) { return SendCommand(call, AnswerFollowUp::kNone); }
  // Raw bytes, as the Input Command window sends them. True when written.
  virtual bool SendRawCommand(std::span<const std::uint8_t> bytes) = 0;
  // Copies the frame the library filed under `sequence`; its length.
  virtual std::size_t FetchFrame(int sequence,
                                 std::span<std::uint8_t, QzlinkPort::kFrameCapacity> frame) = 0;
};

}  // namespace qtr90x
