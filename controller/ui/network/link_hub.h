// The network control service's CameraHub on real camera lines: each line a
// LineBackend, addressed by its COM number.
#pragma once

#include <QMap>

#include "netcontrol/camera_hub.h"
#include "ui/network/line_backend.h"

namespace qtr90x::net {

class LinkHub : public qznet::CameraHub {
  Q_OBJECT
 public:
  using CameraHub::CameraHub;

  // The hub does not own the line; it must outlive the hub or be removed.
  void AddLine(LineBackend* line);
  LineBackend* FindLine(int line) const { return lines_.value(line); }
  QList<LineBackend*> AllLines() const { return lines_.values(); }

  QList<qznet::LineInfo> Lines() const override;
  QList<qznet::CameraInfo> Cameras() const override;
  std::optional<qznet::CameraInfo> Camera(qznet::CameraId id) const override;
  void Execute(qznet::CameraId id, const qznet::CameraCommand& command,
               qznet::CommandDone done) override;
  qznet::CommandResult SetPresetName(qznet::CameraId id, int preset, const QString& name) override;

  // Stops every moving camera of every line; done once all stops are out.
  void StopAll(std::function<void()> done);

 signals:
  void LocalOperator(qznet::CameraId id, bool active);

 private:
  QMap<int, LineBackend*> lines_;
};

}  // namespace qtr90x::net
