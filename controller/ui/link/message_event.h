// A private message as a Qt event: the event type is the message number and
// wParam and lParam travel with it, with the object that posted it where the
// receiver needs to know (the inching buttons). Messages are always posted.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <cstdint>

namespace qtr90x {

class MessageEvent : public QEvent {
 public:
  MessageEvent(int message, std::intptr_t wParam, std::intptr_t lParam, QObject* sender = nullptr)
      : QEvent(static_cast<QEvent::Type>(message)),
        wParam_(wParam),
        lParam_(lParam),
        sender_(sender) {}

  int Message() const { return static_cast<int>(type()); }
  std::intptr_t WParam() const { return wParam_; }
  std::intptr_t LParam() const { return lParam_; }
  // The poster, or null when it did not say or no longer exists.
  QObject* Sender() const { return sender_; }

 private:
  std::intptr_t wParam_;
  std::intptr_t lParam_;
  QPointer<QObject> sender_;
};

inline void PostMessageTo(QObject* target, int message, std::intptr_t wParam = 0,
                          std::intptr_t lParam = 0) {
  if (target != nullptr) {
    QCoreApplication::postEvent(target, new MessageEvent(message, wParam, lParam));
  }
}

// The same, naming the poster.
inline void PostMessageFrom(QObject* sender, QObject* target, int message, std::intptr_t wParam,
                            std::intptr_t lParam) {
  if (target != nullptr) {
    QCoreApplication::postEvent(target, new MessageEvent(message, wParam, lParam, sender));
  }
}

}  // namespace qtr90x
