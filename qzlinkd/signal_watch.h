// SIGTERM and SIGINT as a Qt signal: the handler writes one byte into a
// socket pair, a notifier reads it in the event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace qzlinkd {

class SignalWatch : public QObject {
  Q_OBJECT
 public:
  explicit SignalWatch(QObject* parent = nullptr);
  ~SignalWatch() override;

 signals:
  void Terminate(int signal);

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace qzlinkd
