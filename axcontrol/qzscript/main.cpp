// qzscript FILE.js [ARG...]: runs a JavaScript file with a WScript object
// (CreateObject, Echo, Sleep, Quit, Arguments). Exit status: the script's
// WScript.Quit code, 0 at its end, 1 for an uncaught error, 2 for usage.
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "axcontrol/qzscript/script_host.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList all = app.arguments();
  if (all.size() < 2) {
    std::fprintf(stderr, "usage: qzscript FILE.js [ARG...]\n");
    return 2;
  }
  QFile file(all[1]);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "qzscript: cannot read %s: %s\n", qPrintable(all[1]),
                 qPrintable(file.errorString()));
    return 2;
  }
  const QString source = QString::fromUtf8(file.readAll());
  int status = 0;
  {
    qzscript::ScriptHost host(all[1], all.mid(2));
    status = host.Run(source);
  }
  return status;
}
