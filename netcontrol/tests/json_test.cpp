// What arrives from outside as text: JSON-RPC messages, bodies against the
// route table's schemas, raw command frames, request heads.
#include "netcontrol/api_core.h"
#include "netcontrol/json_rpc.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace qznet {
namespace {

TEST(Json, RpcMessages) {
  struct Case {
    QByteArray text;
    std::optional<int> error;  // nullopt: a request
    bool notification;
  };
  const Case cases[] = {
      {R"({"jsonrpc":"2.0","id":1,"method":"move","params":{"line":1}})", {}, false},
      {"{\"jsonrpc\":\"2.0\",\"id\":\"a\",\"method\":\"stop\"}\r\n", {}, false},
      {R"({"jsonrpc":"2.0","method":"stop"})", {}, true},
      {R"({"jsonrpc":"2.0","id":1,"method":"stop"})"
       "\n\n",
       {},
       false},
      {"{", kRpcParseError, false},
      {"", kRpcParseError, false},
      {"[1,2]", kRpcInvalidRequest, false},
      {R"({"id":1,"method":"stop"})", kRpcInvalidRequest, false},
      {R"({"jsonrpc":"2.0","id":1,"method":7})", kRpcInvalidRequest, false},
      {R"({"jsonrpc":"2.0","id":{},"method":"stop"})", kRpcInvalidRequest, false},
      {R"({"jsonrpc":"2.0","id":1,"method":"stop","params":[1]})", kRpcInvalidParams, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    const auto parsed = ParseRpc(c.text);
    if (c.error) {
      ASSERT_TRUE(std::holds_alternative<RpcFailure>(parsed));
      EXPECT_EQ(std::get<RpcFailure>(parsed).code, *c.error);
    } else {
      ASSERT_TRUE(std::holds_alternative<RpcRequest>(parsed));
      EXPECT_EQ(std::get<RpcRequest>(parsed).notification, c.notification);
    }
  }
}

TEST(Json, BodiesAgainstTheRouteSchemas) {
  struct Case {
    Action action;
    QByteArray body;
    bool valid;
  };
  const Case cases[] = {
      {Action::Move, R"({"pan":0.6,"tilt":0,"zoom":0,"timeout_ms":800})", true},
      {Action::Move, "", true},
      {Action::Move, R"({"pan":1.5})", false},
      {Action::Move, R"({"pan":"0.5"})", false},
      {Action::Move, R"({"tlit":0.5})", false},
      {Action::Move, R"({"timeout_ms":800.5})", false},
      {Action::Move, R"({"timeout_ms":50})", false},
      {Action::Power, R"({"on":true})", true},
      {Action::Power, R"({"on":1})", false},
      {Action::Power, "{}", false},
      {Action::Mode, R"({"local":false})", true},
      {Action::PresetRename, R"({"name":"Stage left"})", true},
      {Action::PresetRename, R"({"name":"sixteen chars!!!"})", false},
      {Action::Command, R"({"hex":"FF 30 31 00 87 EF"})", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.toStdString());
    const auto body = ParseBody(c.body);
    ASSERT_TRUE(std::holds_alternative<QJsonObject>(body));
    const QJsonObject schema = QJsonDocument::fromJson(RouteFor(c.action)->bodySchema).object();
    EXPECT_EQ(!ValidateBody(schema, std::get<QJsonObject>(body)).has_value(), c.valid);
  }
  EXPECT_TRUE(std::holds_alternative<QString>(ParseBody("{\"pan\":")));
  EXPECT_TRUE(std::holds_alternative<QString>(ParseBody("[]")));
  EXPECT_TRUE(std::holds_alternative<QString>(ParseBody("pan=1")));
}

TEST(Json, CommandFrames) {
  struct Case {
    const char* hex;
    bool valid;
  };
  const Case cases[] = {
      {"FF 30 31 00 87 EF", true},       {"ff303100 87ef", true},
      {"FF 30 31 00 A3 33 43 EF", true}, {"FF 30 31 00 EF", false},  // too short
      {"FF 30 31 00 87 EF EF", false},   {"FE 30 31 00 87 EF", false},
      {"FF 30 31 00 87", false},         {"FF 3 31 00 87 EF", false},
      {"FF 30 31 00 87 ZZ EF", false},   {"FF 30 31 00 A3 30 30 30 30 30 30 30 30 30 30 EF", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCommandFrame(QString::fromLatin1(c.hex)).has_value(), c.valid) << c.hex;
  }
}

TEST(Json, RequestHeads) {
  struct Case {
    QByteArray bytes;
    bool complete;
    bool parsed;
    bool upgrade;
  };
  const QByteArray ws =
      "GET /api/v1/ws?token=x HTTP/1.1\r\nHost: 127.0.0.1:8099\r\nConnection: keep-alive, "
      "Upgrade\r\nUpgrade: websocket\r\n\r\n";
  const Case cases[] = {
      {ws, true, true, true},
      {ws.left(40), false, false, false},
      {"POST /api/v1/ws HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n", true, true,
       false},
      {"GET /api/v1/lines HTTP/1.1\r\nHost: x\r\n\r\n", true, true, false},
      {"GET /x HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", true, false, false},
      {"GET x HTTP/1.1\r\n\r\n", true, false, false},
      {"GET /x HTTP/1.1\r\nno colon\r\n\r\n", true, false, false},
      {"\r\n\r\n", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.toStdString());
    bool complete = false;
    const auto request = ParseRequestHead(c.bytes, &complete);
    EXPECT_EQ(complete, c.complete);
    ASSERT_EQ(request.has_value(), c.parsed);
    if (request) {
      EXPECT_EQ(IsWebSocketUpgrade(*request), c.upgrade);
    }
  }
  bool complete = false;
  EXPECT_EQ(ParseRequestHead(ws, &complete)->query.queryItemValue("token"), "x");
}

}  // namespace
}  // namespace qznet
