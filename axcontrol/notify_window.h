// The hidden notification window QzlinkFrm, one per thread, shared by every
// control on that thread, and the thread's shared control state. The library
// sends its answer and notification messages to this window; the hook turns
// them into events of the active control.
#pragma once

#include "platform/msgwindow.h"

namespace qzaxctrl {

class QzlinkCtrl;

// Shared state of the controls on one thread.
struct SharedState {
  HWND hNotifyWnd = nullptr;
  WNDPROC lPrevWndProc = nullptr;
  bool bHooked = false;
  bool bCommOpen = false;
  QzlinkCtrl* oActiveCtrl = nullptr;  // holds a reference
  // Events being raised for library messages that another thread (the
  // library's reader) sent and is waiting on.
  int readerEventDepth = 0;

  SharedState() = default;
  ~SharedState();  // releases oActiveCtrl when the thread ends
  SharedState(const SharedState&) = delete;
  SharedState& operator=(const SharedState&) = delete;
};

// The calling thread's shared state.
SharedState& Shared();

// The hidden window, created on first use; null only when the platform
// cannot create a window on this thread.
HWND NotifyWindow();

void HookNotifyWindow();
void UnhookNotifyWindow();
LRESULT NotifyWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Makes ctrl (may be null) the instance that receives the events, releasing
// the one before.
void SetActiveCtrl(QzlinkCtrl* ctrl);

constexpr UINT kAckRxMessage = 0x800A;
constexpr UINT kNotifyRxMessage = 0x800B;

}  // namespace qzaxctrl
