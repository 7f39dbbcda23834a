// qzlinkd's one object: the lines (the first in this process, each other in
// a worker process of its own), the hub over them, the network control
// service, and the orderly end on SIGTERM: every moving camera stopped,
// then the port closed and the workers ended.
#pragma once

#include <QObject>

#include <memory>
#include <vector>

#include "netcontrol/netcontrol_service.h"
#include "qzlinkd/command_line.h"
#include "qzlinkd/line_host.h"
#include "qzlinkd/remote_line.h"
#include "qzlinkd/signal_watch.h"
#include "ui/network/link_hub.h"

namespace qzlinkd {

class Daemon : public QObject {
  Q_OBJECT
 public:
  Daemon(Options options, QString program);
  ~Daemon() override;

  // False with error set when the token or the port cannot be had.
  bool Start(QString* error);
  // Stops every camera, then ends the event loop with `status`.
  void Terminate(int status);

 private:
  Options options_;
  QString program_;
  qtr90x::net::LinkHub hub_;
  std::unique_ptr<LineHost> first_;
  std::vector<std::unique_ptr<RemoteLine>> others_;
  std::unique_ptr<qznet::NetControlService> service_;
  SignalWatch signals_;
  bool terminating_ = false;
};

// The sockets systemd passed (LISTEN_FDS, LISTEN_PID), taken over.
QList<qintptr> SystemdSockets();
// Tells systemd (NOTIFY_SOCKET) that the service is ready; nothing without it.
void NotifySystemd(const QByteArray& state);

}  // namespace qzlinkd
