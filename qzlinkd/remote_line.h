// A camera line owned by a worker process (qzlinkd --line-worker N), seen
// as a LineBackend: commands go to the worker as JSON lines, the line's
// state and the results come back the same way. A worker that ends is
// started again after 2 s; what waited on it fails as "line down".
#pragma once

#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTimer>

#include "ui/network/line_backend.h"

namespace qzlinkd {

class RemoteLine : public qtr90x::net::LineBackend {
  Q_OBJECT
 public:
  RemoteLine(int line, QString program, QObject* parent = nullptr);
  ~RemoteLine() override;

  void Start();
  // Closes the worker's input (it stops its cameras and exits) and waits for
  // it at most `ms`.
  void Quit(int ms);

  int Line() const override { return line_; }
  qznet::LineInfo Info() const override { return info_; }
  QList<qznet::CameraInfo> Cameras() const override { return cameras_.values(); }
  void Execute(int camera, const qznet::CameraCommand& command, qznet::CommandDone done) override;
  qznet::CommandResult SetPresetName(int camera, int preset, const QString& name) override;
  void StopAll(std::function<void()> done) override;

 private:
  void Send(const QJsonObject& message);
  void OnOutput();
  void OnMessage(const QJsonObject& message);
  void OnFinished();

  int line_;
  QString program_;
  QProcess process_;
  QByteArray buffer_;
  qznet::LineInfo info_;
  QMap<int, qznet::CameraInfo> cameras_;
  QMap<qint64, qznet::CommandDone> pending_;
  QMap<qint64, std::function<void()>> stopping_;
  qint64 nextId_ = 1;
  bool quitting_ = false;
  QTimer restart_;
};

}  // namespace qzlinkd
