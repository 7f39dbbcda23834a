#include "core/engine/wait_cursor.h"

namespace qtr90x {

WaitCursorStep WaitCursor::AtMessageStart() {
  switch (state_) {
    case 2:
      state_ = 3;
      if (shown_)
        return WaitCursorStep::kRestore;
      shown_ = true;
      return WaitCursorStep::kBegin;
    case 1:
      state_ = 0;
      if (!shown_)
        return WaitCursorStep::kNone;
      shown_ = false;
      return WaitCursorStep::kEnd;
    case 3:
      return shown_ ? WaitCursorStep::kRestore : WaitCursorStep::kNone;
    default:
      return WaitCursorStep::kNone;
  }
}

}  // namespace qtr90x
