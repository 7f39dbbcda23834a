// WaitCursorState: 0 idle, 1 end requested, 2 begin requested, 3 waiting. A
// request takes effect at the start of the next message the main dialog
// receives. Begin and end stay balanced: a cursor that was not begun is never
// ended or restored, and a second begin does not stack.
#pragma once

#include <cstdint>

namespace qtr90x {

// What the main dialog does with the cursor at the start of a message.
enum class WaitCursorStep : std::uint8_t { kNone, kBegin, kEnd, kRestore };

// What a page or a sequence asks of the cursor (WaitCursorState 1 and 2).
enum class WaitCursorRequest : std::uint8_t { kEnd = 1, kBegin = 2 };

class WaitCursor {
 public:
  void Request(WaitCursorRequest request) { state_ = static_cast<int>(request); }
  // Call at the start of every message the main dialog receives.
  WaitCursorStep AtMessageStart();

  // WaitCursorState: 0 idle, 1 end requested, 2 begin requested, 3 waiting.
  int State() const { return state_; }
  bool Shown() const { return shown_; }

 private:
  int state_ = 0;
  bool shown_ = false;
};

}  // namespace qtr90x
