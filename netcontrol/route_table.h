// The one table of the service's routes. The HTTP router, the JSON-RPC
// methods of the WebSocket and the OpenAPI document are all read from it, so
// they cannot drift apart.
#pragma once

#include "netcontrol/http_types.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>
#include <span>

namespace qznet {

// What a token may do; each scope includes the ones before it.
enum class Scope { Read = 1, Control = 2, Admin = 3 };
const char* ScopeName(Scope scope);

enum class Action {
  Info,
  Lines,
  Cameras,
  Camera,
  Move,
  Stop,
  Home,
  Presets,
  PresetRecall,
  PresetStore,
  PresetRename,
  Power,
  Mode,
  Command,
  StateRead,
  Lock,
  Unlock,
  WebSocket,
  OpenApi,
  Page,
};

struct Route {
  Action action;
  HttpMethod method;
  const char* pattern;  // segments; {line}, {cam} and {n} are numbers
  Scope scope;
  const char* rpcMethod;  // the JSON-RPC method, or nullptr when HTTP only
  const char* summary;
  const char* bodySchema;  // JSON Schema of the body, or nullptr for none
  bool changesState;       // logged with the client's name
};

std::span<const Route> Routes();
const Route* RouteFor(Action action);
const Route* RouteForRpc(const QString& method);

struct RouteMatch {
  const Route* route = nullptr;
  QMap<QString, int> params;  // "line", "cam", "n"
};

struct RouteLookup {
  std::optional<RouteMatch> match;
  bool pathKnown = false;  // some route has this path: a wrong method is 405
  QList<HttpMethod> allowed;
};

RouteLookup MatchRoute(HttpMethod method, const QString& path);

// The OpenAPI 3.1 document of the table.
QJsonObject OpenApiDocument(const QString& version);

}  // namespace qznet
