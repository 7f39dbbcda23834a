#include "ui/network/link_hub.h"

#include <QTimer>

#include <memory>

namespace qtr90x::net {

void LinkHub::AddLine(LineBackend* line) {
  lines_.insert(line->Line(), line);
  // The numbers are read at each change: the application's line follows the
  // port the operator chooses.
  connect(line, &LineBackend::CameraChanged, this, [this, line](int camera) {
    emit CameraChanged(qznet::CameraId{line->Line(), camera});
  });
  connect(line, &LineBackend::LineChanged, this, [this, line] {
    const int old = lines_.key(line, 0);
    if (old != line->Line()) {
      lines_.remove(old);
      lines_.insert(line->Line(), line);
    }
    emit LineChanged(line->Line());
  });
  connect(line, &LineBackend::Notified, this,
          [this, line](int camera, const QString& kind, const QString& text) {
            emit Notified(qznet::CameraId{line->Line(), camera}, kind, text);
          });
  connect(line, &LineBackend::LocalOperator, this, [this, line](int camera, bool active) {
    emit LocalOperator(qznet::CameraId{line->Line(), camera}, active);
  });
  connect(line, &QObject::destroyed, this, [this, line] { lines_.remove(lines_.key(line, 0)); });
}

QList<qznet::LineInfo> LinkHub::Lines() const {
  QList<qznet::LineInfo> lines;
  for (const LineBackend* line : lines_)
    lines.append(line->Info());
  return lines;
}

QList<qznet::CameraInfo> LinkHub::Cameras() const {
  QList<qznet::CameraInfo> cameras;
  for (const LineBackend* line : lines_)
    cameras.append(line->Cameras());
  return cameras;
}

std::optional<qznet::CameraInfo> LinkHub::Camera(qznet::CameraId id) const {
  const LineBackend* line = lines_.value(id.line);
  if (line == nullptr)
    return std::nullopt;
  for (const qznet::CameraInfo& info : line->Cameras()) {
    if (info.id.camera == id.camera)
      return info;
  }
  return std::nullopt;
}

void LinkHub::Execute(qznet::CameraId id, const qznet::CameraCommand& command,
                      qznet::CommandDone done) {
  LineBackend* line = lines_.value(id.line);
  if (line == nullptr) {
    QTimer::singleShot(0, this, [done = std::move(done)] {
      done(qznet::CommandResult{qznet::CameraError::NotFound, QStringLiteral("no such line"), {}});
    });
    return;
  }
  line->Execute(id.camera, command, std::move(done));
}

qznet::CommandResult LinkHub::SetPresetName(qznet::CameraId id, int preset, const QString& name) {
  LineBackend* line = lines_.value(id.line);
  if (line == nullptr)
    return {qznet::CameraError::NotFound, QStringLiteral("no such line"), {}};
  return line->SetPresetName(id.camera, preset, name);
}

void LinkHub::StopAll(std::function<void()> done) {
  auto left = std::make_shared<int>(int(lines_.size()) + 1);
  auto one = [left, done] {
    if (--*left == 0 && done)
      done();
  };
  for (LineBackend* line : lines_)
    line->StopAll(one);
  one();
}

}  // namespace qtr90x::net
