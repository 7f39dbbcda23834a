#include "ui/network/line_protocol.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "core/engine/notification_table.h"
#include "core/link/answer_decoding.h"

namespace qtr90x::net {

namespace {

using F = LibraryFunction;
using qznet::CameraError;

int Scale(double magnitude, int low, int high) {
  const double m = std::clamp(std::abs(magnitude), 0.0, 1.0);
  return low + static_cast<int>(std::lround(m * (high - low)));
}

std::span<const std::uint8_t> Bytes(const QByteArray& frame) {
  return {reinterpret_cast<const std::uint8_t*>(frame.constData()),
          static_cast<std::size_t>(frame.size())};
}

void SetSpeed(std::vector<LibraryCall>& calls, std::optional<int>& known, int speed,
              const LibraryCall& call) {
  if (known == speed)
    return;
  calls.push_back(call);
  known = speed;
}

}  // namespace

int PanTiltCode(double pan, double tilt) {
  const int p = pan > 0 ? 1 : pan < 0 ? 2 : 0;    // right, left
  const int t = tilt > 0 ? 1 : tilt < 0 ? 2 : 0;  // up, down
  static constexpr int kCodes[3][3] = {{0, 1, 2}, {3, 5, 6}, {4, 7, 8}};
  return kCodes[p][t];
}

std::vector<LibraryCall> MoveCalls(int camera, const qznet::MoveVelocity& velocity,
                                   DriveState& drives) {
  std::vector<LibraryCall> calls;
  const int code = PanTiltCode(velocity.pan, velocity.tilt);
  if (code != 0) {
    if (velocity.pan != 0) {
      const int speed = Scale(velocity.pan, kPanSpeedMin, kPanSpeedMax);
      SetSpeed(calls, drives.panSpeed, speed, MakeCall(F::kQzSetMotorSpeed, camera, 0, speed));
    }
    if (velocity.tilt != 0) {
      const int speed = Scale(velocity.tilt, kTiltSpeedMin, kTiltSpeedMax);
      SetSpeed(calls, drives.tiltSpeed, speed, MakeCall(F::kQzSetMotorSpeed, camera, 1, speed));
    }
  }
  // The direction always goes: the operator may have moved the camera since.
  if (code != 0 || drives.panTilt)
    calls.push_back(MakeCall(F::kQzSetPanTilt2, camera, code));
  drives.panTilt = code != 0;

  if (velocity.zoom != 0) {
    const int speed = Scale(velocity.zoom, 0, kZoomSpeedMax);
    SetSpeed(calls, drives.zoomSpeed, speed, MakeCall(F::kQzSetZoomSpeed, camera, speed));
    calls.push_back(MakeCall(F::kQzSetZooming, camera, velocity.zoom > 0 ? 2 : 1));
  } else if (drives.zoom) {
    calls.push_back(MakeCall(F::kQzSetZooming, camera, 0));
  }
  drives.zoom = velocity.zoom != 0;

  if (velocity.focus != 0)
    calls.push_back(MakeCall(F::kQzSetFocusMode, camera, velocity.focus > 0 ? 3 : 2));
  else if (drives.focus)
    calls.push_back(MakeCall(F::kQzSetFocusMode, camera, 1));
  drives.focus = velocity.focus != 0;
  return calls;
}

std::vector<LibraryCall> StopCalls(int camera, DriveState& drives) {
  // Pan and tilt always stop, whoever started them; zoom and focus only when
  // this side drives them (a focus stop leaves auto focus).
  std::vector<LibraryCall> calls{MakeCall(F::kQzSetPanTilt2, camera, 0)};
  if (drives.zoom)
    calls.push_back(MakeCall(F::kQzSetZooming, camera, 0));
  if (drives.focus)
    calls.push_back(MakeCall(F::kQzSetFocusMode, camera, 1));
  drives.panTilt = drives.zoom = drives.focus = false;
  return calls;
}

std::vector<LibraryCall> CommandCalls(int camera, const qznet::CameraCommand& command) {
  using K = qznet::CameraCommand::Kind;
  switch (command.kind) {
    case K::Home:
      return {MakeCall(F::kQzGotoHomePosition, camera)};
    case K::PresetRecall:
      return {MakeCall(F::kQzGoToPreset, camera, command.preset)};
    case K::PresetStore:
      return {MakeCall(F::kQzSetPresetMemory, camera, command.preset),
              MakeCall(F::kQzGetExtendPreset, camera)};
    case K::Power:
      return {MakeCall(F::kQzSetCameraPower, camera, command.on ? 1 : 0)};
    case K::Mode:
      return {MakeCall(F::kQzSetCmdMode, camera, command.on ? 1 : 0)};
    case K::ReadState:
      return StateReadCalls(camera);
    case K::Move:
    case K::Stop:
    case K::Raw:
      break;
  }
  return {};
}

std::vector<LibraryCall> StateReadCalls(int camera) {
  return {
      MakeCall(F::kQzGetUnitName, camera),      MakeCall(F::kQzGetExtendedOperateStatus, camera),
      MakeCall(F::kQzGetExtendPreset, camera),  MakeCall(F::kQzGetMotorSpeed, camera, 0),
      MakeCall(F::kQzGetMotorSpeed, camera, 1), MakeCall(F::kQzGetZoomSpeed, camera)};
}

CameraError ErrorOfAnswer(const QByteArray& answer) {
  if (answer.isEmpty())
    return CameraError::NoAnswer;
  const AnswerFrame frame(Bytes(answer));
  if (frame.Executed())
    return CameraError::None;
  switch (frame.CodeFirst()) {
    case '1':
      return CameraError::Busy;
    case '9':
      return CameraError::NotExecutable;
    case '3':  // an unknown command, or a preset never stored
    case '5':
      return CameraError::Parameter;
    default:
      return CameraError::Failed;
  }
}

QString DescribeAnswerError(const QByteArray& answer) {
  if (answer.isEmpty())
    return QStringLiteral("the camera did not answer");
  const AnswerFrame frame(Bytes(answer));
  const QString code = QString(QChar(frame.CodeFirst())) + QChar(frame.CodeSecond());
  switch (ErrorOfAnswer(answer)) {
    case CameraError::Busy:
      return QStringLiteral("the camera is busy (code %1)").arg(code);
    case CameraError::NotExecutable:
      return QStringLiteral("the camera cannot do this now (code %1)").arg(code);
    case CameraError::Parameter:
      return frame.CodeFirst() == '3'
                 ? QStringLiteral(
                       "the camera refused the command or the preset is not stored "
                       "(code %1)")
                       .arg(code)
                 : QStringLiteral("the camera refused a parameter (code %1)").arg(code);
    default:
      return QStringLiteral("the camera answered code %1").arg(code);
  }
}

NetworkNotice ReadNetworkNotice(int kind, const QByteArray& frame) {
  NetworkNotice notice;
  const Notice read = ReadNotice(kind, Bytes(frame));
  notice.camera = read.address >= 1 && read.address <= 9 ? read.address : 0;
  notice.text = QString::fromLatin1(frame.toHex(' ').toUpper());
  switch (read.action) {
    case NoticeAction::kPowerOn:
    case NoticeAction::kPowerOff:
      notice.kind = QStringLiteral("power");
      notice.power = read.action == NoticeAction::kPowerOn;
      notice.text = *notice.power ? QStringLiteral("power on") : QStringLiteral("power off");
      return notice;
    case NoticeAction::kPedestalEnd:
      notice.kind = QStringLiteral("pedestal");
      notice.text = QStringLiteral("pedestal initialisation ended");
      return notice;
    case NoticeAction::kOnePushAfEnd:
      notice.kind = QStringLiteral("focus");
      notice.text = QStringLiteral("one-push AF ended");
      return notice;
    case NoticeAction::kBacklightOff:
    case NoticeAction::kBacklightOn:
    case NoticeAction::kExposure:
      notice.kind = QStringLiteral("backlight");
      return notice;
    case NoticeAction::kSensorChanged:
      notice.kind = QStringLiteral("sensor");
      return notice;
    case NoticeAction::kNone:
      break;
  }
  static const char* const kKinds[] = {"notify", "remote", "remote", "global", "sensor"};
  notice.kind = QString::fromLatin1(kind >= 1 && kind <= 5 ? kKinds[kind - 1] : "notify");
  // Completions of a move: "FA 30 <a> 00 8A <n> EF" (preset), "... 57 EF" (home).
  if (kind == 1 && frame.size() >= 6 && frame[3] == '\0') {
    const auto command = static_cast<std::uint8_t>(frame[4]);
    if (command == 0x8A && frame.size() >= 7) {
      notice.kind = QStringLiteral("preset");
      notice.text = QStringLiteral("preset %1 reached").arg(QChar(frame[5]));
      notice.endsMove = true;
    } else if (command == 0x57) {
      notice.kind = QStringLiteral("home");
      notice.text = QStringLiteral("home reached");
      notice.endsMove = true;
    }
  }
  return notice;
}

std::optional<bool> OperatorMove(const LibraryCall& call) {
  const int code = call.args[0];
  switch (call.function) {
    case F::kQzSetPanTilt2:
    case F::kQzSetZooming:
      return code != 0;
    case F::kQzSetFocusMode:
      return code == 2 || code == 3;
    default:
      return std::nullopt;
  }
}

}  // namespace qtr90x::net
