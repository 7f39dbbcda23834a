#include "netcontrol/route_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <array>

namespace qznet {
namespace {

constexpr const char* kMoveSchema =
    R"({"type":"object","properties":{)"
    R"("pan":{"type":"number","minimum":-1,"maximum":1},)"
    R"("tilt":{"type":"number","minimum":-1,"maximum":1},)"
    R"("zoom":{"type":"number","minimum":-1,"maximum":1},)"
    R"("focus":{"type":"number","minimum":-1,"maximum":1},)"
    R"("timeout_ms":{"type":"integer","minimum":100,"maximum":10000,"default":1000}}})";
constexpr const char* kEmptySchema = R"({"type":"object"})";
constexpr const char* kNameSchema = R"({"type":"object","required":["name"],"properties":{)"
                                    R"("name":{"type":"string","maxLength":15}}})";
constexpr const char* kPowerSchema =
    R"({"type":"object","required":["on"],"properties":{"on":{"type":"boolean"}}})";
constexpr const char* kModeSchema =
    R"({"type":"object","required":["local"],"properties":{"local":{"type":"boolean"}}})";
constexpr const char* kCommandSchema =
    R"({"type":"object","required":["hex"],"properties":{)"
    R"("hex":{"type":"string","description":"a whole command frame, hex bytes"}}})";
constexpr const char* kLockSchema =
    R"({"type":"object","properties":{)"
    R"("ttl_s":{"type":"integer","minimum":1,"maximum":86400,"default":600},)"
    R"("reason":{"type":"string","maxLength":64}}})";

// Keep in the order of the OpenAPI document.
const std::array kRoutes = {
    Route{Action::Info, HttpMethod::Get, "/api/v1", Scope::Read, "info",
          "service name, version and features", nullptr, false},
    Route{Action::Lines, HttpMethod::Get, "/api/v1/lines", Scope::Read, "lines",
          "the lines and their state", nullptr, false},
    Route{Action::Cameras, HttpMethod::Get, "/api/v1/cameras", Scope::Read, "cameras",
          "the cameras of every line", nullptr, false},
    Route{Action::Camera, HttpMethod::Get, "/api/v1/cameras/{line}/{cam}", Scope::Read,
          "camera.get", "what the camera told us", nullptr, false},
    Route{Action::Move, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/move", Scope::Control,
          "move", "continuous move; stops by itself after timeout_ms unless renewed", kMoveSchema,
          true},
    Route{Action::Stop, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/stop", Scope::Control,
          "stop", "stop every move (always accepted)", kEmptySchema, true},
    Route{Action::Home, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/home", Scope::Control,
          "home", "go to the home position", kEmptySchema, true},
    Route{Action::Presets, HttpMethod::Get, "/api/v1/cameras/{line}/{cam}/presets", Scope::Read,
          "presets", "presets with names and whether they are stored", nullptr, false},
    Route{Action::PresetRecall, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/presets/{n}/recall",
          Scope::Control, "preset.recall", "move to preset n", kEmptySchema, true},
    Route{Action::PresetStore, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/presets/{n}/store",
          Scope::Control, "preset.store", "store the position as preset n", kEmptySchema, true},
    Route{Action::PresetRename, HttpMethod::Patch, "/api/v1/cameras/{line}/{cam}/presets/{n}",
          Scope::Control, "preset.rename", "name preset n", kNameSchema, true},
    Route{Action::Power, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/power", Scope::Control,
          "power", "camera power on or off", kPowerSchema, true},
    Route{Action::Mode, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/mode", Scope::Control,
          "mode", "Host or Local mode", kModeSchema, true},
    Route{Action::Command, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/command", Scope::Admin,
          "command", "send a raw command frame and return the answer", kCommandSchema, true},
    Route{Action::StateRead, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/state/read",
          Scope::Control, "state.read", "read the camera's state again", kEmptySchema, false},
    Route{Action::Lock, HttpMethod::Post, "/api/v1/cameras/{line}/{cam}/lock", Scope::Control,
          "lock", "take the camera: others' commands get 409 until unlock or ttl", kLockSchema,
          true},
    Route{Action::Unlock, HttpMethod::Delete, "/api/v1/cameras/{line}/{cam}/lock", Scope::Control,
          "unlock", "release the camera", nullptr, true},
    Route{Action::WebSocket, HttpMethod::Get, "/api/v1/ws", Scope::Read, nullptr,
          "WebSocket upgrade: snapshot, events, JSON-RPC 2.0 commands", nullptr, false},
    Route{Action::OpenApi, HttpMethod::Get, "/api/v1/openapi.json", Scope::Read, nullptr,
          "this document", nullptr, false},
    Route{Action::Page, HttpMethod::Get, "/", Scope::Read, nullptr, "the operator page", nullptr,
          false},
};

QStringList Segments(const QString& path) {
  return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// A path number: 1 to 4 decimal digits.
std::optional<int> PathNumber(const QString& segment) {
  if (segment.isEmpty() || segment.size() > 4) {
    return std::nullopt;
  }
  int value = 0;
  for (QChar c : segment) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
      return std::nullopt;
    }
    value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

bool MatchPattern(const Route& route, const QStringList& segments, QMap<QString, int>* params) {
  const QStringList pattern = Segments(QString::fromLatin1(route.pattern));
  if (pattern.size() != segments.size()) {
    return false;
  }
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QString& want = pattern[i];
    if (want.startsWith(QLatin1Char('{'))) {
      auto number = PathNumber(segments[i]);
      if (!number) {
        return false;
      }
      params->insert(want.mid(1, want.size() - 2), *number);
    } else if (want != segments[i]) {
      return false;
    }
  }
  return true;
}

QJsonObject ProblemResponse(const char* description) {
  return QJsonObject{
      {"description", description},
      {"content",
       QJsonObject{
           {"application/problem+json",
            QJsonObject{{"schema", QJsonObject{{"$ref", "#/components/schemas/Problem"}}}}}}}};
}

}  // namespace

const char* ScopeName(Scope scope) {
  switch (scope) {
    case Scope::Read:
      return "read";
    case Scope::Control:
      return "control";
    case Scope::Admin:
      return "admin";
  }
  return "read";
}

std::span<const Route> Routes() {
  return kRoutes;
}

const Route* RouteFor(Action action) {
  for (const Route& route : kRoutes) {
    if (route.action == action) {
      return &route;
    }
  }
  return nullptr;
}

const Route* RouteForRpc(const QString& method) {
  for (const Route& route : kRoutes) {
    if (route.rpcMethod && method == QLatin1String(route.rpcMethod)) {
      return &route;
    }
  }
  return nullptr;
}

RouteLookup MatchRoute(HttpMethod method, const QString& path) {
  RouteLookup lookup;
  const QStringList segments = Segments(path);
  // "/index.html" is the page too.
  const bool page = segments.isEmpty() || (segments.size() == 1 && segments[0] == "index.html");
  for (const Route& route : kRoutes) {
    QMap<QString, int> params;
    const bool pathMatches =
        route.action == Action::Page ? page : MatchPattern(route, segments, &params);
    if (!pathMatches) {
      continue;
    }
    lookup.pathKnown = true;
    lookup.allowed.append(route.method);
    if (route.method == method || (method == HttpMethod::Head && route.method == HttpMethod::Get)) {
      lookup.match = RouteMatch{&route, params};
    }
  }
  return lookup;
}

QJsonObject OpenApiDocument(const QString& version) {
  QJsonObject paths;
  for (const Route& route : kRoutes) {
    QJsonObject operation{
        {"summary", route.summary},
        {"operationId", route.rpcMethod ? QString::fromLatin1(route.rpcMethod).replace('.', '_')
                                        : QStringLiteral("route_%1").arg(int(route.action))},
        {"x-scope", ScopeName(route.scope)},
    };
    QJsonArray parameters;
    for (const QString& segment : Segments(QString::fromLatin1(route.pattern))) {
      if (segment.startsWith('{')) {
        const QString name = segment.mid(1, segment.size() - 2);
        parameters.append(QJsonObject{
            {"name", name},
            {"in", "path"},
            {"required", true},
            {"schema", QJsonObject{{"type", "integer"}, {"minimum", 1}, {"maximum", 9}}}});
      }
    }
    if (!parameters.isEmpty()) {
      operation["parameters"] = parameters;
    }
    if (route.bodySchema) {
      operation["requestBody"] = QJsonObject{
          {"required", false},
          {"content",
           QJsonObject{
               {"application/json",
                QJsonObject{{"schema", QJsonDocument::fromJson(route.bodySchema).object()}}}}}};
    }
    QJsonObject responses{{"200", QJsonObject{{"description", "done"}}},
                          {"401", ProblemResponse("no or bad token")},
                          {"403", ProblemResponse("scope, Host or Origin refused")}};
    if (QString::fromLatin1(route.pattern).contains("{cam}")) {
      responses["404"] = ProblemResponse("no such camera or preset");
    }
    if (route.method != HttpMethod::Get) {
      responses["400"] = ProblemResponse("malformed or invalid body");
      responses["409"] = ProblemResponse("camera busy, not executable, or locked");
      responses["422"] = ProblemResponse("the camera refused a parameter");
      responses["503"] = ProblemResponse("line down");
      responses["504"] = ProblemResponse("the camera did not answer");
    }
    if (route.action == Action::WebSocket) {
      responses = QJsonObject{{"101", QJsonObject{{"description", "switching to WebSocket"}}}};
    }
    operation["responses"] = responses;
    QString method = QString::fromLatin1(MethodName(route.method)).toLower();
    QJsonObject item = paths.value(route.pattern).toObject();
    item[method] = operation;
    paths[route.pattern] = item;
  }
  QJsonObject problem{{"type", "object"},
                      {"properties", QJsonObject{{"type", QJsonObject{{"type", "string"}}},
                                                 {"title", QJsonObject{{"type", "string"}}},
                                                 {"status", QJsonObject{{"type", "integer"}}},
                                                 {"detail", QJsonObject{{"type", "string"}}},
                                                 {"code", QJsonObject{{"type", "string"}}}}}};
  return QJsonObject{
      {"openapi", "3.1.0"},
      {"info", QJsonObject{{"title", "qzlink network control"}, {"version", version}}},
      {"paths", paths},
      {"components",
       QJsonObject{
           {"schemas", QJsonObject{{"Problem", problem}}},
           {"securitySchemes",
            QJsonObject{
                {"bearer", QJsonObject{{"type", "http"}, {"scheme", "bearer"}}},
                {"query", QJsonObject{{"type", "apiKey"}, {"in", "query"}, {"name", "token"}}}}}}},
      {"security", QJsonArray{QJsonObject{{"bearer", QJsonArray{}}}}},
  };
}

}  // namespace qznet
