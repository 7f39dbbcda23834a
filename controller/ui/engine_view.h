// What a camera link asks of the window that shows it: where the engine's
// messages for pages, sub-panels, inching buttons and the gamepad go, the
// engine's actions that change what is shown, the wait cursor, and the moves
// its own controls hold. The main dialog implements it; a link without a
// window has none and shows nothing.
#pragma once

#include <QObject>

#include "core/engine_actions.h"
#include "core/wait_cursor.h"

namespace qtr90x {

class EngineView {
 public:
  virtual ~EngineView() = default;

  // The receiver of a message the engine posts to anything but the link
  // itself (a page, a sub-panel, an inching button, the gamepad); null drops
  // the message.
  virtual QObject* PostTarget(const act::Post& post) = 0;
  // An action the engine returned that is shown: everything but posts and
  // the power-on timer (debug lines, the camera and preset lists, the model,
  // the controls, the radios, the failed power-on box).
  virtual void Show(const EngineAction& action) = 0;
  // The wait cursor begins or ends (kRestore and kNone change nothing).
  virtual void ShowWaitCursor(WaitCursorStep step) = 0;
  // The line is about to go: every move the view's controls hold sends its
  // stop now, while the stop can still reach the camera.
  virtual void StopMoves() = 0;
  // The link opened, closed, was lost or came back: the title, the menu.
  virtual void LinkChanged() = 0;
};

}  // namespace qtr90x
