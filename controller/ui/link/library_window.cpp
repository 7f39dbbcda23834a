#include "ui/link/library_window.h"

#include <QCoreApplication>
#include <QHash>
#include <QSocketNotifier>
#include <QThread>

namespace qtr90x {

namespace {

// Windows of this process by handle. Only the GUI thread creates, destroys
// and dispatches them, so no lock is needed.
QHash<HWND, LibraryWindow::Handler*>& Windows() {
  static QHash<HWND, LibraryWindow::Handler*> windows;
  return windows;
}

}  // namespace

void EnsureMessagePump() {
  static thread_local QSocketNotifier* notifier = nullptr;
  if (notifier != nullptr || QCoreApplication::instance() == nullptr) {
    return;
  }
  notifier =
      new QSocketNotifier(QzMessageWakeFd(), QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [] { QzDispatchMessages(); });
  QObject::connect(notifier, &QObject::destroyed, [] { notifier = nullptr; });
}

LibraryWindow::LibraryWindow(Handler handler) : handler_(std::move(handler)) {
  EnsureMessagePump();
  hwnd_ = QzCreateMessageWindow(&LibraryWindow::Procedure);
  if (hwnd_ != nullptr) {
    Windows().insert(hwnd_, &handler_);
  }
}

LibraryWindow::~LibraryWindow() {
  if (hwnd_ != nullptr) {
    Windows().remove(hwnd_);
    DestroyWindow(hwnd_);
  }
}

LRESULT LibraryWindow::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Handler* handler = Windows().value(hwnd, nullptr);
  if (handler != nullptr && *handler) {
    bool handled = false;
    const LRESULT result = (*handler)(msg, wParam, lParam, &handled);
    if (handled) {
      return result;
    }
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace qtr90x
