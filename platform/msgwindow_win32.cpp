// The platform layer's own message helpers over user32 windows.
#include <windows.h>

#include <atomic>

#include "platform/msgwindow.h"

namespace {

constexpr char kClassName[] = "QzMessageWindow";

// The procedure of a window created by QzCreateMessageWindow: the class's
// procedure hands each message to the one given at creation, kept in the
// window's user data (set from WM_NCCREATE on, before anything else runs).
LRESULT CALLBACK Forward(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  return proc != nullptr ? proc(hwnd, msg, wParam, lParam)
                         : DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterOnce() {
  static std::atomic<int> state{0};  // 0 not yet, 1 registered, -1 failed
  if (state.load() == 0) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Forward;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    const bool ok = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    state.store(ok ? 1 : -1);
  }
  return state.load() == 1;
}

thread_local bool quitRequested = false;
thread_local int quitCode = 0;

}  // namespace

extern "C" {

HWND QzCreateMessageWindow(WNDPROC proc) {
  if (proc == nullptr || !RegisterOnce()) {
    return nullptr;
  }
  return CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleA(nullptr), reinterpret_cast<void*>(proc));
}

int QzDispatchMessages(void) {
  // PeekMessage runs the sent messages itself. Posted ones are run in order,
  // a bounded number per call, so that a procedure that keeps posting to
  // itself cannot hold the thread.
  constexpr int kMaxPerCall = 1024;
  int count = 0;
  MSG msg;
  while (count < kMaxPerCall && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quitRequested = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++count;
  }
  return count;
}

int QzRunMessageLoop(void) {
  MSG msg;
  while (!quitRequested) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) {
      return -1;
    }
    if (got == 0) {
      quitRequested = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  quitRequested = false;
  return quitCode;
}

void QzQuitMessageLoop(int exitCode) {
  quitRequested = true;
  quitCode = exitCode;
  // Wakes a loop blocked in GetMessageA.
  PostQuitMessage(exitCode);
}

int QzMsgWaitForHandle(HANDLE handle, int timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD wait = INFINITE;
    if (timeoutMs >= 0) {
      const ULONGLONG spent = GetTickCount64() - start;
      if (spent >= static_cast<ULONGLONG>(timeoutMs)) {
        wait = 0;
      } else {
        wait = static_cast<DWORD>(static_cast<ULONGLONG>(timeoutMs) - spent);
      }
    }
    const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, wait, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) {
      return 1;
    }
    if (r == WAIT_OBJECT_0 + 1) {
      // A sent message: PeekMessage runs it and leaves posted ones queued.
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    if (r == WAIT_TIMEOUT) {
      return 0;
    }
    return -1;
  }
}

int QzWaitForMessages(int timeoutMs) {
  const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  const DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return r == WAIT_OBJECT_0 ? 1 : 0;
}

}  // extern "C"
