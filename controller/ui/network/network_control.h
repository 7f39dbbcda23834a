// The network control service inside the operator application: off until
// enabled in its settings (stored in a subkey of the application's own key,
// beside the designed values, never changing them), on the application's
// own camera link, so that the window, the gamepad and the network share one
// line and one queue. Every change it logs goes to the debug window with the
// client's name.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "netcontrol/netcontrol_service.h"
#include "ui/link/camera_link.h"
#include "ui/network/link_hub.h"
#include "ui/network/link_line.h"

namespace qtr90x::net {

struct NetworkSettings {
  bool enabled = false;
  QString address = QStringLiteral("localhost");  // localhost: 127.0.0.1 and ::1
  int port = 8099;

  // "Software\Orveda\QTR90xControler\1.0\Network".
  static const char kKey[];
  static NetworkSettings Load();
  bool Save() const;
  // Why the address cannot be listened on; empty when it can.
  QString AddressProblem() const;
};

class NetworkControl : public QObject {
  Q_OBJECT
 public:
  using Log = std::function<void(const QString& line)>;
  NetworkControl(CameraLink& link, Log log, QObject* parent = nullptr);
  ~NetworkControl() override;

  // Starts, restarts or stops the service as the settings say. False with
  // error set when it should run and cannot (the port is taken).
  bool Apply(const NetworkSettings& settings, QString* error);
  bool Running() const { return service_ && service_->Running(); }
  quint16 Port() const { return Running() ? service_->Port() : 0; }
  // The admin token (created at the first call); empty with error set.
  static QByteArray Token(QString* error);
  static QString TokenPath();

 private:
  void Stop();

  CameraLink& link_;
  Log log_;
  // Made when the service starts: while it is off nothing of it touches
  // the line.
  std::unique_ptr<LinkLine> line_;
  std::unique_ptr<LinkHub> hub_;
  std::unique_ptr<qznet::NetControlService> service_;
};

}  // namespace qtr90x::net
