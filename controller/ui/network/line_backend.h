// One camera line as the network control service's hub sees it: the line's
// state, what is known of each camera on it, commands that complete later,
// and the changes. The application and the daemon's first line have it on a
// CameraLink in the process (LinkLine); the daemon's other lines live in
// worker processes, one per line, as the camera link library holds one
// session per process (RemoteLine).
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

#include "netcontrol/camera_hub.h"

namespace qtr90x::net {

class LineBackend : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~LineBackend() override = default;

  virtual int Line() const = 0;
  virtual qznet::LineInfo Info() const = 0;
  virtual QList<qznet::CameraInfo> Cameras() const = 0;
  // done runs exactly once, later (never inside Execute).
  virtual void Execute(int camera, const qznet::CameraCommand& command,
                       qznet::CommandDone done) = 0;
  virtual qznet::CommandResult SetPresetName(int camera, int preset, const QString& name) = 0;
  // Stops every camera of the line that this side or the operator has
  // moving; done runs once the stops are on the line (or cannot be).
  virtual void StopAll(std::function<void()> done) = 0;

 signals:
  void CameraChanged(int camera);
  void LineChanged();
  void Notified(int camera, const QString& kind, const QString& text);
  // The local operator pressed (true) or released a drive of the camera.
  void LocalOperator(int camera, bool active);
};

}  // namespace qtr90x::net
