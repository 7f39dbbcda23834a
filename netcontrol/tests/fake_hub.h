// A CameraHub for the tests: lines and cameras set up by the test, every
// command recorded, and each command's result given by the test (at once,
// or held until the test releases it, as a slow line would).
#pragma once

#include "netcontrol/camera_hub.h"

#include <QList>
#include <QMap>
#include <QTimer>

#include <deque>

namespace qznet::test {

class FakeHub : public CameraHub {
 public:
  struct Sent {
    CameraId id;
    CameraCommand command;
  };

  FakeHub() {
    AddLine(1);
    AddCamera({1, 1});
    AddCamera({1, 2});
  }

  void AddLine(int line, LineState state = LineState::Open) {
    lines_[line] = LineInfo{line, state, QStringLiteral("/dev/ttyS%1").arg(line - 1), {}};
  }
  void SetLine(int line, LineState state, QString error = {}) {
    lines_[line].state = state;
    lines_[line].error = std::move(error);
    emit LineChanged(line);
  }
  void AddCamera(CameraId id) {
    CameraInfo info;
    info.id = id;
    info.link = LinkState::Online;
    info.model = "QT-R90x";
    info.power = true;
    info.local = false;
    info.presetsStored = 0b101;
    for (int n = 1; n <= kPresetCount; ++n) {
      info.presetNames.append(n == 1 ? QStringLiteral("Stage") : QString());
    }
    cameras_[id] = info;
  }
  CameraInfo& Info(CameraId id) { return cameras_[id]; }

  // Commands complete with this result; hold keeps them until Release.
  void SetResult(CameraError error) { result_ = error; }
  void SetHold(bool hold) { hold_ = hold; }
  // Completes the oldest held command; false when none is held.
  bool Release() {
    if (held_.empty()) {
      return false;
    }
    auto done = std::move(held_.front());
    held_.pop_front();
    done(CommandResult{result_, {}, QByteArray::fromHex("FE3031303087")});
    return true;
  }
  int Held() const { return int(held_.size()); }

  QList<LineInfo> Lines() const override { return lines_.values(); }
  QList<CameraInfo> Cameras() const override { return cameras_.values(); }
  std::optional<CameraInfo> Camera(CameraId id) const override {
    auto it = cameras_.find(id);
    return it == cameras_.end() ? std::nullopt : std::optional(*it);
  }
  void Execute(CameraId id, const CameraCommand& command, CommandDone done) override {
    sent.append(Sent{id, command});
    if (hold_) {
      held_.push_back(std::move(done));
      return;
    }
    // Never inside Execute, as the interface promises.
    const CameraError error = result_;
    QTimer::singleShot(0, this, [done, error] {
      done(CommandResult{error, {}, QByteArray::fromHex("FE3030515A2D5239307845")});
    });
  }
  CommandResult SetPresetName(CameraId id, int preset, const QString& name) override {
    cameras_[id].presetNames[preset - 1] = name;
    return {};
  }

  QList<Sent> sent;

 private:
  QMap<int, LineInfo> lines_;
  QMap<CameraId, CameraInfo> cameras_;
  CameraError result_ = CameraError::None;
  bool hold_ = false;
  std::deque<CommandDone> held_;
};

}  // namespace qznet::test
