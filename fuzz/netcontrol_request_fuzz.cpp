// Feeds arbitrary bytes through the network control service's own parsing:
// the request head reader that sees every connection first, the whole HTTP
// path of the core (Host, Origin, token, route, body, action) and the
// JSON-RPC messages of the WebSocket, against a hub that answers each
// command with a verdict the input picks. Checks that every request gets
// exactly one answer, with a status from 200 to 599, and that every refusal
// is a problem document that names its own status.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>

#include <QJsonDocument>
#include <QJsonObject>

#include "netcontrol/api_core.h"
#include "netcontrol/json_rpc.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

const QByteArray kToken(64, 'e');

class FuzzHub : public qznet::CameraHub {
 public:
  FuzzHub() {
    for (int cam = 1; cam <= 2; ++cam) {
      qznet::CameraInfo info;
      info.id = {1, cam};
      info.presetNames = QStringList(qznet::kPresetCount, QString());
      cameras_.append(info);
    }
  }
  QList<qznet::LineInfo> Lines() const override {
    return {qznet::LineInfo{1, qznet::LineState::Open, "/dev/null", {}}};
  }
  QList<qznet::CameraInfo> Cameras() const override { return cameras_; }
  std::optional<qznet::CameraInfo> Camera(qznet::CameraId id) const override {
    for (const auto& info : cameras_) {
      if (info.id == id) {
        return info;
      }
    }
    return std::nullopt;
  }
  void Execute(qznet::CameraId, const qznet::CameraCommand&, qznet::CommandDone done) override {
    pending.push_back(std::move(done));
  }
  qznet::CommandResult SetPresetName(qznet::CameraId, int, const QString&) override { return {}; }
  // Completes every waiting command (and those their completion sends).
  void Drain(uint8_t verdict) {
    for (int rounds = 0; !pending.empty() && rounds < 64; ++rounds) {
      auto done = std::move(pending.front());
      pending.pop_front();
      done(qznet::CommandResult{static_cast<qznet::CameraError>(verdict % 8), {}, "\xFE\x30\x30"});
      verdict /= 2;
    }
  }
  std::deque<qznet::CommandDone> pending;

 private:
  QList<qznet::CameraInfo> cameras_;
};

void CheckResponse(const qznet::HttpResponse& response) {
  Check(response.status >= 200 && response.status <= 599);
  if (response.status >= 400) {
    Check(response.contentType == "application/problem+json");
    const QJsonObject problem = QJsonDocument::fromJson(response.body).object();
    Check(problem.value("status").toInt() == response.status);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) {
    return 0;
  }
  const uint8_t mode = input[0];
  const uint8_t verdict = input[1];
  const QByteArray bytes(reinterpret_cast<const char*>(input + 2), qsizetype(size - 2));

  FuzzHub hub;
  qznet::ApiCore core(hub, qznet::AccessSettings{kToken, 8099, {}, {}}, qznet::Limits{},
                      qznet::MoveTimeouts{});
  if (mode % 2 == 0) {
    // A request as it arrives: a head, then the rest as its body. The
    // token is put in when the input asks for it, so that the actions run.
    bool complete = false;
    auto request = qznet::ParseRequestHead(bytes, &complete);
    if (!request) {
      return 0;
    }
    (void)qznet::IsWebSocketUpgrade(*request);
    request->body = bytes.mid(bytes.indexOf("\r\n\r\n") + 4);
    if (mode & 2) {
      request->headers.insert("authorization", "Bearer " + kToken);
    }
    if (mode & 4) {
      request->headers.insert("host", "127.0.0.1:8099");
    }
    int answers = 0;
    core.HandleHttp(*request, [&](qznet::HttpResponse response) {
      ++answers;
      CheckResponse(response);
    });
    hub.Drain(verdict);
    core.Tick();
    hub.Drain(verdict);
    Check(answers == 1);
  } else {
    // A WebSocket message from a client with the scope the input picks.
    qznet::Caller caller{"fuzz@127.0.0.1", "ws:1:fuzz", static_cast<qznet::Scope>(1 + mode / 2 % 3),
                         "127.0.0.1"};
    int answers = 0;
    core.HandleRpc(bytes, caller, [&](QByteArray answer) {
      ++answers;
      const QJsonObject reply = QJsonDocument::fromJson(answer).object();
      Check(reply.value("jsonrpc") == QJsonValue("2.0"));
      Check(reply.contains("result") != reply.contains("error"));
    });
    hub.Drain(verdict);
    core.ClientGone(caller.key, caller.name);
    hub.Drain(verdict);
    Check(answers <= 1);
  }
  return 0;
}
