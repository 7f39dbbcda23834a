// The network control service: HTTP and WebSocket on one port over a
// CameraHub. The operator application and the daemon both make one with
// their hub and settings, Start it, and Stop it before the hub goes.
#pragma once

#include "netcontrol/api_core.h"
#include "netcontrol/camera_hub.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>

class QWebSocket;

namespace qznet {

class HttpAdapter;

struct ServiceSettings {
  // Loopback only unless the host says otherwise.
  QList<QHostAddress> addresses = {QHostAddress(QHostAddress::LocalHost),
                                   QHostAddress(QHostAddress::LocalHostIPv6)};
  quint16 port = 8099;
  QList<qintptr> listeningSockets;  // taken instead of addresses when given (systemd)
  QByteArray adminToken;            // TokenStore::LoadOrCreate
  QStringList allowedHosts;         // Host names for binds beyond loopback
  QStringList allowedOrigins;       // origins of other pages that may call us
  Limits limits;
  MoveTimeouts timeouts;
  std::chrono::milliseconds pingInterval{15000};
  QString version;
  LogSink log;  // every change, with the client's name
};

class NetControlService : public QObject {
  Q_OBJECT
 public:
  NetControlService(CameraHub& hub, ServiceSettings settings, QObject* parent = nullptr);
  ~NetControlService() override;

  // False with error set when the port cannot be had.
  bool Start(QString* error);
  // Stops every camera the network has moving, closes the clients and the
  // port. Start may follow.
  void Stop();
  bool Running() const;
  quint16 Port() const;

  // The local operator pressed (true) or released a control of the camera.
  void LocalOperator(CameraId camera, bool active);

  int WebSocketClients() const { return int(sessions_.size()); }
  ApiCore& Core() { return *core_; }

 signals:
  // After each event went to the WebSocket clients (for tests and hosts).
  void EventSent(const QString& method, qint64 sequence);

 private:
  struct Session;
  std::optional<HttpResponse> CheckUpgrade(const HttpRequest& request);
  void OnWebSocket(std::unique_ptr<QWebSocket> socket, const HttpRequest& request);
  void Broadcast(const QString& method, QJsonObject params);
  void Send(Session* session, const QString& text);
  void Drop(Session* session, const QString& why);
  void Reschedule();
  void Log(const QString& line) const;
  bool TokenIsUsable() const;

  ServiceSettings settings_;
  std::unique_ptr<ApiCore> core_;
  std::unique_ptr<HttpAdapter> adapter_;
  QList<Session*> sessions_;
  QTimer deadline_;
  QTimer ping_;
  qint64 sequence_ = 0;
  int socketNumber_ = 0;
};

}  // namespace qznet
