// The service's admin token in a file of its own: one line of 64 hex digits
// (256 random bits), mode 0600, in ${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/.
// Created at the first start; two processes starting at once end up with the
// same token, because the file appears complete or not at all.
#pragma once

#include <QByteArray>
#include <QString>

namespace qznet {

struct TokenLoad {
  QByteArray token;  // empty on failure
  QString error;     // what went wrong, naming the file
  bool created = false;
  bool modeRepaired = false;  // the file was readable by others and is 0600 now
};

class TokenStore {
 public:
  static QString DefaultPath();
  // Reads the token, or creates the file (and its folder, mode 0700) when it
  // is missing. A file that holds anything but a token is an error and is
  // left as it is.
  static TokenLoad LoadOrCreate(const QString& path);
  // Replaces the token (atomically); the old one stops working.
  static TokenLoad Renew(const QString& path);
  static bool IsToken(const QByteArray& text);
};

}  // namespace qznet
