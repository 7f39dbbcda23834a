// The hidden notification window QzlinkFrm, one per thread and shared by
// every control on that thread, and the thread's shared control state. The
// library sends its answer and notification messages to this window; the
// subclassing procedure turns them into events of the active control.
#pragma once

#include <windows.h>

namespace qzaxctrl::win32 {

class QzlinkCtrl;

// Shared state of the controls on one thread. Plain data: it lives in the
// thread's storage and has no destructor to run at thread or process end.
struct SharedState {
  HWND hNotifyWnd;
  WNDPROC lPrevWndProc;
  bool bHooked;
  bool bCommOpen;
  QzlinkCtrl* oActiveCtrl;  // holds a reference
  // Events being raised for library messages that another thread (the
  // library's reader) sent and is waiting on.
  int readerEventDepth;
};

// The calling thread's shared state.
SharedState& Shared();

// The hidden window: a top-level window that is never shown, created on
// first use; where the system has no desktop for it (a service, or Wine
// without a display driver), a message-only window. Null only when no window
// can be created on this thread.
HWND NotifyWindow();

void HookNotifyWindow();
void UnhookNotifyWindow();
LRESULT CALLBACK NotifyWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Makes ctrl (may be null) the instance that receives the events, releasing
// the one before.
void SetActiveCtrl(QzlinkCtrl* ctrl);

constexpr UINT kAckRxMessage = 0x800A;
constexpr UINT kNotifyRxMessage = 0x800B;

}  // namespace qzaxctrl::win32
