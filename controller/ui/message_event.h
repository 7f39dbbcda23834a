// A private message as a Qt event: the event type is the message number and
// wParam and lParam travel with it. Messages are always posted.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <cstdint>

namespace qtr90x {

class MessageEvent : public QEvent {
 public:
  MessageEvent(int message, std::intptr_t wParam, std::intptr_t lParam)
      : QEvent(static_cast<QEvent::Type>(message)), wParam_(wParam), lParam_(lParam) {}

  int Message() const { return static_cast<int>(type()); }
  std::intptr_t WParam() const { return wParam_; }
  std::intptr_t LParam() const { return lParam_; }

 private:
  std::intptr_t wParam_;
  std::intptr_t lParam_;
};

inline void PostMessageTo(QObject* target, int message, std::intptr_t wParam = 0,
                          std::intptr_t lParam = 0) {
  if (target != nullptr) {
    QCoreApplication::postEvent(target, new MessageEvent(message, wParam, lParam));
  }
}

}  // namespace qtr90x
