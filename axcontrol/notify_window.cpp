#include "axcontrol/notify_window.h"

#include <utility>

#include "axcontrol/qzlink_ctrl.h"

namespace qzaxctrl {

SharedState::~SharedState() {
  // The thread ends: give the window its own procedure back (a library
  // session still open may deliver during the process's exit) and let go of
  // the active instance, whose termination finds oActiveCtrl already cleared.
  if (bHooked && hNotifyWnd != nullptr) {
    SetWindowLongPtrA(hNotifyWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(lPrevWndProc));
  }
  bHooked = false;
  bCommOpen = false;
  if (QzlinkCtrl* ctrl = std::exchange(oActiveCtrl, nullptr)) {
    ctrl->Release();
  }
}

SharedState& Shared() {
  thread_local SharedState state;
  return state;
}

HWND NotifyWindow() {
  // QzlinkFrm: a window with no code of its own.
  thread_local HWND window = nullptr;
  if (window == nullptr || !IsWindow(window)) {
    window = QzCreateMessageWindow(DefWindowProcA);
  }
  return window;
}

void HookNotifyWindow() {
  SharedState& s = Shared();
  if (s.bHooked) {
    return;
  }
  HWND handle = NotifyWindow();
  if (handle == nullptr) {
    return;  // no window on this thread: CommOpen then refuses with 0
  }
  s.lPrevWndProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NotifyWndProc)));
  s.bHooked = true;
  s.hNotifyWnd = handle;
}

void UnhookNotifyWindow() {
  SharedState& s = Shared();
  if (!s.bHooked) {
    return;
  }
  HWND handle = NotifyWindow();
  SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.lPrevWndProc));
  s.bHooked = false;
}

LRESULT NotifyWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SharedState& s = Shared();
  if (s.bCommOpen && hwnd == s.hNotifyWnd && (msg == kAckRxMessage || msg == kNotifyRxMessage) &&
      s.oActiveCtrl != nullptr) {
    // Keep the instance alive through its handlers, which may terminate it.
    auto target = qzauto::ComPtr<QzlinkCtrl>::Share(s.oActiveCtrl);
    // A binding failure here has no caller to go to: the event is skipped
    // and the message still reaches the previous procedure.
    const bool readerWaits = InSendMessage() != FALSE;
    s.readerEventDepth += readerWaits ? 1 : 0;
    target->RaiseRxEvent(msg == kAckRxMessage ? 1 : 2, wParam, lParam);
    s.readerEventDepth -= readerWaits ? 1 : 0;
  }
  return CallWindowProcA(s.lPrevWndProc, hwnd, msg, wParam, lParam);
}

void SetActiveCtrl(QzlinkCtrl* ctrl) {
  if (ctrl != nullptr) {
    ctrl->AddRef();
  }
  QzlinkCtrl* before = std::exchange(Shared().oActiveCtrl, ctrl);
  if (before != nullptr) {
    before->Release();
  }
}

}  // namespace qzaxctrl
