#include "netcontrol/api_core.h"

#include "netcontrol/json_rpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace qznet {
namespace {

HttpResponse JsonResponse(int status, const QJsonValue& body) {
  HttpResponse response;
  response.status = status;
  response.body = body.isArray() ? QJsonDocument(body.toArray()).toJson(QJsonDocument::Compact)
                                 : QJsonDocument(body.toObject()).toJson(QJsonDocument::Compact);
  return response;
}

QJsonObject SchemaOf(const Route& route) {
  return route.bodySchema ? QJsonDocument::fromJson(route.bodySchema).object() : QJsonObject();
}

QJsonValue Optional(const std::optional<int>& value) {
  return value ? QJsonValue(*value) : QJsonValue();
}
QJsonValue Optional(const std::optional<bool>& value) {
  return value ? QJsonValue(*value) : QJsonValue();
}

QJsonObject CameraRef(CameraId camera) {
  return QJsonObject{{"line", camera.line}, {"camera", camera.camera}};
}

QString CameraText(CameraId camera) {
  return QStringLiteral("COM%1 camera %2").arg(camera.line).arg(camera.camera);
}

bool IsMoveAction(Action action) {
  return action == Action::Move;
}

}  // namespace

QString LinkStateName(LinkState state) {
  switch (state) {
    case LinkState::Online:
      return "online";
    case LinkState::NoAnswer:
      return "no answer";
    case LinkState::Offline:
      return "offline";
    case LinkState::Unknown:
      break;
  }
  return "unknown";
}

QString LineStateName(LineState state) {
  switch (state) {
    case LineState::Open:
      return "open";
    case LineState::Error:
      return "error";
    case LineState::Closed:
      break;
  }
  return "closed";
}

std::optional<QByteArray> ParseCommandFrame(const QString& hex) {
  QString digits = hex;
  digits.remove(QRegularExpression(QStringLiteral("[\\s:,-]")));
  if (digits.size() % 2 != 0 || digits.size() > 64) {
    return std::nullopt;
  }
  for (QChar c : digits) {
    if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))) {
      return std::nullopt;
    }
  }
  const QByteArray frame = QByteArray::fromHex(digits.toLatin1());
  if (frame.size() < 6 || frame.size() > 15 || static_cast<quint8>(frame.front()) != 0xFF ||
      static_cast<quint8>(frame.back()) != 0xEF || frame.left(frame.size() - 1).contains('\xEF')) {
    return std::nullopt;
  }
  return frame;
}

QString HexText(const QByteArray& bytes) {
  return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

ApiCore::ApiCore(CameraHub& hub, AccessSettings access, Limits limits, MoveTimeouts timeouts,
                 std::function<Clock::time_point()> clock)
    : hub_(hub),
      access_(std::move(access)),
      limits_(limits),
      timeouts_(timeouts),
      clock_(std::move(clock)),
      rate_(limits.requestsPerSecond, limits.requestBurst) {
  connections_.append(QObject::connect(&hub_, &CameraHub::CameraChanged, [this](CameraId id) {
    Emit("camera.state", QJsonObject{{"camera", CameraRef(id)}}, id);
  }));
  connections_.append(QObject::connect(&hub_, &CameraHub::LineChanged, [this](int line) {
    for (const LineInfo& info : hub_.Lines()) {
      if (info.line == line) {
        Emit("line.link",
             QJsonObject{
                 {"line", line}, {"state", LineStateName(info.state)}, {"error", info.error}});
      }
    }
  }));
  connections_.append(QObject::connect(
      &hub_, &CameraHub::Notified, [this](CameraId id, const QString& kind, const QString& text) {
        Emit("camera.notify",
             QJsonObject{{"camera", CameraRef(id)}, {"kind", kind}, {"text", text}}, id);
      }));
}

ApiCore::~ApiCore() {
  *alive_ = false;
  for (const auto& connection : connections_) {
    QObject::disconnect(connection);
  }
}

QString ApiCore::ClientName(const QString& requested, const QString& peer) {
  QString name = requested.left(32);
  name.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")));
  if (name.isEmpty()) {
    name = QStringLiteral("client");
  }
  return name + QLatin1Char('@') + peer;
}

void ApiCore::Log(const Caller& caller, const QString& what) const {
  if (log_) {
    log_(QStringLiteral("network %1: %2").arg(caller.name, what));
  }
}

void ApiCore::Emit(const QString& method, QJsonObject params, std::optional<CameraId> camera) {
  if (!events_) {
    return;
  }
  if (camera) {
    if (auto info = hub_.Camera(*camera)) {
      params["cameras"] = CamerasKeyed({*info});
    }
  }
  events_(method, params);
}

QJsonObject ApiCore::CameraJson(const CameraInfo& info) const {
  QJsonArray presets;
  for (int n = 1; n <= kPresetCount; ++n) {
    const QString name = n <= info.presetNames.size() && !info.presetNames[n - 1].isEmpty()
                             ? info.presetNames[n - 1]
                             : QString::number(n);
    presets.append(QJsonObject{
        {"n", n}, {"name", name}, {"stored", (info.presetsStored >> (n - 1) & 1) != 0}});
  }
  const auto now = clock_();
  const auto lock = arbiter_.LockHolder(info.id, now);
  const bool networkMove = arbiter_.Moving(info.id);
  return QJsonObject{
      {"line", info.id.line},
      {"camera", info.id.camera},
      {"link", LinkStateName(info.link)},
      {"model", info.model},
      {"power", Optional(info.power)},
      {"local", Optional(info.local)},
      {"presets", presets},
      {"speeds", QJsonObject{{"pan", Optional(info.panSpeed)},
                             {"tilt", Optional(info.tiltSpeed)},
                             {"zoom", Optional(info.zoomSpeed)}}},
      {"lens", QJsonObject{{"zoom", Optional(info.zoomPosition)},
                           {"focus", Optional(info.focusPosition)},
                           {"focus_auto", Optional(info.focusAuto)}}},
      {"moving", info.moving || networkMove},
      {"mover", networkMove ? QJsonValue(arbiter_.Owner(info.id)) : QJsonValue()},
      {"lock", lock ? QJsonValue(*lock) : QJsonValue()},
  };
}

QJsonObject ApiCore::CamerasKeyed(const QList<CameraInfo>& cameras) const {
  QJsonObject byLine;
  for (const CameraInfo& info : cameras) {
    const QString line = QString::number(info.id.line);
    QJsonObject lineCameras = byLine.value(line).toObject();
    lineCameras[QString::number(info.id.camera)] = CameraJson(info);
    byLine[line] = lineCameras;
  }
  return byLine;
}

QJsonObject ApiCore::Snapshot() const {
  QJsonObject lines;
  for (const LineInfo& info : hub_.Lines()) {
    lines[QString::number(info.line)] =
        QJsonObject{{"line", info.line},
                    {"name", QStringLiteral("COM%1").arg(info.line)},
                    {"device", info.device},
                    {"state", LineStateName(info.state)},
                    {"error", info.error}};
  }
  return QJsonObject{{"lines", lines}, {"cameras", CamerasKeyed(hub_.Cameras())}};
}

std::optional<Problem> ApiCore::CheckCamera(CameraId camera) const {
  if (camera.line < 1 || camera.line > kMaxLine || camera.camera < 1 ||
      camera.camera > kMaxCamera || !hub_.Camera(camera)) {
    return Problem{404, "no_camera", QStringLiteral("no camera %1").arg(CameraText(camera)),
                   camera};
  }
  for (const LineInfo& line : hub_.Lines()) {
    if (line.line == camera.line && line.state != LineState::Open) {
      return Problem{503, "line_down",
                     QStringLiteral("COM%1 is %2%3")
                         .arg(camera.line)
                         .arg(LineStateName(line.state))
                         .arg(line.error.isEmpty() ? QString() : ": " + line.error),
                     camera};
    }
  }
  return std::nullopt;
}

void ApiCore::HandleHttp(const HttpRequest& request, Respond respond) {
  if (auto refused = access_.CheckHostAndOrigin(request.Header("host"), request.Header("origin"))) {
    respond(refused->ToResponse());
    return;
  }
  const RouteLookup lookup = MatchRoute(request.method, request.path);
  if (!lookup.match) {
    if (lookup.pathKnown) {
      HttpResponse response =
          Problem{405, "method", "this path does not take that method", {}}.ToResponse();
      QByteArrayList allowed;
      for (HttpMethod method : lookup.allowed) {
        allowed.append(MethodName(method));
      }
      response.headers.append(QPair<QByteArray, QByteArray>{"Allow", allowed.join(", ")});
      respond(response);
    } else {
      respond(Problem{404, "no_route", "no such path", {}}.ToResponse());
    }
    return;
  }
  const Route& route = *lookup.match->route;
  const bool queryToken = route.action == Action::Page || route.action == Action::WebSocket;
  const auto auth = access_.Authenticate(request.Header("authorization"),
                                         request.query.queryItemValue("token"), queryToken);
  if (const Problem* problem = std::get_if<Problem>(&auth)) {
    respond(problem->ToResponse());
    return;
  }
  const Scope scope = std::get<Scope>(auth);
  if (scope < route.scope) {
    respond(Problem{
        403,
        "scope",
        QStringLiteral("this needs a token with the %1 scope").arg(ScopeName(route.scope)),
        {}}.ToResponse());
    return;
  }
  // A stop always goes, however chatty the client was before.
  if (route.action != Action::Stop && !rate_.Allow(request.peer, clock_())) {
    HttpResponse response = Problem{429, "rate", "too many requests; slow down", {}}.ToResponse();
    response.headers.append(QPair<QByteArray, QByteArray>{"Retry-After", "1"});
    respond(response);
    return;
  }
  if (request.body.size() > limits_.maxBodyBytes) {
    HttpResponse response = Problem{
        413,
        "too_large",
        QStringLiteral("the body is larger than %1 bytes").arg(limits_.maxBodyBytes),
        {}}.ToResponse();
    response.closeConnection = true;
    respond(response);
    return;
  }
  switch (route.action) {
    case Action::Page: {
      HttpResponse response;
      response.contentType = "text/html; charset=utf-8";
      response.body = page_;
      // The page runs only its own script and talks only to this server.
      response.headers.append(QPair<QByteArray, QByteArray>{
          "Content-Security-Policy",
          "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
          "connect-src 'self'; img-src 'self' data:; frame-ancestors 'self'"});
      response.headers.append(QPair<QByteArray, QByteArray>{"Referrer-Policy", "no-referrer"});
      respond(response);
      return;
    }
    case Action::OpenApi:
      respond(JsonResponse(200, OpenApiDocument(version_)));
      return;
    case Action::WebSocket:
      respond(Problem{426, "upgrade", "this path takes WebSocket upgrades only", {}}.ToResponse());
      return;
    default:
      break;
  }
  QJsonObject body;
  if (route.method != HttpMethod::Get && route.method != HttpMethod::Delete) {
    auto parsed = ParseBody(request.body);
    if (const QString* error = std::get_if<QString>(&parsed)) {
      respond(Problem{400, "bad_json", *error, {}}.ToResponse());
      return;
    }
    body = std::get<QJsonObject>(parsed);
  }
  Caller caller;
  caller.peer = request.peer;
  QString requested = QString::fromUtf8(request.Header("x-client"));
  if (requested.isEmpty()) {
    requested = request.query.queryItemValue("client");
  }
  caller.name = ClientName(requested, request.peer);
  caller.key = QStringLiteral("http:") + caller.name;
  caller.scope = scope;
  Invoke(route.action, lookup.match->params, body, caller, [respond](ActionResult result) {
    if (result.problem) {
      respond(result.problem->ToResponse());
    } else {
      respond(JsonResponse(result.status, result.body));
    }
  });
}

std::variant<Caller, Problem> ApiCore::AdmitWebSocket(const QByteArray& host,
                                                      const QByteArray& origin,
                                                      const QByteArray& authorization,
                                                      const QUrlQuery& query, const QString& peer,
                                                      int socketNumber) {
  if (auto refused = access_.CheckHostAndOrigin(host, origin)) {
    return *refused;
  }
  const auto auth = access_.Authenticate(authorization, query.queryItemValue("token"), true);
  if (const Problem* problem = std::get_if<Problem>(&auth)) {
    return *problem;
  }
  Caller caller;
  caller.scope = std::get<Scope>(auth);
  caller.peer = peer;
  caller.name = ClientName(query.queryItemValue("client"), peer);
  caller.key = QStringLiteral("ws:%1:").arg(socketNumber) + caller.name;
  return caller;
}

void ApiCore::HandleRpc(const QByteArray& message, const Caller& caller,
                        std::function<void(QByteArray)> reply) {
  auto parsed = ParseRpc(message);
  if (const RpcFailure* failure = std::get_if<RpcFailure>(&parsed)) {
    reply(RpcError(failure->id, failure->code, failure->message));
    return;
  }
  RpcRequest request = std::get<RpcRequest>(std::move(parsed));
  const bool answer = !request.notification;
  const QJsonValue id = request.id;
  auto fail = [&](int code, const QString& text, const QJsonValue& data = QJsonValue()) {
    if (answer) {
      reply(RpcError(id, code, text, data));
    }
  };
  if (request.method == "snapshot") {
    if (answer) {
      reply(RpcResult(id, Snapshot()));
    }
    return;
  }
  const Route* route = RouteForRpc(request.method);
  if (!route) {
    fail(kRpcMethodNotFound, QStringLiteral("no method \"%1\"").arg(request.method.left(40)));
    return;
  }
  if (caller.scope < route->scope) {
    const Problem problem{
        403,
        "scope",
        QStringLiteral("this needs a token with the %1 scope").arg(ScopeName(route->scope)),
        {}};
    fail(403, problem.detail, problem.ToJson());
    return;
  }
  if (!rate_.Allow(caller.key, clock_()) && route->action != Action::Stop) {
    fail(429, "too many requests; slow down");
    return;
  }
  // The path's numbers travel as params; the rest is the body.
  QMap<QString, int> params;
  const QString pattern = QString::fromLatin1(route->pattern);
  const std::pair<const char*, const char*> names[] = {
      {"{line}", "line"}, {"{cam}", "camera"}, {"{n}", "preset"}};
  for (const auto& [placeholder, member] : names) {
    if (!pattern.contains(placeholder)) {
      continue;
    }
    const QJsonValue value = request.params.take(member);
    if (!value.isDouble() || value.toDouble() != value.toInt()) {
      fail(kRpcInvalidParams, QStringLiteral("params.%1 must be a number").arg(member));
      return;
    }
    params.insert(QString::fromLatin1(placeholder).mid(1, qstrlen(placeholder) - 2), value.toInt());
  }
  Invoke(route->action, params, request.params, caller, [reply, answer, id](ActionResult result) {
    if (!answer) {
      return;
    }
    if (result.problem) {
      reply(RpcError(id, result.problem->status, result.problem->detail, result.problem->ToJson()));
    } else {
      reply(RpcResult(id, result.body));
    }
  });
}

void ApiCore::Invoke(Action action, const QMap<QString, int>& params, const QJsonObject& body,
                     const Caller& caller, ActionDone done) {
  const Route* route = RouteFor(action);
  if (route && route->bodySchema) {
    if (auto error = ValidateBody(SchemaOf(*route), body)) {
      done(ActionResult{400, {}, Problem{400, "bad_body", *error, {}}});
      return;
    }
  }
  switch (action) {
    case Action::Info:
      done(ActionResult{200,
                        QJsonObject{{"name", "qzlink network control"},
                                    {"version", version_},
                                    {"api", 1},
                                    {"cameras", int(hub_.Cameras().size())},
                                    {"features", QJsonArray{"move", "presets", "power", "mode",
                                                            "command", "lock", "websocket"}}},
                        {}});
      return;
    case Action::Lines: {
      QJsonArray lines;
      for (const QJsonValue& line : Snapshot().value("lines").toObject()) {
        lines.append(line);
      }
      done(ActionResult{200, lines, {}});
      return;
    }
    case Action::Cameras: {
      QJsonArray cameras;
      for (const CameraInfo& info : hub_.Cameras()) {
        cameras.append(CameraJson(info));
      }
      done(ActionResult{200, cameras, {}});
      return;
    }
    default:
      break;
  }
  const CameraId camera{params.value("line"), params.value("cam")};
  if (action == Action::Camera || action == Action::Presets) {
    const auto info = hub_.Camera(camera);
    if (!info || camera.line < 1 || camera.camera < 1) {
      done(ActionResult{404, {}, Problem{404, "no_camera", "no such camera", camera}});
      return;
    }
    const QJsonObject json = CameraJson(*info);
    done(
        ActionResult{200, action == Action::Camera ? QJsonValue(json) : json.value("presets"), {}});
    return;
  }
  if (auto problem = CheckCamera(camera)) {
    done(ActionResult{problem->status, {}, problem});
    return;
  }
  int preset = 0;
  if (params.contains("n")) {
    preset = params.value("n");
    if (preset < 1 || preset > kPresetCount) {
      done(ActionResult{
          404,
          {},
          Problem{404, "no_preset",
                  QStringLiteral("presets are numbered 1 to %1").arg(kPresetCount), camera}});
      return;
    }
  }
  // Stops, reads and unlocks are never refused; everything else yields to a
  // lock of another client, and moves to the local operator.
  if (action != Action::Stop && action != Action::StateRead && action != Action::Unlock &&
      action != Action::Lock) {
    const auto admission = arbiter_.Admit(camera, caller.key, IsMoveAction(action), clock_());
    if (admission.refusal == MoveArbiter::Refusal::Locked) {
      done(ActionResult{
          409,
          {},
          Problem{409, "locked",
                  QStringLiteral("%1 is locked by %2").arg(CameraText(camera), admission.holder),
                  camera}});
      return;
    }
    if (admission.refusal == MoveArbiter::Refusal::LocalOperator) {
      done(ActionResult{
          409,
          {},
          Problem{409, "local_operator", "the local operator is moving this camera", camera}});
      return;
    }
  }
  Dispatch(action, camera, preset, body, caller, std::move(done));
}

void ApiCore::EndMove(CameraId camera, const QString& owner, const QString& reason) {
  Emit("move.stopped",
       QJsonObject{{"camera", CameraRef(camera)}, {"source", owner}, {"reason", reason}}, camera);
}

void ApiCore::SendIntent(CameraId camera, const LineIntent& intent, ActionDone done) {
  CameraCommand command;
  command.kind = intent.stop ? CameraCommand::Kind::Stop : CameraCommand::Kind::Move;
  command.velocity = intent.velocity;
  std::weak_ptr<bool> alive = alive_;
  hub_.Execute(camera, command, [this, alive, camera, intent, done](const CommandResult& result) {
    if (alive.expired() || !*alive.lock()) {
      return;
    }
    const bool failed = result.error != CameraError::None;
    bool failedMove = false;
    const QString owner = arbiter_.Owner(camera);
    const auto next = arbiter_.LineDone(camera, failed, &failedMove);
    if (failedMove) {
      EndMove(camera, owner, QStringLiteral("error"));
    }
    if (done) {
      if (failed) {
        const Problem problem = ProblemFor(result, camera);
        done(ActionResult{problem.status, {}, problem});
      } else {
        done(ActionResult{
            200, QJsonObject{{"ok", true}, {"state", intent.stop ? "stopped" : "moving"}}, {}});
      }
    }
    if (next) {
      SendIntent(camera, *next, nullptr);
    }
  });
}

void ApiCore::Execute(CameraId camera, const CameraCommand& command, const Caller& caller,
                      const QString& what, std::function<void(const CommandResult&)> then,
                      ActionDone done) {
  Log(caller, QStringLiteral("%1 %2").arg(what, CameraText(camera)));
  std::weak_ptr<bool> alive = alive_;
  hub_.Execute(
      camera, command,
      [this, alive, camera, then, done, caller, what](const CommandResult& result) {
        if (alive.expired() || !*alive.lock()) {
          return;
        }
        if (result.error != CameraError::None) {
          const Problem problem = ProblemFor(result, camera);
          Log(caller,
              QStringLiteral("%1 %2 failed: %3").arg(what, CameraText(camera), problem.detail));
          Emit("command.error", QJsonObject{{"camera", CameraRef(camera)},
                                            {"source", caller.name},
                                            {"command", what},
                                            {"error", problem.ToJson()}});
          done(ActionResult{problem.status, {}, problem});
          return;
        }
        then(result);
      });
}

void ApiCore::Dispatch(Action action, CameraId camera, int preset, const QJsonObject& body,
                       const Caller& caller, ActionDone done) {
  const auto now = clock_();
  auto ok = [](QJsonObject extra = {}) {
    extra.insert("ok", true);
    return ActionResult{200, extra, {}};
  };
  switch (action) {
    case Action::Move: {
      const MoveVelocity velocity{body.value("pan").toDouble(), body.value("tilt").toDouble(),
                                  body.value("zoom").toDouble(), body.value("focus").toDouble()};
      if (velocity.IsZero()) {
        Dispatch(Action::Stop, camera, preset, {}, caller, std::move(done));
        return;
      }
      const std::chrono::milliseconds timeout(body.contains("timeout_ms")
                                                  ? body.value("timeout_ms").toInt()
                                                  : int(timeouts_.defaultTimeout.count()));
      if (timeout < timeouts_.minimum || timeout > timeouts_.maximum) {
        done(ActionResult{400,
                          {},
                          Problem{400, "bad_body",
                                  QStringLiteral("timeout_ms must be from %1 to %2")
                                      .arg(timeouts_.minimum.count())
                                      .arg(timeouts_.maximum.count()),
                                  camera}});
        return;
      }
      const QString previousOwner = arbiter_.Owner(camera);
      const MoveArbiter::Step step = arbiter_.Move(camera, caller.key, velocity, timeout, now);
      if (!previousOwner.isEmpty() && previousOwner != caller.key) {
        EndMove(camera, previousOwner, QStringLiteral("superseded"));
      }
      if (step.outcome != MoveArbiter::Outcome::Renewed) {
        Log(caller, QStringLiteral("move %1 pan %2 tilt %3 zoom %4 focus %5 for %6 ms")
                        .arg(CameraText(camera))
                        .arg(velocity.pan, 0, 'f', 2)
                        .arg(velocity.tilt, 0, 'f', 2)
                        .arg(velocity.zoom, 0, 'f', 2)
                        .arg(velocity.focus, 0, 'f', 2)
                        .arg(timeout.count()));
      }
      if (step.started || previousOwner != caller.key) {
        Emit("move.started",
             QJsonObject{{"camera", CameraRef(camera)},
                         {"source", caller.name},
                         {"pan", velocity.pan},
                         {"tilt", velocity.tilt},
                         {"zoom", velocity.zoom},
                         {"focus", velocity.focus},
                         {"timeout_ms", qint64(timeout.count())}},
             camera);
      }
      if (step.send) {
        SendIntent(camera, *step.send, [done, timeout](ActionResult result) {
          if (!result.problem) {
            result.body = QJsonObject{
                {"ok", true}, {"state", "moving"}, {"until_ms", qint64(timeout.count())}};
          }
          done(result);
        });
      } else {
        done(ok({{"state", step.outcome == MoveArbiter::Outcome::Renewed ? "renewed" : "queued"},
                 {"until_ms", qint64(timeout.count())}}));
      }
      return;
    }
    case Action::Stop: {
      const MoveArbiter::Step step = arbiter_.Stop(camera);
      Log(caller, QStringLiteral("stop %1").arg(CameraText(camera)));
      if (step.stopped) {
        EndMove(camera, step.owner, QStringLiteral("client"));
      }
      if (step.send) {
        SendIntent(camera, *step.send, std::move(done));
      } else {
        done(ok({{"state", "queued"}}));
      }
      return;
    }
    case Action::Home:
    case Action::PresetRecall: {
      const QString owner = arbiter_.Owner(camera);
      if (arbiter_.Supersede(camera)) {
        EndMove(camera, owner, QStringLiteral("superseded"));
      }
      CameraCommand command;
      command.kind =
          action == Action::Home ? CameraCommand::Kind::Home : CameraCommand::Kind::PresetRecall;
      command.preset = preset;
      const QString what = action == Action::Home ? QStringLiteral("home")
                                                  : QStringLiteral("recall preset %1").arg(preset);
      Execute(
          camera, command, caller, what,
          [this, done, ok, camera, caller, action, preset](const CommandResult&) {
            if (action == Action::PresetRecall) {
              Emit("preset.recalling",
                   QJsonObject{
                       {"camera", CameraRef(camera)}, {"source", caller.name}, {"preset", preset}},
                   camera);
            }
            done(ok({{"state", "moving"}}));
          },
          done);
      return;
    }
    case Action::PresetStore: {
      CameraCommand command;
      command.kind = CameraCommand::Kind::PresetStore;
      command.preset = preset;
      Execute(
          camera, command, caller, QStringLiteral("store preset %1").arg(preset),
          [this, done, ok, camera, caller, preset](const CommandResult&) {
            Emit("preset.stored",
                 QJsonObject{
                     {"camera", CameraRef(camera)}, {"source", caller.name}, {"preset", preset}},
                 camera);
            done(ok());
          },
          done);
      return;
    }
    case Action::PresetRename: {
      const QString name = body.value("name").toString();
      Log(caller,
          QStringLiteral("name preset %1 of %2 \"%3\"").arg(preset).arg(CameraText(camera), name));
      const CommandResult result = hub_.SetPresetName(camera, preset, name);
      if (result.error != CameraError::None) {
        const Problem problem = ProblemFor(result, camera);
        done(ActionResult{problem.status, {}, problem});
        return;
      }
      Emit("preset.renamed",
           QJsonObject{{"camera", CameraRef(camera)},
                       {"source", caller.name},
                       {"preset", preset},
                       {"name", name}},
           camera);
      done(ok({{"name", name}}));
      return;
    }
    case Action::Power:
    case Action::Mode: {
      CameraCommand command;
      command.kind =
          action == Action::Power ? CameraCommand::Kind::Power : CameraCommand::Kind::Mode;
      command.on =
          action == Action::Power ? body.value("on").toBool() : body.value("local").toBool();
      const QString what = action == Action::Power
                               ? QStringLiteral("power %1").arg(command.on ? "on" : "off")
                               : QStringLiteral("mode %1").arg(command.on ? "local" : "host");
      Execute(
          camera, command, caller, what, [done, ok](const CommandResult&) { done(ok()); }, done);
      return;
    }
    case Action::Command: {
      const auto frame = ParseCommandFrame(body.value("hex").toString());
      if (!frame) {
        done(ActionResult{
            400,
            {},
            Problem{400, "bad_frame", "hex must be one command frame: FF ... EF, 6 to 15 bytes",
                    camera}});
        return;
      }
      CameraCommand command;
      command.kind = CameraCommand::Kind::Raw;
      command.frame = *frame;
      Execute(
          camera, command, caller, QStringLiteral("command %1").arg(HexText(*frame)),
          [done, ok](const CommandResult& result) {
            done(ok({{"answer", HexText(result.answer)}}));
          },
          done);
      return;
    }
    case Action::StateRead: {
      CameraCommand command;
      command.kind = CameraCommand::Kind::ReadState;
      Execute(
          camera, command, caller, QStringLiteral("read state"),
          [this, done, camera](const CommandResult&) {
            const auto info = hub_.Camera(camera);
            done(ActionResult{200, info ? CameraJson(*info) : QJsonObject(), {}});
          },
          done);
      return;
    }
    case Action::Lock: {
      const std::chrono::seconds ttl(body.contains("ttl_s") ? body.value("ttl_s").toInt() : 600);
      const QString reason = body.value("reason").toString();
      if (auto holder = arbiter_.Lock(camera, caller.key, reason, ttl, now)) {
        done(ActionResult{
            409,
            {},
            Problem{409, "locked",
                    QStringLiteral("%1 is locked by %2").arg(CameraText(camera), *holder),
                    camera}});
        return;
      }
      Log(caller, QStringLiteral("lock %1 for %2 s").arg(CameraText(camera)).arg(ttl.count()));
      Emit("lock.changed",
           QJsonObject{{"camera", CameraRef(camera)},
                       {"holder", caller.key},
                       {"reason", reason},
                       {"ttl_s", qint64(ttl.count())}},
           camera);
      done(ok({{"holder", caller.key}, {"ttl_s", qint64(ttl.count())}}));
      return;
    }
    case Action::Unlock: {
      const bool had = arbiter_.LockHolder(camera, now).has_value();
      if (!arbiter_.Unlock(camera, caller.key, caller.scope == Scope::Admin)) {
        done(ActionResult{409,
                          {},
                          Problem{409, "locked",
                                  QStringLiteral("%1 is locked by %2")
                                      .arg(CameraText(camera), *arbiter_.LockHolder(camera, now)),
                                  camera}});
        return;
      }
      if (had) {
        Log(caller, QStringLiteral("unlock %1").arg(CameraText(camera)));
        Emit("lock.changed", QJsonObject{{"camera", CameraRef(camera)}, {"holder", QJsonValue()}},
             camera);
      }
      done(ok());
      return;
    }
    default:
      done(ActionResult{500, {}, Problem{500, "internal", "not an action", camera}});
      return;
  }
}

void ApiCore::Tick() {
  for (const MoveArbiter::Expiry& expiry : arbiter_.Expire(clock_())) {
    if (expiry.lock) {
      Emit("lock.changed",
           QJsonObject{{"camera", CameraRef(expiry.camera)},
                       {"holder", QJsonValue()},
                       {"reason", "expired"}},
           expiry.camera);
      continue;
    }
    if (log_) {
      log_(QStringLiteral("network %1: move of %2 timed out; stop")
               .arg(expiry.owner, CameraText(expiry.camera)));
    }
    EndMove(expiry.camera, expiry.owner, QStringLiteral("timeout"));
    if (expiry.step.send) {
      SendIntent(expiry.camera, *expiry.step.send, nullptr);
    }
  }
}

void ApiCore::ClientGone(const QString& key, const QString& name) {
  for (const MoveArbiter::Expiry& expiry : arbiter_.ClientGone(key)) {
    if (expiry.lock) {
      Emit("lock.changed",
           QJsonObject{{"camera", CameraRef(expiry.camera)},
                       {"holder", QJsonValue()},
                       {"reason", "disconnect"}},
           expiry.camera);
      continue;
    }
    if (log_) {
      log_(QStringLiteral("network %1: gone while moving %2; stop")
               .arg(name, CameraText(expiry.camera)));
    }
    EndMove(expiry.camera, key, QStringLiteral("disconnect"));
    if (expiry.step.send) {
      SendIntent(expiry.camera, *expiry.step.send, nullptr);
    }
  }
}

void ApiCore::LocalOperator(CameraId camera, bool active) {
  if (auto owner = arbiter_.LocalOperator(camera, active)) {
    if (log_) {
      log_(QStringLiteral("network: the local operator takes %1 from %2")
               .arg(CameraText(camera), *owner));
    }
    EndMove(camera, *owner, QStringLiteral("preempted"));
  }
}

void ApiCore::StopAll(const QString& reason) {
  for (const CameraInfo& info : hub_.Cameras()) {
    if (!arbiter_.Moving(info.id)) {
      continue;
    }
    const MoveArbiter::Step step = arbiter_.Stop(info.id);
    EndMove(info.id, step.owner, reason);
    if (step.send) {
      SendIntent(info.id, *step.send, nullptr);
    }
  }
}

}  // namespace qznet
