// The service's behaviour without sockets: requests in, statuses and bodies
// out, against the fake hub and a clock the test turns.
#include "fake_hub.h"

#include "netcontrol/api_core.h"
#include "netcontrol/json_rpc.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace qznet::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kAdmin(64, 'd');

class ApiCoreTest : public ::testing::Test {
 protected:
  ApiCoreTest()
      : core(hub, AccessSettings{kAdmin, 8099, {}, {}}, Limits{}, MoveTimeouts{},
             [this] { return now; }) {
    core.SetEventSink([this](const QString& method, const QJsonObject& params) {
      events.append({method, params});
    });
    core.SetLogSink([this](const QString& line) { log.append(line); });
  }

  HttpResponse Call(HttpMethod method, const QString& path, const QByteArray& body = {},
                    Scope scope = Scope::Admin, const QByteArray& client = "tester") {
    HttpRequest request;
    request.method = method;
    request.path = path;
    request.body = body;
    request.peer = "127.0.0.1";
    request.headers.insert("host", "127.0.0.1:8099");
    request.headers.insert("authorization", "Bearer " + AccessPolicy::ScopedToken(kAdmin, scope));
    request.headers.insert("x-client", client);
    // A response may come after this returns (a held command): kept here.
    auto response = std::make_shared<std::optional<HttpResponse>>();
    core.HandleHttp(request, [response](HttpResponse r) { *response = std::move(r); });
    QElapsedTimer timer;
    timer.start();
    while (!*response && hub.Held() == 0 && timer.elapsed() < 2000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return response->value_or(HttpResponse{0, {}, {}, {}, false});
  }
  QJsonObject Json(const HttpResponse& response) {
    return QJsonDocument::fromJson(response.body).object();
  }
  QStringList EventNames() const {
    QStringList names;
    for (const auto& [method, params] : events) {
      names.append(method);
    }
    return names;
  }

  FakeHub hub;
  ApiCore::Clock::time_point now{};
  ApiCore core;
  QList<QPair<QString, QJsonObject>> events;
  QStringList log;
};

TEST_F(ApiCoreTest, CameraVerdictsBecomeStatusesWithProblemDocuments) {
  struct Case {
    CameraError error;
    int status;
    const char* code;
  };
  const Case cases[] = {
      {CameraError::None, 200, nullptr},
      {CameraError::Busy, 409, "camera_busy"},
      {CameraError::NotExecutable, 409, "not_executable"},
      {CameraError::Parameter, 422, "parameter"},
      {CameraError::NoAnswer, 504, "no_answer"},
      {CameraError::LineDown, 503, "line_down"},
      {CameraError::Failed, 500, "failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    hub.SetResult(c.error);
    for (const char* path : {"/api/v1/cameras/1/1/presets/3/recall", "/api/v1/cameras/1/1/power"}) {
      const HttpResponse response =
          Call(HttpMethod::Post, path, QByteArray(path).endsWith("power") ? R"({"on":false})" : "");
      EXPECT_EQ(response.status, c.status) << path;
      if (c.code) {
        EXPECT_EQ(response.contentType, "application/problem+json");
        EXPECT_EQ(Json(response).value("code").toString(), c.code);
        EXPECT_EQ(Json(response).value("status").toInt(), c.status);
      }
    }
  }
}

TEST_F(ApiCoreTest, RequestsRefusedBeforeTheyReachTheCamera) {
  hub.AddLine(2, LineState::Error);
  hub.AddCamera({2, 1});
  struct Case {
    HttpMethod method;
    const char* path;
    QByteArray body;
    Scope scope;
    int status;
  };
  const Case cases[] = {
      {HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"pan":0.5})", Scope::Read, 403},
      {HttpMethod::Post, "/api/v1/cameras/1/1/command", R"({"hex":"FF 30 31 00 87 EF"})",
       Scope::Control, 403},
      {HttpMethod::Post, "/api/v1/cameras/1/1/move", "{\"pan\":", Scope::Control, 400},
      {HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"pan":2})", Scope::Control, 400},
      {HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"pan":1,"timeout_ms":60000})",
       Scope::Control, 400},
      {HttpMethod::Post, "/api/v1/cameras/1/1/command", R"({"hex":"00 11"})", Scope::Admin, 400},
      {HttpMethod::Post, "/api/v1/cameras/1/7/move", R"({"pan":0.5})", Scope::Control, 404},
      {HttpMethod::Post, "/api/v1/cameras/9/1/stop", "", Scope::Control, 404},
      {HttpMethod::Post, "/api/v1/cameras/1/1/presets/10/recall", "", Scope::Control, 404},
      {HttpMethod::Post, "/api/v1/cameras/1/1/presets/0/store", "", Scope::Control, 404},
      {HttpMethod::Post, "/api/v1/cameras/2/1/home", "", Scope::Control, 503},
      {HttpMethod::Get, "/api/v1/cameras/1/1/move", "", Scope::Admin, 405},
      {HttpMethod::Post, "/api/v1/cameras/1/1/stop", QByteArray(17 * 1024, ' '), Scope::Control,
       413},
      {HttpMethod::Get, "/api/v1/ws", "", Scope::Read, 426},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body.left(30).toStdString());
    EXPECT_EQ(Call(c.method, c.path, c.body, c.scope).status, c.status);
  }
  EXPECT_TRUE(hub.sent.isEmpty());
}

TEST_F(ApiCoreTest, ReadsAnswerFromWhatIsKnown) {
  EXPECT_EQ(Call(HttpMethod::Get, "/api/v1/lines", {}, Scope::Read).status, 200);
  const HttpResponse camera = Call(HttpMethod::Get, "/api/v1/cameras/1/2", {}, Scope::Read);
  ASSERT_EQ(camera.status, 200);
  const QJsonObject json = Json(camera);
  EXPECT_EQ(json.value("link").toString(), "online");
  EXPECT_EQ(json["presets"][0]["name"].toString(), "Stage");
  EXPECT_TRUE(json["presets"][2]["stored"].toBool());
  EXPECT_EQ(json["presets"][3]["name"].toString(), "4");  // an empty name shows the number
  EXPECT_EQ(Call(HttpMethod::Get, "/api/v1/openapi.json", {}, Scope::Read).status, 200);
  EXPECT_TRUE(hub.sent.isEmpty());  // no GET sends anything
}

TEST_F(ApiCoreTest, MovesAreCoalescedAndStopByThemselves) {
  hub.SetHold(true);  // a slow line: the first move stays on it
  Call(HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"pan":0.2,"timeout_ms":800})");
  for (int i = 0; i < 20; ++i) {
    const HttpResponse r =
        Call(HttpMethod::Post, "/api/v1/cameras/1/1/move",
             QStringLiteral(R"({"pan":%1,"timeout_ms":800})").arg(0.3 + i * 0.01).toLatin1());
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(Json(r).value("state").toString(), "queued");
  }
  EXPECT_EQ(hub.sent.size(), 1);
  hub.Release();  // the first answer: the newest waiting move goes
  ASSERT_EQ(hub.sent.size(), 2);
  EXPECT_DOUBLE_EQ(hub.sent[1].command.velocity.pan, 0.49);
  hub.Release();
  EXPECT_EQ(EventNames().count("move.started"), 1);

  now += 801ms;
  core.Tick();
  ASSERT_EQ(hub.sent.size(), 3);
  EXPECT_EQ(hub.sent[2].command.kind, CameraCommand::Kind::Stop);
  ASSERT_TRUE(EventNames().contains("move.stopped"));
  EXPECT_EQ(events.last().second.value("reason").toString(), "timeout");
  EXPECT_EQ(events.last().second.value("cameras")["1"]["1"]["link"].toString(), "online");
}

TEST_F(ApiCoreTest, LockAndLocalOperatorRefuseOthersButNeverAStop) {
  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/lock", R"({"ttl_s":60})", Scope::Control,
                 "director")
                .status,
            200);
  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/home", "", Scope::Control, "other").status,
            409);
  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/stop", "", Scope::Control, "other").status,
            200);
  EXPECT_EQ(
      Call(HttpMethod::Delete, "/api/v1/cameras/1/1/lock", "", Scope::Control, "other").status,
      409);
  EXPECT_EQ(
      Call(HttpMethod::Delete, "/api/v1/cameras/1/1/lock", "", Scope::Control, "director").status,
      200);

  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"tilt":0.5})").status, 200);
  const int sentBefore = int(hub.sent.size());
  core.LocalOperator({1, 1}, true);
  EXPECT_EQ(events.last().second.value("reason").toString(), "preempted");
  EXPECT_EQ(hub.sent.size(), sentBefore);  // no stop: it would cancel the operator's press
  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"tilt":0.5})").status, 409);
  core.LocalOperator({1, 1}, false);
  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/move", R"({"tilt":0.5})").status, 200);
  EXPECT_TRUE(log.join('\n').contains("director@127.0.0.1: lock COM1 camera 1"));
}

TEST_F(ApiCoreTest, RateLimitSparesStops) {
  int limited = 0;
  for (int i = 0; i < 150; ++i) {
    limited += Call(HttpMethod::Get, "/api/v1/lines", {}, Scope::Read).status == 429;
  }
  EXPECT_GT(limited, 0);
  EXPECT_EQ(Call(HttpMethod::Post, "/api/v1/cameras/1/1/stop").status, 200);
}

TEST_F(ApiCoreTest, JsonRpcCarriesTheSameActions) {
  Caller caller{"page@127.0.0.1", "ws:1:page@127.0.0.1", Scope::Control, "127.0.0.1"};
  QList<QJsonObject> replies;
  auto rpc = [&](const QByteArray& text) {
    core.HandleRpc(text, caller, [&](QByteArray answer) {
      replies.append(QJsonDocument::fromJson(answer).object());
    });
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 200) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  };
  rpc(R"({"jsonrpc":"2.0","id":1,"method":"preset.recall","params":{"line":1,"camera":1,"preset":3}})");
  rpc(R"({"jsonrpc":"2.0","id":2,"method":"command","params":{"line":1,"camera":1,"hex":"FF 30 31 00 87 EF"}})");
  rpc(R"({"jsonrpc":"2.0","id":3,"method":"nosuch"})");
  rpc(R"({"jsonrpc":"2.0","id":4,"method":"move","params":{"line":1,"pan":1}})");
  rpc(R"({"jsonrpc":"2.0","method":"stop","params":{"line":1,"camera":1}})");  // no answer
  ASSERT_EQ(replies.size(), 4);
  EXPECT_EQ(replies[0].value("result")["state"].toString(), "moving");
  EXPECT_EQ(hub.sent[0].command.preset, 3);
  EXPECT_EQ(replies[1].value("error")["code"].toInt(), 403);
  EXPECT_EQ(replies[2].value("error")["code"].toInt(), kRpcMethodNotFound);
  EXPECT_EQ(replies[3].value("error")["code"].toInt(), kRpcInvalidParams);
  EXPECT_EQ(hub.sent.last().command.kind, CameraCommand::Kind::Stop);
}

}  // namespace
}  // namespace qznet::test
