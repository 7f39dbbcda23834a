// The token file: created once, 0600, atomically; never overwritten when
// it holds something else.
#include "netcontrol/token_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace qznet {
namespace {

int Mode(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

TEST(TokenStore, CreatedOnceWithMode0600AndKept) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/qzlink/api-token";
  const TokenLoad first = TokenStore::LoadOrCreate(path);
  ASSERT_TRUE(first.error.isEmpty()) << first.error.toStdString();
  EXPECT_TRUE(first.created);
  EXPECT_TRUE(TokenStore::IsToken(first.token));
  EXPECT_EQ(Mode(path), 0600);
  EXPECT_EQ(Mode(dir.path() + "/qzlink"), 0700);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), first.token + '\n');  // one line
  file.close();

  const TokenLoad second = TokenStore::LoadOrCreate(path);
  EXPECT_FALSE(second.created);
  EXPECT_EQ(second.token, first.token);

  const TokenLoad renewed = TokenStore::Renew(path);
  EXPECT_NE(renewed.token, first.token);
  EXPECT_EQ(TokenStore::LoadOrCreate(path).token, renewed.token);
  EXPECT_EQ(Mode(path), 0600);
}

TEST(TokenStore, BadFilesAreErrorsAndLeftAlone) {
  QTemporaryDir dir;
  struct Case {
    QByteArray content;
    int mode;
    bool ok;
  };
  const Case cases[] = {
      {QByteArray(64, 'f') + "\n", 0644, true},  // readable by others: repaired
      {QByteArray(64, 'f'), 0600, true},        {"secret\n", 0600, false},
      {QByteArray(64, 'g'), 0600, false},       {"", 0600, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content.toStdString());
    const QString path = dir.path() + "/api-token";
    QFile::remove(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.content);
    file.close();
    ::chmod(QFile::encodeName(path).constData(), c.mode);
    const TokenLoad load = TokenStore::LoadOrCreate(path);
    EXPECT_EQ(load.error.isEmpty(), c.ok) << load.error.toStdString();
    EXPECT_EQ(load.modeRepaired, c.mode != 0600);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), c.content);
    file.close();
    if (c.ok) {
      EXPECT_EQ(Mode(path), 0600);
    }
  }
}

TEST(TokenStore, DefaultPathFollowsXdgConfigHome) {
  qputenv("XDG_CONFIG_HOME", "/tmp/xdg-test");
  EXPECT_EQ(TokenStore::DefaultPath(), "/tmp/xdg-test/qzlink/api-token");
  qputenv("XDG_CONFIG_HOME", "relative");
  EXPECT_TRUE(TokenStore::DefaultPath().endsWith("/.config/qzlink/api-token"));
  qunsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace qznet
