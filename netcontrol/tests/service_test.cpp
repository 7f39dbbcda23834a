// The whole service on loopback against the fake hub: real HTTP requests
// through QNetworkAccessManager, real WebSocket clients, the adapter's
// limits, the dead man on disconnect.
#include "fake_hub.h"

#include "netcontrol/access_policy.h"
#include "netcontrol/netcontrol_service.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QWebSocket>

#include <gtest/gtest.h>

namespace qznet::test {
namespace {

const QByteArray kToken(64, 'a');

template <typename Done>
bool PumpUntil(Done done, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

struct Reply {
  int status = 0;
  QByteArray contentType;
  QJsonObject json;
  QByteArray body;
};

class ServiceTest : public ::testing::Test {
 protected:
  virtual void Adjust(ServiceSettings&) {}
  void SetUp() override {
    ServiceSettings settings;
    settings.port = 0;
    settings.adminToken = kToken;
    settings.addresses = {QHostAddress(QHostAddress::LocalHost)};
    settings.limits.maxWebSocketClients = 2;
    settings.log = [this](const QString& line) { log.append(line); };
    Adjust(settings);
    service = std::make_unique<NetControlService>(hub, settings);
    QString error;
    ASSERT_TRUE(service->Start(&error)) << error.toStdString();
    port = service->Port();
    ASSERT_NE(port, 0);
  }
  void TearDown() override { service->Stop(); }

  QUrl Url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
  }

  Reply Send(const QByteArray& method, const QString& path, const QByteArray& body = {},
             QList<QPair<QByteArray, QByteArray>> headers = {
                 {"Authorization", "Bearer " + kToken}}) {
    QNetworkRequest request(Url(path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    for (const auto& [name, value] : headers) {
      request.setRawHeader(name, value);
    }
    QNetworkReply* reply = network.sendCustomRequest(request, method, body);
    EXPECT_TRUE(PumpUntil([reply] { return reply->isFinished(); }));
    Reply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    result.body = reply->readAll();
    result.json = QJsonDocument::fromJson(result.body).object();
    reply->deleteLater();
    return result;
  }

  // A WebSocket client that keeps every text message it gets.
  struct Client {
    std::unique_ptr<QWebSocket> socket = std::make_unique<QWebSocket>();
    QList<QJsonObject> messages;
    bool closed = false;
    int closeCode = 0;
  };
  std::unique_ptr<Client> Connect(const QString& query, const QString& origin = {}) {
    auto client = std::make_unique<Client>();
    Client* raw = client.get();
    QObject::connect(raw->socket.get(), &QWebSocket::textMessageReceived,
                     [raw](const QString& text) {
                       raw->messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
                     });
    QObject::connect(raw->socket.get(), qOverload<QAbstractSocket::SocketError>(&QWebSocket::error),
                     [raw](QAbstractSocket::SocketError) { raw->closed = true; });
    QObject::connect(raw->socket.get(), &QWebSocket::disconnected, [raw] {
      raw->closed = true;
      raw->closeCode = raw->socket->closeCode();
    });
    QNetworkRequest request(
        QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws?%2").arg(port).arg(query)));
    if (!origin.isEmpty()) {
      request.setRawHeader("Origin", origin.toLatin1());
    }
    raw->socket->open(request);
    return client;
  }

  FakeHub hub;
  std::unique_ptr<NetControlService> service;
  quint16 port = 0;
  QNetworkAccessManager network;
  QStringList log;
};

TEST_F(ServiceTest, AnswersRoutesWithStatusesAndProblemDocuments) {
  EXPECT_EQ(Send("GET", "/api/v1/lines").status, 200);
  const Reply camera = Send("GET", "/api/v1/cameras/1/2");
  EXPECT_EQ(camera.status, 200);
  EXPECT_EQ(camera.json.value("model").toString(), "QT-R90x");
  const Reply unknown = Send("GET", "/api/v1/cameras/1/7");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(unknown.contentType, "application/problem+json");
  EXPECT_EQ(Send("GET", "/api/v1/lines", {}, {}).status, 401);
  EXPECT_EQ(Send("POST", "/api/v1/cameras/1/1/stop", "{").status, 400);
  // A reply after the camera has answered (the fake answers on the next turn).
  hub.SetResult(CameraError::Busy);
  EXPECT_EQ(Send("POST", "/api/v1/cameras/1/1/home", "{}").status, 409);
  hub.SetResult(CameraError::None);
  const Reply page = Send("GET", "/?token=" + kToken, {}, {});
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(page.body.contains("<title>qzlink cameras</title>"));
  EXPECT_TRUE(log.join('\n').contains("home COM1 camera 1")) << log.join('\n').toStdString();
}

TEST_F(ServiceTest, ForeignHostAndOriginAreRefusedOverTheWire) {
  EXPECT_EQ(Send("GET", "/api/v1/lines", {},
                 {{"Authorization", "Bearer " + kToken}, {"Host", "evil.example"}})
                .status,
            403);
  EXPECT_EQ(Send("POST", "/api/v1/cameras/1/1/move", R"({"pan":0.5})",
                 {{"Authorization", "Bearer " + kToken}, {"Origin", "http://evil.example"}})
                .status,
            403);
  EXPECT_TRUE(hub.sent.isEmpty());
}

TEST_F(ServiceTest, OversizedRequestGets413AndTheConnectionCloses) {
  const Reply big = Send("POST", "/api/v1/cameras/1/1/stop", QByteArray(20000, ' '));
  EXPECT_EQ(big.status, 413);
  // Far beyond the body limit: cut off by the adapter before it is all read.
  QTcpSocket raw;
  raw.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(raw.waitForConnected(2000));
  raw.write(
      "POST /api/v1/cameras/1/1/stop HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: "
      "10000000\r\n\r\n");
  raw.write(QByteArray(200000, 'x'));
  QByteArray answer;
  EXPECT_TRUE(PumpUntil([&] {
    answer += raw.readAll();
    return raw.state() == QAbstractSocket::UnconnectedState || answer.contains("\r\n\r\n");
  }));
  EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.left(80).toStdString();
  EXPECT_TRUE(hub.sent.isEmpty());
}

TEST_F(ServiceTest, WebSocketGetsSnapshotEventsAndAnswers) {
  auto client = Connect("token=" + kToken + "&client=companion");
  ASSERT_TRUE(PumpUntil([&] { return !client->messages.isEmpty(); }));
  const QJsonObject hello = client->messages.first();
  EXPECT_EQ(hello.value("method").toString(), "hello");
  // One path selects one camera's value.
  EXPECT_EQ(hello["params"]["cameras"]["1"]["2"]["model"].toString(), "QT-R90x");

  // A command with the trailing CR LF some senders add, and a binary ping.
  client->socket->sendBinaryMessage(QByteArray(1, '\0'));
  client->socket->sendTextMessage(
      R"({"jsonrpc":"2.0","id":7,"method":"move","params":{"line":1,"camera":2,"pan":0.5}})"
      "\r\n");
  ASSERT_TRUE(PumpUntil([&] {
    for (const QJsonObject& message : client->messages) {
      if (message.value("id").toInt() == 7) {
        return true;
      }
    }
    return false;
  }));
  qint64 lastSeq = -1;
  bool started = false;
  for (const QJsonObject& message : client->messages) {
    if (message.contains("method") && message.value("method") != "hello") {
      const qint64 seq = message["params"]["seq"].toInteger();
      EXPECT_GT(seq, lastSeq);
      lastSeq = seq;
      started = started || message.value("method") == "move.started";
    }
    if (message.value("id").toInt() == 7) {
      EXPECT_EQ(message["result"]["state"].toString(), "moving")
          << QJsonDocument(message).toJson().toStdString();
    }
  }
  EXPECT_TRUE(started);
  ASSERT_FALSE(hub.sent.isEmpty());
  EXPECT_EQ(hub.sent.last().command.kind, CameraCommand::Kind::Move);

  // The client goes in the middle of its move: the camera is stopped.
  client->socket->abort();
  ASSERT_TRUE(PumpUntil([&] {
    return !hub.sent.isEmpty() && hub.sent.last().command.kind == CameraCommand::Kind::Stop;
  }));
  EXPECT_TRUE(PumpUntil([&] { return service->WebSocketClients() == 0; }));
}

TEST_F(ServiceTest, WebSocketAdmissionIsCheckedAndBounded) {
  struct Case {
    QString query;
    QString origin;
    bool admitted;
  };
  const Case cases[] = {
      {"token=" + kToken, {}, true},
      {"token=wrong", {}, false},
      {{}, {}, false},
      {"token=" + kToken, "http://evil.example", false},
      {"token=" + AccessPolicy::ScopedToken(kToken, Scope::Read), {}, true},
  };
  for (const Case& c : cases) {
    auto client = Connect(c.query, c.origin);
    ASSERT_TRUE(PumpUntil([&] { return client->closed || !client->messages.isEmpty(); }));
    EXPECT_EQ(!client->messages.isEmpty(), c.admitted) << c.query.toStdString();
    client->socket->close();
    ASSERT_TRUE(PumpUntil([&] { return service->WebSocketClients() == 0; }));
  }
  // Two clients at most here; the third is turned away.
  auto first = Connect("token=" + kToken);
  auto second = Connect("token=" + kToken);
  ASSERT_TRUE(PumpUntil([&] { return !first->messages.isEmpty() && !second->messages.isEmpty(); }));
  auto third = Connect("token=" + kToken);
  ASSERT_TRUE(PumpUntil([&] { return third->closed; }));
  EXPECT_TRUE(third->messages.isEmpty());
}

TEST_F(ServiceTest, MoveStopsByItselfAfterItsTimeout) {
  const Reply move =
      Send("POST", "/api/v1/cameras/1/1/move", R"({"pan":0.6,"tilt":0,"timeout_ms":150})");
  EXPECT_EQ(move.status, 200);
  ASSERT_TRUE(PumpUntil([&] {
    return hub.sent.size() >= 2 && hub.sent.last().command.kind == CameraCommand::Kind::Stop;
  }));
  EXPECT_EQ(hub.sent.first().command.kind, CameraCommand::Kind::Move);
  EXPECT_TRUE(log.join('\n').contains("timed out"));
}

TEST_F(ServiceTest, StopBeforeTheServiceEndsStopsNetworkMoves) {
  EXPECT_EQ(Send("POST", "/api/v1/cameras/1/2/move", R"({"zoom":1,"timeout_ms":5000})").status,
            200);
  service->Stop();
  ASSERT_TRUE(PumpUntil([&] {
    return !hub.sent.isEmpty() && hub.sent.last().command.kind == CameraCommand::Kind::Stop;
  }));
  EXPECT_FALSE(service->Running());
}

// Short bounds, so that clients that stop taking part are seen at once.
class ServiceBoundsTest : public ServiceTest {
 protected:
  void Adjust(ServiceSettings& settings) override {
    settings.limits.requestTimeoutMs = 400;
    settings.limits.idleTimeoutMs = 500;
    settings.limits.maxUnsentBytes = 64 * 1024;
    settings.pingInterval = std::chrono::milliseconds(200);
  }
  // A WebSocket client of raw bytes: it takes part only as far as a test lets it.
  std::unique_ptr<QTcpSocket> RawWebSocket(const QString& name) {
    auto raw = std::make_unique<QTcpSocket>();
    raw->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(raw->waitForConnected(2000));
    raw->write(QStringLiteral("GET /api/v1/ws?token=%1&client=%2 HTTP/1.1\r\n"
                              "Host: 127.0.0.1:%3\r\nUpgrade: websocket\r\n"
                              "Connection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                              "Sec-WebSocket-Version: 13\r\n\r\n")
                   .arg(QString::fromLatin1(kToken), name)
                   .arg(port)
                   .toLatin1());
    EXPECT_TRUE(PumpUntil([&] { return service->WebSocketClients() == 1; }));
    return raw;
  }
  // One masked text frame, as a client sends it (short payloads only).
  static QByteArray TextFrame(const QByteArray& payload) {
    const char mask[4] = {0x11, 0x22, 0x33, 0x44};
    QByteArray frame;
    frame.append(char(0x81)).append(char(0x80 | payload.size())).append(mask, 4);
    for (int i = 0; i < payload.size(); ++i) {
      frame.append(char(payload[i] ^ mask[i % 4]));
    }
    return frame;
  }
  bool Stopped() const {
    return !hub.sent.isEmpty() && hub.sent.last().command.kind == CameraCommand::Kind::Stop;
  }
};

// True when the bytes hold a whole response: its head and as much body as
// its Content-Length says.
bool WholeResponse(const QByteArray& bytes) {
  const qsizetype end = bytes.indexOf("\r\n\r\n");
  const qsizetype at = bytes.indexOf("Content-Length: ");
  if (end < 0 || at < 0 || at > end) {
    return false;
  }
  const qsizetype digits = at + 16;
  const qsizetype length = bytes.mid(digits, bytes.indexOf("\r\n", digits) - digits).toLongLong();
  return bytes.size() >= end + 4 + length;
}

TEST_F(ServiceBoundsTest, ConnectionsThatMakeNoProgressAreClosed) {
  const QByteArray get = "GET /api/v1/lines HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                         kToken + "\r\n\r\n";
  struct Case {
    const char* what;
    QByteArray first;  // sent at once
    bool trickle;      // then a byte of a header every 50 ms
    bool answered;     // a whole answer came before the close
  };
  const Case cases[] = {
      {"nothing sent", {}, false, false},
      {"kept alive after an answer, then idle", get, false, true},
      {"a request a byte at a time", "GET /api/v1/lines HTTP/1.1\r\n", true, false},
      {"a second request a byte at a time", get + "GET /api/v1/lines HTTP/1.1\r\n", true, true},
  };
  for (const Case& c : cases) {
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(raw.waitForConnected(2000)) << c.what;
    raw.write(c.first);
    QByteArray answer;
    QElapsedTimer sinceByte;
    sinceByte.start();
    EXPECT_TRUE(PumpUntil([&] {
      answer += raw.readAll();
      if (c.trickle && sinceByte.elapsed() >= 50) {
        raw.write("X");
        sinceByte.restart();
      }
      return raw.state() == QAbstractSocket::UnconnectedState;
    })) << c.what;
    EXPECT_EQ(answer.startsWith("HTTP/1.1 200"), c.answered) << c.what;
  }
  // A client that keeps taking part is not cut off: three requests on one
  // connection, each after a pause shorter than the idle bound.
  QTcpSocket raw;
  raw.connectToHost(QHostAddress::LocalHost, port);
  ASSERT_TRUE(raw.waitForConnected(2000));
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer pause;
    pause.start();
    PumpUntil([&] { return pause.elapsed() >= 100; });
    raw.write(get);
    QByteArray answer;
    ASSERT_TRUE(PumpUntil([&] {
      answer += raw.readAll();
      return WholeResponse(answer) || raw.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << "request " << i;
  }
}

TEST_F(ServiceBoundsTest, ASilentWebSocketPeerIsDroppedAndItsMoveStops) {
  auto raw = RawWebSocket("silent");
  raw->write(TextFrame(R"({"jsonrpc":"2.0","id":1,"method":"move","params":)"
                       R"({"line":1,"camera":1,"pan":0.5,"timeout_ms":10000}})"));
  ASSERT_TRUE(PumpUntil([&] { return !hub.sent.isEmpty(); }));
  EXPECT_EQ(hub.sent.last().command.kind, CameraCommand::Kind::Move);
  // It never answers the pings: dropped, and its move stopped long before
  // the move's own time-out.
  EXPECT_TRUE(PumpUntil([&] { return service->WebSocketClients() == 0 && Stopped(); }));
  EXPECT_TRUE(log.join('\n').contains("silent@127.0.0.1: WebSocket answered no ping, dropped"))
      << log.join('\n').toStdString();
}

// Pings far apart: the client below answers none, and must be dropped for
// not reading before it is dropped for not answering.
class ServiceSlowReaderTest : public ServiceBoundsTest {
 protected:
  void Adjust(ServiceSettings& settings) override {
    ServiceBoundsTest::Adjust(settings);
    settings.pingInterval = std::chrono::milliseconds(60000);
  }
};

TEST_F(ServiceSlowReaderTest, AWebSocketClientThatDoesNotReadIsDroppedAndItsMoveStops) {
  auto raw = RawWebSocket("deaf");
  raw->setReadBufferSize(1024);  // Qt stops taking bytes from the kernel too
  raw->write(TextFrame(R"({"jsonrpc":"2.0","id":1,"method":"move","params":)"
                       R"({"line":1,"camera":1,"pan":0.5,"timeout_ms":10000}})"));
  ASSERT_TRUE(PumpUntil([&] { return !hub.sent.isEmpty(); }));
  // Events it never reads: the line going up and down.
  for (int i = 0; i < 200000 && service->WebSocketClients() > 0; ++i) {
    hub.SetLine(1, i % 2 ? LineState::Open : LineState::Closed, QString(200, 'x'));
    if (i % 50 == 0) {
      QCoreApplication::processEvents();
    }
  }
  EXPECT_TRUE(PumpUntil([&] { return service->WebSocketClients() == 0 && Stopped(); }));
  EXPECT_TRUE(log.join('\n').contains("deaf@127.0.0.1: WebSocket reads too slowly, dropped"))
      << log.join(QLatin1Char(10)).toStdString();
}

}  // namespace
}  // namespace qznet::test
