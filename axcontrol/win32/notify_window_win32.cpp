#include "axcontrol/win32/notify_window_win32.h"

#include <utility>

#include "axcontrol/win32/com_support.h"
#include "axcontrol/win32/qzlink_ctrl_win32.h"

namespace qzaxctrl::win32 {

namespace {

constexpr char kWindowClass[] = "QzlinkFrm";

// The class has no code of its own: DefWindowProcA.
bool RegisterWindowClass() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = ThisModule();
  wc.lpszClassName = kWindowClass;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

SharedState& Shared() {
  thread_local SharedState state = {};
  return state;
}

HWND NotifyWindow() {
  thread_local HWND window = nullptr;
  if (window != nullptr && IsWindow(window)) {
    return window;
  }
  window = nullptr;
  if (!RegisterWindowClass()) {
    return nullptr;
  }
  // WS_OVERLAPPED without WS_VISIBLE: a top-level window that is never shown.
  window = CreateWindowExA(0, kWindowClass, kWindowClass, WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                           nullptr, ThisModule(), nullptr);
  if (window == nullptr) {
    window = CreateWindowExA(0, kWindowClass, kWindowClass, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             ThisModule(), nullptr);
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
  if (handle != nullptr) {
    SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.lPrevWndProc));
  }
  s.bHooked = false;
}

LRESULT CALLBACK NotifyWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SharedState& s = Shared();
  // Read before the handlers run: a handler may unhook the window.
  const WNDPROC previous = s.lPrevWndProc;
  if (s.bCommOpen && hwnd == s.hNotifyWnd && (msg == kAckRxMessage || msg == kNotifyRxMessage) &&
      s.oActiveCtrl != nullptr) {
    // Keep the instance alive through its handlers, which may terminate it.
    Ref<QzlinkCtrl> target(s.oActiveCtrl);
    // A binding failure here has no caller to go to: the event is skipped
    // and the message still reaches the previous procedure.
    const bool readerWaits = InSendMessage() != FALSE;
    s.readerEventDepth += readerWaits ? 1 : 0;
    target->RaiseRxEvent(msg == kAckRxMessage ? 1 : 2, wParam, lParam);
    s.readerEventDepth -= readerWaits ? 1 : 0;
  }
  return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
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

}  // namespace qzaxctrl::win32
