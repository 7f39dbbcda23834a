#include "ui/network/link_line.h"

#include <algorithm>
#include <memory>
#include <span>
#include <string>

#include "camlink/port_mapping.h"
#include "core/link/answer_decoders.h"
#include "core/link/answer_decoding.h"
#include "core/pages/preset_name_rules.h"
#include "core/settings/settings.h"

namespace qtr90x::net {

namespace {

using qznet::CameraError;
using qznet::CommandResult;
using F = LibraryFunction;

// The engine's connect sequence is looked at every 50 ms; after 15 s the
// line is read all the same.
constexpr int kIdleCheckMs = 50;
constexpr int kIdleChecksMax = 300;
// A raw command's answer: the camera's answer time and a margin.
constexpr int kRawAnswerMs = 1200;

std::span<const std::uint8_t> Bytes(const QByteArray& frame) {
  return {reinterpret_cast<const std::uint8_t*>(frame.constData()),
          static_cast<std::size_t>(frame.size())};
}

}  // namespace

LinkLine::LinkLine(CameraLink& link, int line, QObject* parent)
    : LineBackend(parent), link_(link), line_(line) {
  idleWait_.setInterval(kIdleCheckMs);
  connect(&idleWait_, &QTimer::timeout, this, [this] {
    const bool idle = !link_.Engine().SequenceActive() && link_.Engine().CallsInFlight() == 0;
    if (!idle && ++idleChecks_ < kIdleChecksMax)
      return;
    idleWait_.stop();
    if (link_.Connected())
      StartDiscovery();
  });
  rawWait_.setSingleShot(true);
  connect(&rawWait_, &QTimer::timeout, this, [this] {
    rawAddress_ = -1;
    Finish(CommandResult{CameraError::NoAnswer, QStringLiteral("the camera did not answer"), {}});
  });
  connect(&link_, &CameraLink::LinkStateChanged, this, &LinkLine::OnLinkChanged);
  connect(&link_, &CameraLink::NotificationReceived, this, &LinkLine::OnNotification);
  connect(&link_, &CameraLink::OperatorCommandSent, this, &LinkLine::OnOperatorCommand);
  connect(&link_, &CameraLink::AnswerReceived, this, [this](const QByteArray& frame) {
    if (rawAddress_ >= 0 && AnswerFrame(Bytes(frame)).Address() == rawAddress_)
      OnRawAnswer(frame);
  });
  if (link_.Connected())
    OnLinkChanged();
}

LinkLine::~LinkLine() {
  *alive_ = false;
}

int LinkLine::Line() const {
  return link_.Port() != 0 ? link_.Port() : line_;
}

qznet::LineInfo LinkLine::Info() const {
  qznet::LineInfo info;
  info.line = Line();
  info.device = QString::fromStdString(qzlink::CurrentPortTarget(info.line).target);
  if (link_.Connected()) {
    info.state = qznet::LineState::Open;
  } else if (link_.LinkLost()) {
    info.state = qznet::LineState::Error;
    info.error = QStringLiteral("the line was lost; it is opened again every 2 s");
  } else if (!link_.OpenFailureReason().isEmpty() && link_.Port() != 0) {
    info.state = qznet::LineState::Error;
    info.error = link_.OpenFailureReason();
  }
  return info;
}

LinkLine::Record& LinkLine::RecordOf(int camera) {
  auto it = cameras_.find(camera);
  if (it == cameras_.end()) {
    it = cameras_.insert(camera, Record{});
    LoadNames(camera);
  }
  return *it;
}

void LinkLine::LoadNames(int camera) {
  PresetNames names{};
  QStringList list;
  const bool loaded = LoadPresetNames(Line(), camera, &names) == 0;
  for (int i = 0; i < qznet::kPresetCount; ++i)
    list.append(loaded ? QString::fromLatin1(names[static_cast<std::size_t>(i)].data())
                       : QString());
  cameras_[camera].names = list;
}

void LinkLine::ReloadNames(int camera) {
  if (!cameras_.contains(camera))
    return;
  LoadNames(camera);
  emit CameraChanged(camera);
}

qznet::CameraInfo LinkLine::InfoOf(int camera, const Record& record) const {
  qznet::CameraInfo info;
  info.id = qznet::CameraId{Line(), camera};
  info.link = link_.Connected() ? record.link : qznet::LinkState::Offline;
  CameraState state = record.state;
  bool status = record.statusKnown, pan = record.panKnown, tilt = record.tiltKnown,
       zoom = record.zoomKnown;
  // The selected camera's state is the engine's, which the operator's
  // window keeps up to date; it wins once the engine has read the camera.
  if (camera == link_.SelectedCamera() && !link_.Camera().unitName.empty()) {
    const CameraState& engine = link_.Camera();
    state.unitName = engine.unitName;
    state.cameraPower = engine.cameraPower;
    state.localMode = engine.localMode;
    state.focusAuto = engine.focusAuto;
    status = true;
    const KnownSpeeds& read = link_.Engine().SpeedsRead();
    if (read[0]) {
      state.panSpeed = engine.panSpeed;
      pan = true;
    }
    if (read[1]) {
      state.tiltSpeed = engine.tiltSpeed;
      tilt = true;
    }
    if (read[2]) {
      state.zoomSpeed = engine.zoomSpeed;
      zoom = true;
    }
  }
  info.model = QString::fromStdString(state.unitName).trimmed();
  if (status) {
    info.power = state.cameraPower;
    info.local = state.localMode;
    info.focusAuto = state.focusAuto;
  }
  if (pan)
    info.panSpeed = state.panSpeed;
  if (tilt)
    info.tiltSpeed = state.tiltSpeed;
  if (zoom)
    info.zoomSpeed = state.zoomSpeed;
  info.presetsStored = record.presets.value_or(0);
  info.presetNames = record.names;
  info.moving = record.drives.Moving() || record.localMoving;
  return info;
}

QList<qznet::CameraInfo> LinkLine::Cameras() const {
  QList<qznet::CameraInfo> list;
  for (auto it = cameras_.begin(); it != cameras_.end(); ++it)
    list.append(InfoOf(it.key(), *it));
  return list;
}

void LinkLine::Execute(int camera, const qznet::CameraCommand& command, qznet::CommandDone done) {
  using K = qznet::CameraCommand::Kind;
  Job job;
  job.camera = camera;
  job.done = std::move(done);
  if (!cameras_.contains(camera) || camera < 1 || camera > qznet::kMaxCamera) {
    job.calls.clear();
    job.result = {
        CameraError::NotFound, QStringLiteral("no camera %1 on COM%2").arg(camera).arg(Line()), {}};
    QTimer::singleShot(0, this, [job] { job.done(job.result); });
    return;
  }
  Record& record = cameras_[camera];
  switch (command.kind) {
    case K::Move:
      job.calls = MoveCalls(camera, command.velocity, record.drives);
      break;
    case K::Stop:
      job.calls = StopCalls(camera, record.drives);
      job.stop = true;
      break;
    case K::Raw:
      job.raw = command.frame;
      break;
    case K::ReadState:
      job.read = true;
      [[fallthrough]];
    default:
      job.calls = CommandCalls(camera, command);
      // A preset or home move takes over from a drive of ours.
      if (command.kind == K::Home || command.kind == K::PresetRecall)
        record.drives.panTilt = false;
      break;
  }
  Enqueue(std::move(job));
}

CommandResult LinkLine::SetPresetName(int camera, int preset, const QString& name) {
  if (!cameras_.contains(camera))
    return {
        CameraError::NotFound, QStringLiteral("no camera %1 on COM%2").arg(camera).arg(Line()), {}};
  if (preset < 1 || preset > qznet::kPresetCount || !IsValidPresetName(name.toStdU16String()))
    return {CameraError::Parameter,
            QStringLiteral("a preset name is at most 15 printable ASCII characters"),
            {}};
  PresetNames names{};
  LoadPresetNames(Line(), camera, &names);
  std::array<char, 16>& slot = names[static_cast<std::size_t>(preset - 1)];
  slot.fill('\0');
  const QByteArray text = name.toLatin1();
  std::copy_n(text.constData(), std::min<qsizetype>(text.size(), 15), slot.begin());
  if (SavePresetNames(Line(), camera, names) != 0)
    return {CameraError::Failed, QStringLiteral("the preset names could not be stored"), {}};
  LoadNames(camera);
  emit CameraChanged(camera);
  return {};
}

void LinkLine::StopAll(std::function<void()> done) {
  auto left = std::make_shared<int>(1);
  auto one = [left, done] {
    if (--*left == 0 && done)
      done();
  };
  if (link_.Connected()) {
    for (auto it = cameras_.begin(); it != cameras_.end(); ++it) {
      if (!it->drives.Moving() && !it->localMoving)
        continue;
      ++*left;
      Job job;
      job.camera = it.key();
      job.calls = StopCalls(it.key(), it->drives);
      job.stop = true;
      job.done = [one](const CommandResult&) { one(); };
      Enqueue(std::move(job));
    }
  }
  // Done once everything queued so far (the service's own stops too) is out.
  if (running_ || !jobs_.empty())
    idleWaiters_.push_back(one);
  else
    QTimer::singleShot(0, this, one);
}

// --- the queue -------------------------------------------------------------------

void LinkLine::Enqueue(Job job) {
  if (job.stop && !jobs_.empty()) {
    // Ahead of everything that waits; the running job finishes first.
    const auto from = jobs_.begin() + (running_ ? 1 : 0);
    const auto at = std::find_if(from, jobs_.end(), [](const Job& j) { return !j.stop; });
    jobs_.insert(at, std::move(job));
  } else {
    jobs_.push_back(std::move(job));
  }
  // A stop goes out at once (its completion still comes later, from the
  // link), also when no event loop runs any more (the application ends).
  if (!running_ && jobs_.front().stop && link_.Connected()) {
    Pump();
    return;
  }
  // Anything else from the event loop: a failure is never reported inside
  // Execute.
  if (!running_) {
    std::weak_ptr<bool> alive = alive_;
    QTimer::singleShot(0, this, [this, alive] {
      if (!alive.expired())
        Pump();
    });
  }
}

void LinkLine::Pump() {
  if (running_ || jobs_.empty())
    return;
  running_ = true;
  Job& job = jobs_.front();
  if (!link_.Connected()) {
    Finish(
        CommandResult{CameraError::LineDown, QStringLiteral("COM%1 is not open").arg(Line()), {}});
    return;
  }
  if (job.raw) {
    const QByteArray& frame = *job.raw;
    rawAddress_ = frame.size() > 2 ? frame[2] - '0' : -1;
    if (!link_.SendRawCommand(Bytes(frame))) {
      rawAddress_ = -1;
      Finish(CommandResult{link_.Connected() ? CameraError::Failed : CameraError::LineDown,
                           QStringLiteral("the command could not be written"),
                           {}});
      return;
    }
    rawWait_.start(kRawAnswerMs);
    return;
  }
  if (job.calls.empty()) {
    Finish(job.result);
    return;
  }
  SendNext();
}

void LinkLine::SendNext() {
  const LibraryCall call = jobs_.front().calls[jobs_.front().next];
  std::weak_ptr<bool> alive = alive_;
  auto sent = std::make_shared<bool>(true);
  *sent = link_.SendCallAnswered(
      call, [this, alive, call, sent](bool executed, const QByteArray& answer) {
        if (!alive.expired())
          OnCallDone(call, *sent, executed, answer);
      });
}

void LinkLine::OnCallDone(const LibraryCall& call, bool sent, bool executed,
                          const QByteArray& answer) {
  if (!running_ || jobs_.empty())
    return;
  Job& job = jobs_.front();
  Record lineWide;  // the answer of a call to the whole line (address 0)
  Record& record = call.camera >= 1 ? RecordOf(call.camera) : lineWide;
  CameraError error = CameraError::None;
  QString detail;
  if (!answer.isEmpty()) {
    record.link = qznet::LinkState::Online;
    const AnswerFrame frame(Bytes(answer));
    const AnswerNews news = DecodeAnswer(call, frame, record.state);
    if (news.kind == AnswerNews::Kind::kCameraCount)
      cameraCount_ = news.value;
    if (news.kind == AnswerNews::Kind::kRegisteredPresets)
      record.presets = static_cast<quint16>(news.value);
    if (executed) {
      switch (call.function) {
        case F::kQzGetExtendedOperateStatus:
          record.statusKnown = true;
          break;
        case F::kQzGetMotorSpeed:
        case F::kQzSetMotorSpeed:
          (call.args[0] == 0 ? record.panKnown : record.tiltKnown) = true;
          break;
        case F::kQzGetZoomSpeed:
        case F::kQzSetZoomSpeed:
          record.zoomKnown = true;
          break;
        case F::kQzSetCmdMode:
          record.state.localMode = call.args[0] != 0;
          break;
        default:
          break;
      }
    } else {
      error = ErrorOfAnswer(answer);
      detail = DescribeAnswerError(answer);
    }
  } else if (!sent) {
    error = link_.Connected() ? CameraError::Failed : CameraError::LineDown;
    detail = link_.Connected() ? QStringLiteral("the command could not be written")
                               : QStringLiteral("COM%1 is not open").arg(Line());
  } else {
    error = link_.Connected() ? CameraError::NoAnswer : CameraError::LineDown;
    detail = error == CameraError::NoAnswer ? QStringLiteral("the camera did not answer in time")
                                            : QStringLiteral("COM%1 was closed").arg(Line());
    if (error == CameraError::NoAnswer && call.camera != 0)
      record.link = qznet::LinkState::NoAnswer;
  }
  if (!executed && job.discover && call.function == F::kQzSetCascade)
    error = CameraError::None;  // a single camera may refuse the cascade query
  if (error != CameraError::None) {
    if (job.result.error == CameraError::None)
      job.result = CommandResult{error, detail, answer};
    // What did not go out is not known to be set.
    record.drives.panSpeed.reset();
    record.drives.tiltSpeed.reset();
    record.drives.zoomSpeed.reset();
  } else if (!answer.isEmpty()) {
    job.result.answer = answer;
  }
  ++job.next;
  const bool goOn =
      job.next < job.calls.size() &&
      (error == CameraError::None || job.stop ||
       (job.read && error != CameraError::NoAnswer && error != CameraError::LineDown));
  if (goOn) {
    SendNext();
    return;
  }
  CommandResult result = job.result;
  // A read that got the camera's status counts as done even when a query was
  // refused (a QT-R7 lacks some).
  if (job.read && record.statusKnown && result.error != CameraError::NoAnswer &&
      result.error != CameraError::LineDown)
    result.error = CameraError::None;
  Finish(result);
}

void LinkLine::OnRawAnswer(const QByteArray& answer) {
  rawAddress_ = -1;
  rawWait_.stop();
  if (!running_ || jobs_.empty())
    return;
  const int camera = jobs_.front().camera;
  RecordOf(camera).link = qznet::LinkState::Online;
  // The raw answer is the client's to judge: it is returned as it came.
  Finish(CommandResult{CameraError::None, {}, answer});
}

void LinkLine::Finish(CommandResult result) {
  if (jobs_.empty()) {
    running_ = false;
    return;
  }
  Job job = std::move(jobs_.front());
  jobs_.pop_front();
  running_ = false;
  if (job.discover) {
    const int count = cameraCount_ > 0 ? cameraCount_ : 1;
    for (int camera = 1; camera <= count; ++camera) {
      RecordOf(camera);
      Job read;
      read.camera = camera;
      read.calls = StateReadCalls(camera);
      read.read = true;
      jobs_.push_back(std::move(read));
    }
    for (auto it = cameras_.begin(); it != cameras_.end();) {
      it = it.key() > count ? cameras_.erase(it) : std::next(it);
    }
    discovered_ = true;
    emit LineChanged();
  }
  if (job.done)
    job.done(result);
  if (job.camera != 0 && cameras_.contains(job.camera))
    emit CameraChanged(job.camera);
  Pump();
  if (!running_ && jobs_.empty() && !idleWaiters_.empty()) {
    std::vector<std::function<void()>> waiters;
    waiters.swap(idleWaiters_);
    for (const auto& waiter : waiters)
      waiter();
  }
}

// --- the link's news ---------------------------------------------------------------

void LinkLine::OnLinkChanged() {
  if (link_.Connected()) {
    if (!discovered_ && !idleWait_.isActive()) {
      idleChecks_ = 0;
      idleWait_.start();
    }
  } else {
    idleWait_.stop();
    discovered_ = false;
    for (Record& record : cameras_) {
      record.drives = {};
      record.localMoving = false;
    }
  }
  emit LineChanged();
  for (auto it = cameras_.begin(); it != cameras_.end(); ++it)
    emit CameraChanged(it.key());
}

void LinkLine::StartDiscovery() {
  Job job;
  job.discover = true;
  job.calls = {MakeCall(F::kQzSetCascade, 0, 1)};
  cameraCount_ = 0;
  Enqueue(std::move(job));
}

void LinkLine::OnNotification(int kind, const QByteArray& frame) {
  const NetworkNotice notice = ReadNetworkNotice(kind, frame);
  if (notice.camera == 0 || !cameras_.contains(notice.camera))
    return;
  Record& record = cameras_[notice.camera];
  record.link = qznet::LinkState::Online;
  if (notice.power) {
    record.state.cameraPower = *notice.power;
    record.statusKnown = true;
  }
  emit Notified(notice.camera, notice.kind, notice.text);
  emit CameraChanged(notice.camera);
}

void LinkLine::OnOperatorCommand(const LibraryCall& call) {
  const std::optional<bool> move = OperatorMove(call);
  if (!move || !cameras_.contains(call.camera))
    return;
  Record& record = cameras_[call.camera];
  if (record.localMoving == *move)
    return;
  record.localMoving = *move;
  emit LocalOperator(call.camera, *move);
  emit CameraChanged(call.camera);
}

}  // namespace qtr90x::net
