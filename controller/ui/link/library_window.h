// The window the camera link library sends its answers and notifications to:
// a platform message window owned by the GUI thread and pumped from the Qt
// event loop, so its handler runs on the GUI thread while the library's
// reader waits, and may fetch the frame with QzGetMsg there.
#pragma once

#include <functional>

#include "platform/msgwindow.h"

namespace qtr90x {

// Makes sure the calling thread's message windows are served by its Qt event
// loop (one socket notifier on the thread's wake descriptor, made once).
void EnsureMessagePump();

class LibraryWindow {
 public:
  // Returns the message's result; `handled` false passes the message on to
  // default processing.
  using Handler = std::function<LRESULT(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled)>;

  explicit LibraryWindow(Handler handler);
  ~LibraryWindow();
  LibraryWindow(const LibraryWindow&) = delete;
  LibraryWindow& operator=(const LibraryWindow&) = delete;

  // The handle to pass to QzOpen.
  HWND Handle() const { return hwnd_; }

 private:
  static LRESULT Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  Handler handler_;
};

}  // namespace qtr90x
