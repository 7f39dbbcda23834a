#include "qzlinkd/line_worker.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>
#include <cerrno>
#include <cstdio>

#include "qzlinkd/line_host.h"
#include "qzlinkd/signal_watch.h"
#include "qzlinkd/wire.h"

namespace qzlinkd {

namespace {

constexpr int kStopBoundMs = 2000;
constexpr qsizetype kMaxInput = 1 << 20;

void Write(const QJsonObject& message) {
  const QByteArray line = ToLine(message);
  qsizetype offset = 0;
  while (offset < line.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, line.constData() + offset,
                              static_cast<size_t>(line.size() - offset));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;  // the daemon has gone: the end of input follows
    offset += n;
  }
}

}  // namespace

int RunLineWorker(int line) {
  LineHost host(line);
  qtr90x::net::LinkLine& backend = host.Backend();
  SignalWatch watch;

  // The whole state after each change, sent once per turn of the loop.
  QTimer stateTimer;
  stateTimer.setSingleShot(true);
  stateTimer.setInterval(0);
  auto sendState = [&] {
    QJsonArray cameras;
    for (const qznet::CameraInfo& camera : backend.Cameras())
      cameras.append(CameraToJson(camera));
    Write(QJsonObject{{"ev", "state"}, {"line", LineToJson(backend.Info())}, {"cameras", cameras}});
  };
  QObject::connect(&stateTimer, &QTimer::timeout, sendState);
  auto changed = [&] {
    if (!stateTimer.isActive())
      stateTimer.start();
  };
  QObject::connect(&backend, &qtr90x::net::LineBackend::LineChanged, changed);
  QObject::connect(&backend, &qtr90x::net::LineBackend::CameraChanged, changed);
  QObject::connect(
      &backend, &qtr90x::net::LineBackend::Notified,
      [&](int camera, const QString& kind, const QString& text) {
        // The state the notification changed goes first.
        stateTimer.stop();
        sendState();
        Write(QJsonObject{{"ev", "notified"}, {"camera", camera}, {"kind", kind}, {"text", text}});
      });

  bool ending = false;
  auto end = [&] {
    if (ending)
      return;
    ending = true;
    backend.StopAll([] { QCoreApplication::exit(0); });
    QTimer::singleShot(kStopBoundMs, [] { QCoreApplication::exit(0); });
  };
  QObject::connect(&watch, &SignalWatch::Terminate, end);

  auto handle = [&](const QJsonObject& message) {
    const QString op = message.value("op").toString();
    const qint64 id = message.value("id").toInteger();
    if (op == QLatin1String("exec")) {
      const auto command = CommandFromJson(message.value("command").toObject());
      if (!command) {
        Write(QJsonObject{
            {"ev", "done"},
            {"id", id},
            {"result",
             ResultToJson({qznet::CameraError::Failed, QStringLiteral("unknown command"), {}})}});
        return;
      }
      backend.Execute(
          message.value("camera").toInt(), *command, [id](const qznet::CommandResult& result) {
            Write(QJsonObject{{"ev", "done"}, {"id", id}, {"result", ResultToJson(result)}});
          });
    } else if (op == QLatin1String("stopall")) {
      backend.StopAll([id] { Write(QJsonObject{{"ev", "stopped"}, {"id", id}}); });
    } else if (op == QLatin1String("names")) {
      backend.ReloadNames(message.value("camera").toInt());
    }
  };

  QByteArray input;
  QSocketNotifier reader(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&reader, &QSocketNotifier::activated, [&] {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      return;
    if (n <= 0) {
      reader.setEnabled(false);
      end();
      return;
    }
    input.append(chunk, n);
    qsizetype newline = 0;
    while ((newline = input.indexOf('\n')) >= 0) {
      const QByteArray text = input.left(newline);
      input.remove(0, newline + 1);
      if (const auto message = FromLine(text))
        handle(*message);
    }
    if (input.size() > kMaxInput)
      input.clear();
  });

  host.Open();
  changed();
  return QCoreApplication::exec();
}

}  // namespace qzlinkd
