// Who may talk to the service: the Host header against DNS rebinding, the
// Origin header against pages of other sites in the operator's browser, and
// the token with its scope.
//
// There is one secret, the admin token in the token file. The control and
// read tokens are derived from it (HMAC-SHA256 of the scope's name), so a
// lesser token can be handed out without a second file, and it changes when
// the admin token is replaced.
#pragma once

#include "netcontrol/problem.h"
#include "netcontrol/route_table.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <variant>

namespace qznet {

struct AccessSettings {
  QByteArray adminToken;       // 64 hex digits
  quint16 port = 0;            // the port clients reach us on
  QStringList allowedHosts;    // host names beyond localhost, 127.0.0.1 and [::1]
  QStringList allowedOrigins;  // origins ("http://host:port") beyond our own
};

class AccessPolicy {
 public:
  explicit AccessPolicy(AccessSettings settings);

  // A problem (403) when the Host or Origin header is refused. A request
  // without Origin comes from a program, not a page, and passes.
  std::optional<Problem> CheckHostAndOrigin(const QByteArray& host, const QByteArray& origin) const;
  // The scope the request's token grants, or a 401 problem. The query's
  // token counts only where queryAllowed (the WebSocket and the page).
  std::variant<Scope, Problem> Authenticate(const QByteArray& authorization,
                                            const QString& queryToken, bool queryAllowed) const;

  void SetPort(quint16 port) { settings_.port = port; }
  const AccessSettings& Settings() const { return settings_; }

  static QByteArray ScopedToken(const QByteArray& adminToken, Scope scope);

 private:
  bool HostAllowed(const QString& host, std::optional<int> port) const;

  AccessSettings settings_;
  QByteArray readToken_, controlToken_;
};

// Splits "name:port", "[v6]:port" or "name" into a lower-case host (v6 in
// brackets) and a port; nullopt when malformed.
std::optional<std::pair<QString, std::optional<int>>> SplitHostPort(const QString& text);

}  // namespace qznet
