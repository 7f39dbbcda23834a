#include "qzlinkd/remote_line.h"

#include <QJsonArray>

#include <sys/prctl.h>
#include <csignal>

#include "core/pages/preset_name_rules.h"
#include "core/settings/settings.h"
#include "qzlinkd/wire.h"

namespace qzlinkd {

namespace {
constexpr int kRestartMs = 2000;
constexpr qsizetype kMaxLine = 1 << 20;  // a worker's message is far shorter
}  // namespace

RemoteLine::RemoteLine(int line, QString program, QObject* parent)
    : LineBackend(parent), line_(line), program_(std::move(program)) {
  info_.line = line;
  info_.state = qznet::LineState::Closed;
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // The worker goes with the daemon, however the daemon ends.
  process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  connect(&process_, &QProcess::readyReadStandardOutput, this, &RemoteLine::OnOutput);
  connect(&process_, &QProcess::finished, this, &RemoteLine::OnFinished);
  connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart)
      OnFinished();
  });
  restart_.setSingleShot(true);
  restart_.setInterval(kRestartMs);
  connect(&restart_, &QTimer::timeout, this, &RemoteLine::Start);
}

RemoteLine::~RemoteLine() {
  Quit(2000);
}

void RemoteLine::Start() {
  buffer_.clear();
  process_.start(program_, {QStringLiteral("--line-worker"), QString::number(line_)});
}

void RemoteLine::Quit(int ms) {
  quitting_ = true;
  restart_.stop();
  if (process_.state() == QProcess::NotRunning)
    return;
  process_.closeWriteChannel();
  if (!process_.waitForFinished(ms)) {
    process_.kill();
    process_.waitForFinished(1000);
  }
}

void RemoteLine::Send(const QJsonObject& message) {
  process_.write(ToLine(message));
}

void RemoteLine::Execute(int camera, const qznet::CameraCommand& command, qznet::CommandDone done) {
  if (process_.state() != QProcess::Running) {
    QTimer::singleShot(0, this, [this, done = std::move(done)] {
      done({qznet::CameraError::LineDown, QStringLiteral("COM%1 is not open").arg(line_), {}});
    });
    return;
  }
  const qint64 id = nextId_++;
  pending_.insert(id, std::move(done));
  Send(QJsonObject{
      {"op", "exec"}, {"id", id}, {"camera", camera}, {"command", CommandToJson(command)}});
}

qznet::CommandResult RemoteLine::SetPresetName(int camera, int preset, const QString& name) {
  // The names live in the settings store both processes read: stored here,
  // the worker is told to read them again.
  if (!cameras_.contains(camera))
    return {qznet::CameraError::NotFound, QStringLiteral("no such camera"), {}};
  if (preset < 1 || preset > qznet::kPresetCount ||
      !qtr90x::IsValidPresetName(name.toStdU16String()))
    return {qznet::CameraError::Parameter,
            QStringLiteral("a preset name is at most 15 printable ASCII characters"),
            {}};
  qtr90x::PresetNames names{};
  qtr90x::LoadPresetNames(line_, camera, &names);
  auto& slot = names[static_cast<std::size_t>(preset - 1)];
  slot.fill('\0');
  const QByteArray text = name.toLatin1();
  std::copy_n(text.constData(), std::min<qsizetype>(text.size(), 15), slot.begin());
  if (qtr90x::SavePresetNames(line_, camera, names) != 0)
    return {qznet::CameraError::Failed, QStringLiteral("the preset names could not be stored"), {}};
  qznet::CameraInfo& info = cameras_[camera];
  while (info.presetNames.size() < qznet::kPresetCount)
    info.presetNames.append(QString());
  info.presetNames[preset - 1] = name;
  Send(QJsonObject{{"op", "names"}, {"camera", camera}});
  emit CameraChanged(camera);
  return {};
}

void RemoteLine::StopAll(std::function<void()> done) {
  if (process_.state() != QProcess::Running) {
    QTimer::singleShot(0, this, [done] {
      if (done)
        done();
    });
    return;
  }
  const qint64 id = nextId_++;
  stopping_.insert(id, std::move(done));
  Send(QJsonObject{{"op", "stopall"}, {"id", id}});
}

void RemoteLine::OnOutput() {
  buffer_ += process_.readAllStandardOutput();
  qsizetype end = 0;
  while ((end = buffer_.indexOf('\n')) >= 0) {
    const QByteArray line = buffer_.left(end);
    buffer_.remove(0, end + 1);
    if (const auto message = FromLine(line))
      OnMessage(*message);
  }
  if (buffer_.size() > kMaxLine)
    buffer_.clear();
}

void RemoteLine::OnMessage(const QJsonObject& message) {
  const QString event = message.value("ev").toString();
  if (event == QLatin1String("state")) {
    const qznet::LineInfo info = LineFromJson(message.value("line").toObject());
    const bool lineChanged =
        info.state != info_.state || info.error != info_.error || info.device != info_.device;
    info_ = info;
    info_.line = line_;
    QMap<int, qznet::CameraInfo> cameras;
    for (const QJsonValue& value : message.value("cameras").toArray()) {
      qznet::CameraInfo camera = CameraFromJson(value.toObject());
      camera.id.line = line_;
      cameras.insert(camera.id.camera, camera);
    }
    QList<int> changed;
    for (auto it = cameras.begin(); it != cameras.end(); ++it) {
      if (!cameras_.contains(it.key()) ||
          CameraToJson(cameras_.value(it.key())) != CameraToJson(*it))
        changed << it.key();
    }
    cameras_ = cameras;
    if (lineChanged)
      emit LineChanged();
    for (int camera : changed)
      emit CameraChanged(camera);
  } else if (event == QLatin1String("done")) {
    const qint64 id = message.value("id").toInteger();
    if (qznet::CommandDone done = pending_.take(id))
      done(ResultFromJson(message.value("result").toObject()));
  } else if (event == QLatin1String("stopped")) {
    if (std::function<void()> done = stopping_.take(message.value("id").toInteger()))
      done();
  } else if (event == QLatin1String("notified")) {
    emit Notified(message.value("camera").toInt(), message.value("kind").toString(),
                  message.value("text").toString());
  }
}

void RemoteLine::OnFinished() {
  const QMap<qint64, qznet::CommandDone> pending = std::exchange(pending_, {});
  const QMap<qint64, std::function<void()>> stopping = std::exchange(stopping_, {});
  info_.state = qznet::LineState::Error;
  info_.error = QStringLiteral("the worker of COM%1 ended").arg(line_);
  for (qznet::CameraInfo& camera : cameras_)
    camera.link = qznet::LinkState::Offline;
  for (const qznet::CommandDone& done : pending)
    done({qznet::CameraError::LineDown, info_.error, {}});
  for (const auto& done : stopping) {
    if (done)
      done();
  }
  emit LineChanged();
  if (!quitting_)
    restart_.start();
}

}  // namespace qzlinkd
