#include "netcontrol/access_policy.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QUrl>

namespace qznet {
namespace {

// Compares without an early exit, so the time taken tells nothing about how
// much of a guess was right.
bool ConstantTimeEqual(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size() || a.isEmpty()) {
    return false;
  }
  unsigned char diff = 0;
  for (qsizetype i = 0; i < a.size(); ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return diff == 0;
}

const QStringList kLoopbackHosts = {"localhost", "127.0.0.1", "[::1]"};

}  // namespace

std::optional<std::pair<QString, std::optional<int>>> SplitHostPort(const QString& text) {
  QString host;
  QString portText;
  if (text.startsWith('[')) {
    const qsizetype end = text.indexOf(']');
    if (end < 0) {
      return std::nullopt;
    }
    host = text.left(end + 1);
    const QString rest = text.mid(end + 1);
    if (!rest.isEmpty()) {
      if (!rest.startsWith(':')) {
        return std::nullopt;
      }
      portText = rest.mid(1);
    }
  } else {
    const qsizetype colon = text.indexOf(':');
    if (colon >= 0) {
      if (text.indexOf(':', colon + 1) >= 0) {
        return std::nullopt;  // an IPv6 address without brackets
      }
      host = text.left(colon);
      portText = text.mid(colon + 1);
    } else {
      host = text;
    }
  }
  if (host.isEmpty()) {
    return std::nullopt;
  }
  std::optional<int> port;
  if (!portText.isNull()) {
    bool ok = false;
    const int value = portText.toInt(&ok);
    if (!ok || value < 1 || value > 65535 || portText.size() > 5 || portText.startsWith('+')) {
      return std::nullopt;
    }
    port = value;
  }
  return std::pair{host.toLower(), port};
}

AccessPolicy::AccessPolicy(AccessSettings settings) : settings_(std::move(settings)) {
  readToken_ = ScopedToken(settings_.adminToken, Scope::Read);
  controlToken_ = ScopedToken(settings_.adminToken, Scope::Control);
  for (QString& host : settings_.allowedHosts) {
    host = host.toLower();
  }
}

QByteArray AccessPolicy::ScopedToken(const QByteArray& adminToken, Scope scope) {
  if (scope == Scope::Admin || adminToken.isEmpty()) {
    return adminToken;
  }
  const QByteArray label = QByteArray("qzlink scope ") + ScopeName(scope);
  return QMessageAuthenticationCode::hash(label, adminToken, QCryptographicHash::Sha256).toHex();
}

bool AccessPolicy::HostAllowed(const QString& host, std::optional<int> port) const {
  if (port && *port != settings_.port) {
    return false;
  }
  return kLoopbackHosts.contains(host) || settings_.allowedHosts.contains(host);
}

std::optional<Problem> AccessPolicy::CheckHostAndOrigin(const QByteArray& host,
                                                        const QByteArray& origin) const {
  const auto hostPort = SplitHostPort(QString::fromLatin1(host));
  if (!hostPort || !HostAllowed(hostPort->first, hostPort->second)) {
    return Problem{403,
                   "host_refused",
                   "the Host header names no address of this service (DNS rebinding?)",
                   {}};
  }
  if (origin.isNull()) {
    return std::nullopt;
  }
  const QString originText = QString::fromLatin1(origin);
  if (settings_.allowedOrigins.contains(originText, Qt::CaseInsensitive)) {
    return std::nullopt;
  }
  const QUrl url(originText, QUrl::StrictMode);
  const bool sameOrigin =
      url.isValid() && url.scheme() == "http" && url.path().isEmpty() && url.userInfo().isEmpty() &&
      url.port(80) == settings_.port &&
      HostAllowed(url.host().contains(':') ? "[" + url.host() + "]" : url.host().toLower(),
                  std::nullopt);
  if (!sameOrigin) {
    return Problem{403, "origin_refused", "requests from pages of other sites are refused", {}};
  }
  return std::nullopt;
}

std::variant<Scope, Problem> AccessPolicy::Authenticate(const QByteArray& authorization,
                                                        const QString& queryToken,
                                                        bool queryAllowed) const {
  QByteArray token;
  if (!authorization.isNull()) {
    const QByteArray trimmed = authorization.trimmed();
    if (trimmed.size() > 7 && trimmed.left(7).compare("bearer ", Qt::CaseInsensitive) == 0) {
      token = trimmed.mid(7).trimmed();
    }
  } else if (queryAllowed) {
    token = queryToken.toLatin1();
  }
  if (token.isEmpty()) {
    return Problem{401, "no_token", "a token is required (Authorization: Bearer ...)", {}};
  }
  // Each comparison runs in full whatever the outcome of the others.
  const bool admin = ConstantTimeEqual(token, settings_.adminToken);
  const bool control = ConstantTimeEqual(token, controlToken_);
  const bool read = ConstantTimeEqual(token, readToken_);
  if (admin) {
    return Scope::Admin;
  }
  if (control) {
    return Scope::Control;
  }
  if (read) {
    return Scope::Read;
  }
  return Problem{401, "bad_token", "the token is not valid", {}};
}

}  // namespace qznet
