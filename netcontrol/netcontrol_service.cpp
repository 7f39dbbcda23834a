#include "netcontrol/netcontrol_service.h"

#include "netcontrol/http_adapter.h"
#include "netcontrol/json_rpc.h"

#include "qz_version.h"

#include <QFile>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrlQuery>
#include <QWebSocket>

static void InitPageResource() {
  Q_INIT_RESOURCE(netcontrol_page);
}

namespace qznet {

struct NetControlService::Session {
  std::unique_ptr<QWebSocket> socket;
  Caller caller;
  bool awaitingPong = false;
};

NetControlService::NetControlService(CameraHub& hub, ServiceSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {
  InitPageResource();
  AccessSettings access{settings_.adminToken, settings_.port, settings_.allowedHosts,
                        settings_.allowedOrigins};
  core_ = std::make_unique<ApiCore>(hub, access, settings_.limits, settings_.timeouts);
  core_->SetVersion(settings_.version.isEmpty() ? QStringLiteral(QZ_VERSION) : settings_.version);
  core_->SetLogSink([this](const QString& line) { Log(line); });
  core_->SetEventSink(
      [this](const QString& method, const QJsonObject& params) { Broadcast(method, params); });
  QFile page(QStringLiteral(":/qznetcontrol/index.html"));
  if (page.open(QIODevice::ReadOnly)) {
    core_->SetPage(page.readAll());
  }
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    core_->Tick();
    Reschedule();
  });
  ping_.setInterval(settings_.pingInterval);
  // A client that answered no ping for a whole interval has gone without a
  // word (a pulled cable, a frozen machine): dropping it stops its moves, as
  // a disconnect does.
  connect(&ping_, &QTimer::timeout, this, [this] {
    const QList<Session*> sessions = sessions_;
    for (Session* session : sessions) {
      if (session->awaitingPong) {
        Drop(session, QStringLiteral("answered no ping"));
        continue;
      }
      session->awaitingPong = true;
      session->socket->ping();
    }
  });

  HttpAdapter::Options options;
  options.maxConnections = settings_.limits.maxConnections;
  options.requestTimeoutMs = settings_.limits.requestTimeoutMs;
  options.idleTimeoutMs = settings_.limits.idleTimeoutMs;
  options.maxRequestBytes = settings_.limits.maxBodyBytes + 16 * 1024;  // and the headers
  adapter_ = std::make_unique<HttpAdapter>(
      options,
      [this](const HttpRequest& request, Respond respond) {
        core_->HandleHttp(request, std::move(respond));
        Reschedule();
      },
      [this](const HttpRequest& request) { return CheckUpgrade(request); },
      [this](std::unique_ptr<QWebSocket> socket, const HttpRequest& request) {
        OnWebSocket(std::move(socket), request);
      });
}

NetControlService::~NetControlService() {
  Stop();
}

void NetControlService::Log(const QString& line) const {
  if (settings_.log) {
    settings_.log(line);
  }
}

bool NetControlService::Start(QString* error) {
  if (!TokenIsUsable()) {
    *error = QStringLiteral("no token: the service refuses to run without one");
    return false;
  }
  const bool listening = settings_.listeningSockets.isEmpty()
                             ? adapter_->Listen(settings_.addresses, settings_.port, error)
                             : adapter_->Adopt(settings_.listeningSockets, error);
  if (!listening) {
    return false;
  }
  core_->SetPort(adapter_->Port());
  ping_.start();
  QStringList where;
  for (const QHostAddress& address : settings_.addresses) {
    where.append(address.protocol() == QAbstractSocket::IPv6Protocol
                     ? "[" + address.toString() + "]"
                     : address.toString());
  }
  Log(QStringLiteral("network control listening on %1 port %2")
          .arg(settings_.listeningSockets.isEmpty() ? where.join(", ")
                                                    : QStringLiteral("the given sockets"))
          .arg(adapter_->Port()));
  return true;
}

bool NetControlService::TokenIsUsable() const {
  return settings_.adminToken.size() >= 32;
}

void NetControlService::Stop() {
  if (!adapter_) {
    return;
  }
  const bool wasRunning = Running();
  core_->StopAll(QStringLiteral("shutdown"));
  const QList<Session*> sessions = sessions_;
  sessions_.clear();
  for (Session* session : sessions) {
    session->socket->disconnect(this);
    session->socket->close(QWebSocketProtocol::CloseCodeGoingAway, "the service stops");
    delete session;
  }
  ping_.stop();
  deadline_.stop();
  adapter_->Close();
  if (wasRunning) {
    Log(QStringLiteral("network control stopped"));
  }
}

bool NetControlService::Running() const {
  return adapter_ && adapter_->Port() != 0;
}

quint16 NetControlService::Port() const {
  return adapter_ ? adapter_->Port() : 0;
}

void NetControlService::LocalOperator(CameraId camera, bool active) {
  core_->LocalOperator(camera, active);
  Reschedule();
}

void NetControlService::Reschedule() {
  const auto next = core_->NextDeadline();
  if (!next) {
    deadline_.stop();
    return;
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - ApiCore::Clock::now());
  deadline_.start(std::max(wait, std::chrono::milliseconds(0)));
}

void NetControlService::Broadcast(const QString& method, QJsonObject params) {
  params["seq"] = ++sequence_;
  const QString text = QString::fromUtf8(RpcNotification(method, params));
  const QList<Session*> sessions = sessions_;
  for (Session* session : sessions) {
    Send(session, text);
  }
  emit EventSent(method, sequence_);
}

void NetControlService::Send(Session* session, const QString& text) {
  // Events for a client that does not read pile up here, not in the kernel:
  // past the bound it is dropped rather than allowed to take the memory.
  if (session->socket->bytesToWrite() > settings_.limits.maxUnsentBytes) {
    Drop(session, QStringLiteral("reads too slowly"));
    return;
  }
  session->socket->sendTextMessage(text);
}

void NetControlService::Drop(Session* session, const QString& why) {
  Log(QStringLiteral("network %1: WebSocket %2, dropped").arg(session->caller.name, why));
  // abort() says disconnected, which ends the session and stops its moves.
  session->socket->abort();
}

std::optional<HttpResponse> NetControlService::CheckUpgrade(const HttpRequest& request) {
  auto refuse = [&](const Problem& problem) {
    Log(QStringLiteral("network: WebSocket from %1 refused: %2").arg(request.peer, problem.detail));
    return std::optional<HttpResponse>(problem.ToResponse());
  };
  if (request.path != QLatin1String("/api/v1/ws")) {
    return refuse(Problem{404, "no_route", "WebSockets are at /api/v1/ws", {}});
  }
  auto admitted = core_->AdmitWebSocket(request.Header("host"), request.Header("origin"),
                                        request.Header("authorization"), request.query,
                                        request.peer, socketNumber_ + 1);
  if (const Problem* problem = std::get_if<Problem>(&admitted)) {
    return refuse(*problem);
  }
  if (sessions_.size() >= settings_.limits.maxWebSocketClients) {
    return refuse(Problem{503, "too_many_clients", "too many WebSocket clients", {}});
  }
  return std::nullopt;
}

void NetControlService::OnWebSocket(std::unique_ptr<QWebSocket> socket,
                                    const HttpRequest& request) {
  auto admitted = core_->AdmitWebSocket(request.Header("host"), request.Header("origin"),
                                        request.Header("authorization"), request.query,
                                        request.peer, ++socketNumber_);
  // Checked before the upgrade; checked again in case the request was lost
  // or other clients came in meanwhile.
  if (std::holds_alternative<Problem>(admitted) ||
      sessions_.size() >= settings_.limits.maxWebSocketClients) {
    QWebSocket* raw = socket.release();
    connect(raw, &QWebSocket::disconnected, raw, &QObject::deleteLater);
    raw->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
    QTimer::singleShot(2000, raw, &QObject::deleteLater);
    return;
  }
  auto* session = new Session{std::move(socket), std::get<Caller>(admitted)};
  sessions_.append(session);
  QWebSocket* ws = session->socket.get();
  ws->setMaxAllowedIncomingMessageSize(quint64(settings_.limits.maxMessageBytes));
  ws->setMaxAllowedIncomingFrameSize(quint64(settings_.limits.maxMessageBytes));
  Log(QStringLiteral("network %1: WebSocket connected (%2 scope)")
          .arg(session->caller.name, ScopeName(session->caller.scope)));

  QJsonObject hello = core_->Snapshot();
  hello["client"] = session->caller.name;
  hello["scope"] = ScopeName(session->caller.scope);
  hello["seq"] = sequence_;
  ws->sendTextMessage(QString::fromUtf8(RpcNotification("hello", hello)));

  connect(ws, &QWebSocket::pong, this, [session] { session->awaitingPong = false; });
  connect(ws, &QWebSocket::textMessageReceived, this, [this, session](const QString& message) {
    QPointer<QWebSocket> target(session->socket.get());
    core_->HandleRpc(message.toUtf8(), session->caller, [this, target](QByteArray answer) {
      if (!target) {
        return;
      }
      for (Session* s : sessions_) {
        if (s->socket.get() == target) {
          Send(s, QString::fromUtf8(answer));
        }
      }
    });
    Reschedule();
  });
  // Binary frames (some senders' keep-alive "pings") are not commands: ignored.
  connect(ws, &QWebSocket::disconnected, this, [this, session] {
    if (!sessions_.removeOne(session)) {
      return;
    }
    Log(QStringLiteral("network %1: WebSocket disconnected").arg(session->caller.name));
    core_->ClientGone(session->caller.key, session->caller.name);
    Reschedule();
    session->socket->disconnect(this);
    session->socket.release()->deleteLater();
    delete session;
  });
}

}  // namespace qznet
