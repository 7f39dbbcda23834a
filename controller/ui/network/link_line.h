// One camera line on a CameraLink in this process: every camera 1..9 the
// line has, reached through the link's one queue (the operator's window and
// the gamepad use the same link). The engine's CameraState is the selected
// camera's; for every camera this keeps a record of its own, filled from the
// answers to the queries it sends (the state read) and from notifications.
//
// Commands run one at a time, each call after the answer of the one before,
// so the 9600-baud line carries one call of ours per answer; stops go ahead
// of whatever waits.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QTimer>

#include <deque>
#include <vector>

#include "core/link/camera_state.h"
#include "ui/link/camera_link.h"
#include "ui/network/line_backend.h"
#include "ui/network/line_protocol.h"

namespace qtr90x::net {

class LinkLine : public LineBackend {
  Q_OBJECT
 public:
  // `line` is the COM number the link opens (the link's own port, once it
  // has one, wins).
  LinkLine(CameraLink& link, int line, QObject* parent = nullptr);
  ~LinkLine() override;

  int Line() const override;
  qznet::LineInfo Info() const override;
  QList<qznet::CameraInfo> Cameras() const override;
  void Execute(int camera, const qznet::CameraCommand& command, qznet::CommandDone done) override;
  qznet::CommandResult SetPresetName(int camera, int preset, const QString& name) override;
  void StopAll(std::function<void()> done) override;

  // The preset names were changed in the settings store by another process.
  void ReloadNames(int camera);
  // True once the cameras of the line are known (the line has been read).
  bool Discovered() const { return discovered_; }
  CameraLink& Link() { return link_; }

 private:
  struct Record {
    CameraState state;
    bool statusKnown = false, panKnown = false, tiltKnown = false, zoomKnown = false;
    std::optional<quint16> presets;
    QStringList names;
    qznet::LinkState link = qznet::LinkState::Unknown;
    DriveState drives;
    bool localMoving = false;
  };
  struct Job {
    int camera = 0;
    std::vector<LibraryCall> calls;
    std::size_t next = 0;
    qznet::CommandDone done;
    qznet::CommandResult result;
    bool stop = false;      // every call goes, whatever the answers
    bool read = false;      // a refused query does not end the read
    bool discover = false;  // the camera count, then the read of each camera
    std::optional<QByteArray> raw;
  };

  void Enqueue(Job job);
  void Pump();
  void SendNext();
  void OnCallDone(const LibraryCall& call, bool sent, bool executed, const QByteArray& answer);
  void OnRawAnswer(const QByteArray& answer);
  void Finish(qznet::CommandResult result);
  void OnLinkChanged();
  void OnNotification(int kind, const QByteArray& frame);
  void OnOperatorCommand(const LibraryCall& call);
  void StartDiscovery();
  void LoadNames(int camera);
  qznet::CameraInfo InfoOf(int camera, const Record& record) const;
  Record& RecordOf(int camera);

  CameraLink& link_;
  int line_;
  QMap<int, Record> cameras_;
  std::deque<Job> jobs_;
  std::vector<std::function<void()>> idleWaiters_;  // StopAll's, until the queue is empty
  bool running_ = false;
  bool discovered_ = false;
  int cameraCount_ = 0;
  QTimer idleWait_;  // until the engine's connect sequence is over
  int idleChecks_ = 0;
  QTimer rawWait_;  // the answer bound of a raw command
  int rawAddress_ = -1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qtr90x::net
