// Host and Origin against DNS rebinding and foreign pages; tokens and scopes.
#include "netcontrol/access_policy.h"

#include <gtest/gtest.h>

namespace qznet {
namespace {

const QByteArray kAdmin(64, 'b');

AccessPolicy Policy() {
  return AccessPolicy(AccessSettings{kAdmin, 8099, {"studio.lan"}, {"http://companion.lan:8000"}});
}

TEST(Access, HostAndOriginChecks) {
  struct Case {
    QByteArray host;
    QByteArray origin;  // null: none sent
    bool allowed;
  };
  const Case cases[] = {
      {"127.0.0.1:8099", {}, true},
      {"localhost:8099", {}, true},
      {"LOCALHOST", {}, true},
      {"[::1]:8099", {}, true},
      {"studio.lan:8099", {}, true},
      {"127.0.0.1:8098", {}, false},  // another port: not us
      {"evil.example:8099", {}, false},
      {"evil.example", {}, false},
      {"", {}, false},
      {"::1", {}, false},
      {"127.0.0.1:99999", {}, false},
      {"127.0.0.1:8099", "http://127.0.0.1:8099", true},  // our own page
      {"127.0.0.1:8099", "http://localhost:8099", true},
      {"127.0.0.1:8099", "http://companion.lan:8000", true},  // configured
      {"127.0.0.1:8099", "http://evil.example", false},
      {"127.0.0.1:8099", "http://127.0.0.1:8100", false},
      {"127.0.0.1:8099", "https://127.0.0.1:8099", false},
      {"127.0.0.1:8099", "null", false},
      {"127.0.0.1:8099", "", false},
  };
  const AccessPolicy policy = Policy();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host.toStdString() + " / " + c.origin.toStdString());
    const auto problem = policy.CheckHostAndOrigin(c.host, c.origin);
    EXPECT_EQ(!problem.has_value(), c.allowed);
    if (problem) {
      EXPECT_EQ(problem->status, 403);
    }
  }
}

TEST(Access, TokensGrantTheirScope) {
  const QByteArray control = AccessPolicy::ScopedToken(kAdmin, Scope::Control);
  const QByteArray read = AccessPolicy::ScopedToken(kAdmin, Scope::Read);
  ASSERT_NE(control, read);
  ASSERT_EQ(control.size(), 64);
  struct Case {
    QByteArray authorization;  // null: none
    QByteArray query;
    bool queryAllowed;
    std::optional<Scope> scope;  // nullopt: 401
  };
  const Case cases[] = {
      {"Bearer " + kAdmin, {}, false, Scope::Admin},
      {"bearer  " + kAdmin + " ", {}, false, Scope::Admin},
      {"Bearer " + control, {}, false, Scope::Control},
      {"Bearer " + read, {}, false, Scope::Read},
      {"Bearer " + kAdmin.left(63), {}, false, std::nullopt},
      {"Basic " + kAdmin, {}, false, std::nullopt},
      {"Bearer", {}, false, std::nullopt},
      {{}, kAdmin, true, Scope::Admin},
      {{}, read, true, Scope::Read},
      {{}, kAdmin, false, std::nullopt},  // query tokens only for the socket and the page
      {{}, {}, true, std::nullopt},
      {"Bearer " + read, kAdmin, true, Scope::Read},  // the header decides
  };
  const AccessPolicy policy = Policy();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.authorization.toStdString() + " / " + c.query.toStdString());
    const auto result =
        policy.Authenticate(c.authorization, QString::fromLatin1(c.query), c.queryAllowed);
    if (c.scope) {
      ASSERT_TRUE(std::holds_alternative<Scope>(result));
      EXPECT_EQ(std::get<Scope>(result), *c.scope);
    } else {
      ASSERT_TRUE(std::holds_alternative<Problem>(result));
      EXPECT_EQ(std::get<Problem>(result).status, 401);
    }
  }
  // Another admin token derives other lesser tokens.
  EXPECT_NE(AccessPolicy::ScopedToken(QByteArray(64, 'c'), Scope::Read), read);
}

}  // namespace
}  // namespace qznet
