// The route table: matching, and the OpenAPI document kept equal to it.
#include "netcontrol/route_table.h"

#include <QJsonArray>
#include <QSet>

#include <gtest/gtest.h>

namespace qznet {
namespace {

TEST(Routes, MatchPathsMethodsAndNumbers) {
  struct Case {
    HttpMethod method;
    const char* path;
    std::optional<Action> action;  // nullopt: no match
    bool pathKnown;                // a wrong method (405) rather than 404
    int line, cam, n;
  };
  const Case cases[] = {
      {HttpMethod::Get, "/api/v1/lines", Action::Lines, true, 0, 0, 0},
      {HttpMethod::Get, "/api/v1/lines/", Action::Lines, true, 0, 0, 0},
      {HttpMethod::Get, "/api/v1/cameras/1/2", Action::Camera, true, 1, 2, 0},
      {HttpMethod::Post, "/api/v1/cameras/3/9/move", Action::Move, true, 3, 9, 0},
      {HttpMethod::Post, "/api/v1/cameras/1/2/presets/4/recall", Action::PresetRecall, true, 1, 2,
       4},
      {HttpMethod::Patch, "/api/v1/cameras/1/2/presets/4", Action::PresetRename, true, 1, 2, 4},
      {HttpMethod::Delete, "/api/v1/cameras/1/2/lock", Action::Unlock, true, 1, 2, 0},
      {HttpMethod::Head, "/api/v1/cameras", Action::Cameras, true, 0, 0, 0},
      {HttpMethod::Get, "/", Action::Page, true, 0, 0, 0},
      {HttpMethod::Get, "/index.html", Action::Page, true, 0, 0, 0},
      // No GET changes anything: a move by GET is a wrong method.
      {HttpMethod::Get, "/api/v1/cameras/1/2/move", std::nullopt, true, 0, 0, 0},
      {HttpMethod::Post, "/api/v1/lines", std::nullopt, true, 0, 0, 0},
      {HttpMethod::Get, "/api/v1/cameras/x/2", std::nullopt, false, 0, 0, 0},
      {HttpMethod::Get, "/api/v1/cameras/-1/2", std::nullopt, false, 0, 0, 0},
      {HttpMethod::Get, "/api/v1/cameras/12345/2", std::nullopt, false, 0, 0, 0},
      {HttpMethod::Get, "/api/v1/cameras/1", std::nullopt, false, 0, 0, 0},
      {HttpMethod::Get, "/api/v2/lines", std::nullopt, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const RouteLookup lookup = MatchRoute(c.method, QString::fromLatin1(c.path));
    EXPECT_EQ(lookup.pathKnown, c.pathKnown);
    ASSERT_EQ(lookup.match.has_value(), c.action.has_value());
    if (c.action) {
      EXPECT_EQ(lookup.match->route->action, *c.action);
      EXPECT_EQ(lookup.match->params.value("line"), c.line);
      EXPECT_EQ(lookup.match->params.value("cam"), c.cam);
      EXPECT_EQ(lookup.match->params.value("n"), c.n);
    }
  }
}

TEST(Routes, OpenApiDocumentHasExactlyTheRoutes) {
  const QJsonObject paths = OpenApiDocument("1").value("paths").toObject();
  QSet<QString> documented;
  for (auto path = paths.begin(); path != paths.end(); ++path) {
    const QJsonObject item = path.value().toObject();
    for (auto method = item.begin(); method != item.end(); ++method) {
      documented.insert(method.key().toUpper() + ' ' + path.key());
      EXPECT_TRUE(method.value().toObject().contains("responses")) << path.key().toStdString();
    }
  }
  QSet<QString> routed;
  QSet<QString> rpcNames;
  for (const Route& route : Routes()) {
    routed.insert(QString::fromLatin1(MethodName(route.method)) + ' ' + route.pattern);
    if (route.rpcMethod) {
      EXPECT_FALSE(rpcNames.contains(route.rpcMethod)) << route.rpcMethod;
      rpcNames.insert(route.rpcMethod);
      EXPECT_EQ(RouteForRpc(route.rpcMethod), &route);
    }
    // No GET changes anything.
    EXPECT_FALSE(route.method == HttpMethod::Get && route.changesState) << route.pattern;
  }
  EXPECT_EQ(documented, routed);
}

}  // namespace
}  // namespace qznet
