#include "netcontrol/token_store.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qznet {
namespace {

QString SystemError(const QString& what, const QString& path) {
  return QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

QByteArray NewToken() {
  quint32 words[8];
  QRandomGenerator::system()->fillRange(words);
  return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

// Writes the token to a fresh file beside path, mode 0600 from the start, and
// flushes it to the disk. Returns the temporary name or an empty string.
QString WriteTemporary(const QString& path, const QByteArray& token, QString* error) {
  const QByteArray temp = QFile::encodeName(path + QStringLiteral(".tmp-%1").arg(::getpid()));
  ::unlink(temp.constData());
  const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = SystemError("cannot create", QFile::decodeName(temp));
    return {};
  }
  const QByteArray line = token + '\n';
  const bool written =
      ::write(fd, line.constData(), line.size()) == line.size() && ::fsync(fd) == 0;
  const int savedErrno = errno;
  ::close(fd);
  if (!written) {
    errno = savedErrno;
    *error = SystemError("cannot write", QFile::decodeName(temp));
    ::unlink(temp.constData());
    return {};
  }
  return QFile::decodeName(temp);
}

TokenLoad Read(const QString& path) {
  TokenLoad load;
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    load.error = SystemError("cannot open", path);
    return load;
  }
  struct stat info {};
  char buffer[130];
  ssize_t length = -1;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    if ((info.st_mode & 077) != 0 && ::fchmod(fd, 0600) == 0) {
      load.modeRepaired = true;
    }
    length = ::read(fd, buffer, sizeof buffer);
  }
  ::close(fd);
  const QByteArray text = QByteArray(buffer, length > 0 ? length : 0).trimmed();
  if (length < 0 || !TokenStore::IsToken(text)) {
    load.error = QStringLiteral("%1 holds no token (one line of 64 hex digits expected)").arg(path);
    return load;
  }
  load.token = text;
  return load;
}

bool EnsureFolder(const QString& path, QString* error) {
  const QString folder = QFileInfo(path).absolutePath();
  if (QFileInfo::exists(folder)) {
    return true;
  }
  // The parents as the user's umask makes them; the token's own folder 0700.
  QDir().mkpath(QFileInfo(folder).absolutePath());
  if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
    *error = SystemError("cannot create", folder);
    return false;
  }
  return true;
}

}  // namespace

QString TokenStore::DefaultPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
    base = QDir::homePath() + QStringLiteral("/.config");
  }
  return base + QStringLiteral("/qzlink/api-token");
}

bool TokenStore::IsToken(const QByteArray& text) {
  if (text.size() != 64) {
    return false;
  }
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

TokenLoad TokenStore::LoadOrCreate(const QString& path) {
  if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
    return Read(path);
  }
  TokenLoad load;
  if (!EnsureFolder(path, &load.error)) {
    return load;
  }
  const QByteArray token = NewToken();
  const QString temp = WriteTemporary(path, token, &load.error);
  if (temp.isEmpty()) {
    return load;
  }
  // link() fails if the file appeared meanwhile: then the other one wins.
  const int linked =
      ::link(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData());
  const int savedErrno = errno;
  ::unlink(QFile::encodeName(temp).constData());
  if (linked != 0) {
    if (savedErrno == EEXIST) {
      return Read(path);
    }
    errno = savedErrno;
    load.error = SystemError("cannot create", path);
    return load;
  }
  load.token = token;
  load.created = true;
  return load;
}

TokenLoad TokenStore::Renew(const QString& path) {
  TokenLoad load;
  if (!EnsureFolder(path, &load.error)) {
    return load;
  }
  const QByteArray token = NewToken();
  const QString temp = WriteTemporary(path, token, &load.error);
  if (temp.isEmpty()) {
    return load;
  }
  if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0) {
    load.error = SystemError("cannot replace", path);
    ::unlink(QFile::encodeName(temp).constData());
    return load;
  }
  load.token = token;
  load.created = true;
  return load;
}

}  // namespace qznet
