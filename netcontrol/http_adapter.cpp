#include "netcontrol/http_adapter.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace qznet {
namespace {

HttpMethod FromQt(QHttpServerRequest::Method method) {
  switch (method) {
    case QHttpServerRequest::Method::Get:
      return HttpMethod::Get;
    case QHttpServerRequest::Method::Post:
      return HttpMethod::Post;
    case QHttpServerRequest::Method::Patch:
      return HttpMethod::Patch;
    case QHttpServerRequest::Method::Put:
      return HttpMethod::Put;
    case QHttpServerRequest::Method::Delete:
      return HttpMethod::Delete;
    case QHttpServerRequest::Method::Head:
      return HttpMethod::Head;
    case QHttpServerRequest::Method::Options:
      return HttpMethod::Options;
    default:
      break;
  }
  return HttpMethod::Other;
}

void WriteAndClose(QTcpSocket* socket, const HttpResponse& response) {
  HttpResponse closing = response;
  closing.closeConnection = true;
  socket->write(SerializeResponse(closing));
  socket->disconnectFromHost();
  // A peer that never reads must not keep the socket.
  QTimer::singleShot(2000, socket, [socket] { socket->abort(); });
}

HttpResponse Refusal(int status, const char* detail) {
  HttpResponse response;
  response.status = status;
  response.contentType = "application/problem+json";
  response.body = QByteArray(R"({"type":"about:blank","status":)") + QByteArray::number(status) +
                  R"(,"title":")" + StatusText(status) + R"(","detail":")" + detail + "\"}";
  return response;
}

// Bytes received on a connection since its last response.
const char* const kReceivedProperty = "qznetReceived";

QString PeerKey(const QHostAddress& address, quint16 port) {
  return address.toString() + QLatin1Char('#') + QString::number(port);
}

// Bounds the time a connection holds one of the few slots without progress:
// a request must arrive whole within the request bound of its first byte (of
// the connection's start, for the first), and a kept-alive connection with no
// request in flight is closed after the idle bound. Without it a client could
// hold every slot by opening connections and sending nothing, or a byte at a
// time.
class ConnectionClock : public QTimer {
 public:
  ConnectionClock(QTcpSocket* socket, int requestMs, int idleMs)
      : QTimer(socket), requestMs_(requestMs), idleMs_(idleMs) {
    setObjectName(QStringLiteral("qznetClock"));
    setSingleShot(true);
    connect(this, &QTimer::timeout, socket, &QTcpSocket::abort);
    start(requestMs_);
  }
  static ConnectionClock* Of(QTcpSocket* socket) {
    return socket->findChild<ConnectionClock*>(QStringLiteral("qznetClock"),
                                               Qt::FindDirectChildrenOnly);
  }
  // The first bytes of a request after an idle spell start its bound.
  void BytesArrived() {
    if (idle_) {
      idle_ = false;
      start(requestMs_);
    }
  }
  // A whole request is being answered: no bound while the camera works.
  void RequestParsed() {
    ++inFlight_;
    idle_ = false;
    stop();
  }
  void Answered() {
    if (inFlight_ > 0 && --inFlight_ == 0) {
      idle_ = true;
      start(idleMs_);
    }
  }

 private:
  int requestMs_;
  int idleMs_;
  int inFlight_ = 0;
  bool idle_ = false;
};

}  // namespace

struct HttpAdapter::Hooks {
  RequestHandler onRequest;
  UpgradeCheck checkUpgrade;
  WebSocketHandler onWebSocket;
  QWebSocketServer webSockets{QStringLiteral("qzlink"), QWebSocketServer::NonSecureMode};
  QMap<QString, HttpRequest> upgrading;  // by peer address and port
};

// Accepts connections itself and reads the first request's headers before
// the HTTP server sees the connection.
class HttpAdapter::GuardedTcpServer : public QTcpServer {
 public:
  GuardedTcpServer(HttpAdapter::Options options, std::shared_ptr<int> open,
                   std::shared_ptr<Hooks> hooks)
      : options_(options), open_(std::move(open)), hooks_(std::move(hooks)) {}

 protected:
  void incomingConnection(qintptr descriptor) override {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
      delete socket;
      return;
    }
    if (*open_ >= options_.maxConnections) {
      WriteAndClose(socket, Refusal(503, "too many connections"));
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      return;
    }
    ++*open_;
    connect(socket, &QObject::destroyed, [open = open_] { --*open; });
    connect(socket, &QTcpSocket::disconnected, socket, [socket] {
      if (!socket->property("qznetHandedOver").toBool()) {
        socket->deleteLater();
      }
    });
    auto* clock = new ConnectionClock(socket, options_.requestTimeoutMs, options_.idleTimeoutMs);
    connect(socket, &QTcpSocket::readyRead, socket,
            [this, socket, clock] { Watch(socket, clock); });
  }

 private:
  void Watch(QTcpSocket* socket, ConnectionClock* clock) {
    const qint64 limit = options_.maxRequestBytes;
    if (socket->property("qznetHandedOver").toBool()) {
      // Runs before the HTTP server's reader: it sees only what we let by.
      clock->BytesArrived();
      const qint64 received =
          socket->property(kReceivedProperty).toLongLong() + socket->bytesAvailable();
      socket->setProperty(kReceivedProperty, received);
      if (received > limit) {
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        WriteAndClose(socket, Refusal(413, "the request is too large"));
      }
      return;
    }
    const QByteArray head = socket->peek(limit + 1);
    bool complete = false;
    const auto request = ParseRequestHead(head, &complete);
    if (!complete) {
      if (head.size() > limit) {
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        WriteAndClose(socket, Refusal(431, "the request headers are too large"));
      }
      return;  // more to come
    }
    if (request && IsWebSocketUpgrade(*request)) {
      clock->stop();  // the WebSocket's own pings watch it from here
      disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
      HttpRequest upgrade = *request;
      upgrade.peer = socket->peerAddress().toString();
      if (auto refusal = hooks_->checkUpgrade(upgrade)) {
        WriteAndClose(socket, *refusal);
        return;
      }
      hooks_->upgrading.insert(PeerKey(socket->peerAddress(), socket->peerPort()), upgrade);
      socket->setProperty("qznetHandedOver", true);
      hooks_->webSockets.handleConnection(socket);
      emit socket->readyRead();
      return;
    }
    // A plain request: the HTTP server takes the connection from here. It
    // reads what has arrived once it has connected its reader.
    socket->setProperty("qznetHandedOver", true);
    socket->setProperty(kReceivedProperty, 0);
    addPendingConnection(socket);  // emits pendingConnectionAvailable
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(0, socket, [guard] {
      if (guard && guard->bytesAvailable() > 0) {
        emit guard->readyRead();
      }
    });
  }

  HttpAdapter::Options options_;
  std::shared_ptr<int> open_;
  std::shared_ptr<Hooks> hooks_;
};

class HttpAdapter::Server : public QAbstractHttpServer {
 public:
  explicit Server(std::shared_ptr<Hooks> hooks) : hooks_(std::move(hooks)) {}

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
    HttpRequest ours;
    ours.method = FromQt(request.method());
    ours.path = request.url().path();
    ours.query = request.query();
    bool repeated = false;
    for (const auto& [name, value] : request.headers()) {
      const QByteArray key = name.toLower();
      // A repeated Host, Origin or Authorization must not be merged into
      // something that passes a check.
      if (ours.headers.contains(key)) {
        repeated = repeated || key == "host" || key == "origin" || key == "authorization" ||
                   key == "content-length";
        continue;
      }
      ours.headers.insert(key, value);
    }
    ours.body = request.body();
    ours.peer = request.remoteAddress().toString();
    socket->setProperty(kReceivedProperty, 0);
    if (ConnectionClock* clock = ConnectionClock::Of(socket)) {
      clock->RequestParsed();
    }
    if (repeated) {
      WriteAndClose(socket, Refusal(400, "a header is repeated"));
      return true;
    }
    const bool close = request.value("connection").compare("close", Qt::CaseInsensitive) == 0;
    const bool head = ours.method == HttpMethod::Head;
    QPointer<QTcpSocket> guard(socket);
    hooks_->onRequest(ours, [guard, close, head](HttpResponse response) {
      if (!guard || guard->state() != QAbstractSocket::ConnectedState) {
        return;  // the client has gone; nobody to tell
      }
      response.closeConnection = response.closeConnection || close;
      QByteArray bytes = SerializeResponse(response);
      if (head) {
        bytes.chop(response.body.size());
      }
      guard->write(bytes);
      if (response.closeConnection) {
        guard->disconnectFromHost();
      } else if (ConnectionClock* clock = ConnectionClock::Of(guard)) {
        clock->Answered();
      }
    });
    return true;
  }
  void missingHandler(const QHttpServerRequest&, QTcpSocket* socket) override {
    WriteAndClose(socket, Refusal(404, "no such path"));
  }

 private:
  std::shared_ptr<Hooks> hooks_;
};

HttpAdapter::HttpAdapter(Options options, RequestHandler onRequest, UpgradeCheck checkUpgrade,
                         WebSocketHandler onWebSocket, QObject* parent)
    : QObject(parent), options_(options), hooks_(std::make_shared<Hooks>()) {
  hooks_->onRequest = std::move(onRequest);
  hooks_->checkUpgrade = std::move(checkUpgrade);
  hooks_->onWebSocket = std::move(onWebSocket);
  server_ = std::make_unique<Server>(hooks_);
  Hooks* hooks = hooks_.get();
  connect(&hooks_->webSockets, &QWebSocketServer::newConnection, this, [hooks] {
    while (hooks->webSockets.hasPendingConnections()) {
      std::unique_ptr<QWebSocket> socket(hooks->webSockets.nextPendingConnection());
      const HttpRequest request =
          hooks->upgrading.take(PeerKey(socket->peerAddress(), socket->peerPort()));
      hooks->onWebSocket(std::move(socket), request);
    }
  });
}

HttpAdapter::~HttpAdapter() {
  Close();
}

bool HttpAdapter::Listen(const QList<QHostAddress>& addresses, quint16 port, QString* error) {
  Close();
  for (const QHostAddress& address : addresses) {
    auto* tcp = new GuardedTcpServer(options_, open_, hooks_);
    if (!tcp->listen(address, port)) {
      *error = QStringLiteral("cannot listen on %1 port %2: %3")
                   .arg(address.toString())
                   .arg(port)
                   .arg(tcp->errorString());
      delete tcp;
      Close();
      return false;
    }
    port = tcp->serverPort();  // the others on the same port
    server_->bind(tcp);
  }
  port_ = port;
  return true;
}

bool HttpAdapter::Adopt(const QList<qintptr>& descriptors, QString* error) {
  Close();
  for (qintptr descriptor : descriptors) {
    auto* tcp = new GuardedTcpServer(options_, open_, hooks_);
    if (!tcp->setSocketDescriptor(descriptor)) {
      *error = QStringLiteral("cannot take the listening socket %1: %2")
                   .arg(descriptor)
                   .arg(tcp->errorString());
      delete tcp;
      Close();
      return false;
    }
    port_ = tcp->serverPort();
    server_->bind(tcp);
  }
  return true;
}

void HttpAdapter::Close() {
  for (QTcpServer* tcp : server_->servers()) {
    tcp->close();
    delete tcp;
  }
  hooks_->upgrading.clear();
  port_ = 0;
}

}  // namespace qznet
