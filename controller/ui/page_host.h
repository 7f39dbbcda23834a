// What the pages, sub-panels, buttons and tool windows need from the main
// dialog: the camera address, the camera state, the posting target and the
// refresh bookkeeping. The main dialog implements it; tests use a fake.
#pragma once

#include <QObject>

#include "core/camera_state.h"

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
  // 1 ends the wait cursor, 2 begins it.
  virtual void SetWaitCursorState(int state) = 0;

  // Notes, before the command leaves, that the next answer belongs to an
  // exposure sub-panel (0 auto, 1 manual): the main dialog then posts
  // UM_AEVALUEREADY to it. Done synchronously, because the answer can be
  // handled before a posted UM_AEVALUESENT would be.
  virtual void ExpectExposureAnswer(int target) = 0;
};

}  // namespace qtr90x
