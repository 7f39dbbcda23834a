// The service's behaviour without sockets: an HTTP request in, a response
// out (later, when the camera has answered); the same actions for the
// JSON-RPC methods of the WebSocket; the events they and the hub cause; the
// dead man's stops. The adapter and the WebSocket sessions only carry bytes.
#pragma once

#include "netcontrol/access_policy.h"
#include "netcontrol/camera_hub.h"
#include "netcontrol/http_types.h"
#include "netcontrol/move_arbiter.h"
#include "netcontrol/problem.h"
#include "netcontrol/rate_limiter.h"
#include "netcontrol/route_table.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

namespace qznet {

struct Limits {
  qint64 maxBodyBytes = 16 * 1024;
  qint64 maxMessageBytes = 16 * 1024;   // one WebSocket message
  qint64 maxUnsentBytes = 1024 * 1024;  // a WebSocket client reading too slowly is dropped
  int maxWebSocketClients = 32;
  int maxConnections = 64;        // HTTP connections at once
  int requestTimeoutMs = 10000;   // to send a whole request
  int idleTimeoutMs = 30000;      // a kept-alive HTTP connection with no request
  double requestsPerSecond = 50;  // per peer address
  double requestBurst = 100;
};

struct MoveTimeouts {
  std::chrono::milliseconds defaultTimeout{1000};
  std::chrono::milliseconds minimum{100};
  std::chrono::milliseconds maximum{10000};
};

// Who asks: a name for people (logs, events), a key that tells clients apart
// (moves and locks), and what its token allows.
struct Caller {
  QString name;
  QString key;
  Scope scope = Scope::Read;
  QString peer;
};

struct ActionResult {
  int status = 200;
  QJsonValue body;                 // for status < 400
  std::optional<Problem> problem;  // for status >= 400
};
using ActionDone = std::function<void(ActionResult)>;

using EventSink = std::function<void(const QString& method, const QJsonObject& params)>;
using LogSink = std::function<void(const QString& line)>;

class ApiCore {
 public:
  using Clock = std::chrono::steady_clock;

  ApiCore(CameraHub& hub, AccessSettings access, Limits limits, MoveTimeouts timeouts,
          std::function<Clock::time_point()> clock = &Clock::now);
  ~ApiCore();
  ApiCore(const ApiCore&) = delete;
  ApiCore& operator=(const ApiCore&) = delete;

  void SetEventSink(EventSink sink) { events_ = std::move(sink); }
  void SetLogSink(LogSink sink) { log_ = std::move(sink); }
  void SetPage(QByteArray html) { page_ = std::move(html); }
  void SetVersion(QString version) { version_ = std::move(version); }
  void SetPort(quint16 port) { access_.SetPort(port); }

  // The whole path of one HTTP request: Host and Origin, token and scope,
  // rate, size, route, body, action. respond runs exactly once, maybe later.
  void HandleHttp(const HttpRequest& request, Respond respond);

  // The admission of a WebSocket: its Host, Origin and token. The caller's
  // scope, or the problem to close it with.
  std::variant<Caller, Problem> AdmitWebSocket(const QByteArray& host, const QByteArray& origin,
                                               const QByteArray& authorization,
                                               const QUrlQuery& query, const QString& peer,
                                               int socketNumber);
  // One JSON-RPC text message from an admitted WebSocket client; reply gets
  // the answer text (not for notifications).
  void HandleRpc(const QByteArray& message, const Caller& caller,
                 std::function<void(QByteArray)> reply);

  // One action for an admitted caller. params: "line", "cam", "n".
  void Invoke(Action action, const QMap<QString, int>& params, const QJsonObject& body,
              const Caller& caller, ActionDone done);

  // Stops the moves past their deadline; the service calls it at NextDeadline.
  void Tick();
  std::optional<Clock::time_point> NextDeadline() const { return arbiter_.NextDeadline(); }
  // A client has gone: its moves stop, its locks go.
  void ClientGone(const QString& key, const QString& name);
  // The local operator pressed or released a control of the camera. A
  // network move of it ends (reason "preempted"); while pressed, network
  // moves are refused with 409.
  void LocalOperator(CameraId camera, bool active);
  // Stops every camera the network has moving (when the service stops).
  void StopAll(const QString& reason);

  QJsonObject Snapshot() const;
  QJsonObject CameraJson(const CameraInfo& info) const;
  const MoveArbiter& Arbiter() const { return arbiter_; }
  CameraHub& Hub() { return hub_; }

  static QString ClientName(const QString& requested, const QString& peer);

 private:
  void Dispatch(Action action, CameraId camera, int preset, const QJsonObject& body,
                const Caller& caller, ActionDone done);
  void SendIntent(CameraId camera, const LineIntent& intent, ActionDone done);
  void Execute(CameraId camera, const CameraCommand& command, const Caller& caller,
               const QString& what, std::function<void(const CommandResult&)> then,
               ActionDone done);
  void Emit(const QString& method, QJsonObject params, std::optional<CameraId> camera = {});
  void Log(const Caller& caller, const QString& what) const;
  void EndMove(CameraId camera, const QString& owner, const QString& reason);
  std::optional<Problem> CheckCamera(CameraId camera) const;
  QJsonObject CamerasKeyed(const QList<CameraInfo>& cameras) const;

  CameraHub& hub_;
  AccessPolicy access_;
  Limits limits_;
  MoveTimeouts timeouts_;
  std::function<Clock::time_point()> clock_;
  MoveArbiter arbiter_;
  RateLimiter rate_;
  EventSink events_;
  LogSink log_;
  QByteArray page_;
  QString version_ = QStringLiteral("0");
  // Hub callbacks may outlive this object: they check it is still there.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  QList<QMetaObject::Connection> connections_;
};

QString LinkStateName(LinkState state);
QString LineStateName(LineState state);
// "FF 30 31 00 87 EF" (blanks optional) to bytes; nullopt unless it is one
// whole command frame: FF first, EF last and nowhere else, 6 to 15 bytes.
std::optional<QByteArray> ParseCommandFrame(const QString& hex);
QString HexText(const QByteArray& bytes);

}  // namespace qznet
