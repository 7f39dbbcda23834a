// The one place that knows the Qt HTTP Server module, whose interface
// changes between Qt versions: it listens, turns each request into an
// HttpRequest, writes the HttpResponse when it comes (maybe much later), and
// hands WebSocket upgrades on.
//
// Each connection is read by us first, up to the end of its first request's
// headers, before the module sees it. That gives what the module (6.4)
// lacks: WebSocket upgrades checked before they are accepted (path, token,
// Host, Origin: a refusal is a plain HTTP answer), a bound on the bytes of a
// request, on the connections at once, on the time to send a request, and on
// the time a kept-alive connection may sit idle.
#pragma once

#include "netcontrol/http_types.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWebSocket;

namespace qznet {

class HttpAdapter : public QObject {
  Q_OBJECT
 public:
  struct Options {
    qint64 maxRequestBytes = 32 * 1024;  // request line, headers and body together
    int maxConnections = 64;
    int requestTimeoutMs = 10000;  // to send a whole request, from its first byte
    int idleTimeoutMs = 30000;     // a kept-alive connection with no request
  };
  using RequestHandler = std::function<void(const HttpRequest&, Respond)>;
  // nullopt accepts the upgrade; a response refuses it.
  using UpgradeCheck = std::function<std::optional<HttpResponse>(const HttpRequest&)>;
  using WebSocketHandler = std::function<void(std::unique_ptr<QWebSocket>, const HttpRequest&)>;

  HttpAdapter(Options options, RequestHandler onRequest, UpgradeCheck checkUpgrade,
              WebSocketHandler onWebSocket, QObject* parent = nullptr);
  ~HttpAdapter() override;

  // Listens on every address on one port (0: any free port, the same for
  // all). False with error set when an address cannot be bound.
  bool Listen(const QList<QHostAddress>& addresses, quint16 port, QString* error);
  // Listens on sockets already bound and listening (systemd's).
  bool Adopt(const QList<qintptr>& descriptors, QString* error);
  void Close();
  quint16 Port() const { return port_; }
  int OpenConnections() const { return *open_; }

 private:
  class Server;
  class GuardedTcpServer;
  struct Hooks;
  Options options_;
  std::shared_ptr<int> open_ = std::make_shared<int>(0);
  std::shared_ptr<Hooks> hooks_;
  std::unique_ptr<Server> server_;
  quint16 port_ = 0;
};

}  // namespace qznet
