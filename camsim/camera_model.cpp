#include "camsim/camera_model.h"

#include <algorithm>

namespace camsim {

namespace {

// Which part of the camera a command addresses; decides the power, busy and
// Local-mode refusals.
enum class Group : uint8_t {
  kLine,      // cascade, command mode, notifications, remote control: always allowed
  kSystem,    // status, power, clock, on-screen display, LED, inputs and outputs
  kPedestal,  // pan/tilt motors, angles, presets
  kLens,      // focus and zoom: need camera power
  kPicture,   // exposure, white balance, filters: need camera power
};

enum Flag : uint8_t {
  kQuery = 1,          // reads only; allowed in Local mode and while busy
  kR90xOnly = 2,       // the QT-R7 refuses it
  kNeedsPedestal = 4,  // moves the pedestal: needs an initialised pedestal
};

// Parameter width of a row whose operation reads its characters itself.
constexpr int kOwnFormat = -1;

constexpr int kPresetMax = kPresetCount;
constexpr int kSlowShutterMin = 128, kShutterMax = 25;
constexpr int kElectronicZoomMax = 16;
constexpr int kZoomSpeedMax = 7;
constexpr int kPanGearRatio = 100, kTiltGearRatio = 80;
constexpr int kSpeedLimits[] = {800, 622, 8, 8};  // pan max, tilt max, pan min, tilt min

Reply Done() {
  return {};
}
Reply Refused(Code code) {
  return {code, {}};
}
Reply HexReply(int value, int width) {
  return {kDone, Hex(static_cast<uint32_t>(value), width)};
}
Reply TextReply(std::string_view text) {
  return {kDone, std::string(text)};
}

// Pan or tilt position as four hex digits of its 16-bit two's complement.
std::string Angle(int value) {
  return Hex(static_cast<uint32_t>(value) & 0xFFFF, 4);
}

// Exactly `width` hex digits within [lo, hi].
std::optional<int> HexIn(std::string_view text, size_t width, int lo, int hi) {
  auto value = text.size() == width ? ParseHex(text) : std::nullopt;
  if (!value || static_cast<int64_t>(*value) < lo || static_cast<int64_t>(*value) > hi) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

}  // namespace

// clang-format off
enum class CameraModel::Op {
  // pedestal
  kSetPanSpeed, kSetTiltSpeed, kGetMotorSpeed, kPanTilt1, kPanTilt2, kQtr3, kHome,
  kPedestalInit, kGetLimitSpeed, kGetGearRatio, kGetLimitAngle, kSetAngle, kGetAngle,
  kSetAngle1, kGetAngle1, kSetPreset, kGotoPreset, kGetPresets,
  // lens
  kFocusMode, kSetFocus, kGetFocus, kOnePushAf, kGetFocusRange, kZooming, kSetZoom2, kGetZoom2,
  kSetZoom4, kGetZoom4, kSetZoomSpeed, kGetZoomSpeed, kGetZoomMax, kGetZoomRatio,
  kSetElectronicZoom, kGetElectronicZoom,
  // picture
  kBacklight, kExposure, kAeLock, kSetShutter, kGetShutter, kSetGain, kGetGain, kSetIris,
  kGetIris, kSetAeValue, kGetAeValue, kSetExposureOption, kGetExposureOption, kGetBacklight,
  kWhiteBalance, kSetWbGain, kGetWhiteBalance, kShutterMode, kFading, kCameraReset, kGetCcdSize,
  kGetCameraVersion, kIrCutFilter, kGetIrCutFilter, kNoiseReduction, kGetNoiseReduction,
  // system
  kPower, kGetStatus, kGetExtendedStatus, kGet4DigitStatus, kGet2DigitStatus, kGetUnitName,
  kGetRomVersion, kLed, kOnScreen, kSetTitle, kGetTitle, kSetDate, kGetDate, kSetTime, kGetTime,
  kGetRunTime, kSetDefault, kGetModelType, kAlarm, kGetAlarm, kSetDetectProp, kGetSensorInput,
  kGetDetectProp, kIrLight, kGetIrLight, kExternalLight, kGetExternalLight,
  // line
  kCascade, kCmdMode, kNotify, kGlobalNotify, kIrRemote, kRemotePass,
};
// clang-format on

// One command the camera knows: its command byte, the fixed sub-command
// characters after it, and what it does. The characters after the prefix are
// the parameter: none (width 0), `width` hex digits within [lo, hi], or a
// format the operation reads itself (kOwnFormat).
struct CameraModel::Row {
  uint8_t command;
  std::string_view prefix;
  Op op;
  Group group;
  uint8_t flags;
  int width;
  int lo;
  int hi;
};

// The command being executed.
struct CameraModel::Call {
  const Row& row;
  int value;              // the parameter, for rows with a hex parameter
  std::string_view text;  // the parameter characters, for kOwnFormat rows
  std::string echo;       // command byte and all its characters, for the notification
  TimePoint now;
  std::vector<Emission>& out;
};

namespace {

using Op = CameraModel::Op;
using G = Group;
constexpr uint8_t Q = kQuery, R9 = kR90xOnly, NP = kNeedsPedestal;
constexpr int kOwn = kOwnFormat;

const CameraModel::Row kRows[] = {
    {0x50, "", Op::kSetPanSpeed, G::kPedestal, 0, 3, 8, 800},
    {0x51, "", Op::kSetTiltSpeed, G::kPedestal, 0, 3, 8, 622},
    {0x52, "", Op::kGetMotorSpeed, G::kPedestal, Q, 1, 0, 1},
    {0x53, "", Op::kPanTilt1, G::kPedestal, NP, 1, 0, 4},
    {0x54, "", Op::kQtr3, G::kPedestal, Q, kOwn, 0, 0},
    {0x55, "", Op::kQtr3, G::kPedestal, Q, kOwn, 0, 0},
    {0x56, "", Op::kQtr3, G::kPedestal, Q, kOwn, 0, 0},
    {0x57, "", Op::kHome, G::kPedestal, NP, 0, 0, 0},
    {0x58, "", Op::kPedestalInit, G::kPedestal, 0, 1, 0, 1},
    {0x59, "", Op::kGetLimitSpeed, G::kPedestal, Q, 1, 0, 3},
    {0x5A, "", Op::kQtr3, G::kPedestal, Q, kOwn, 0, 0},
    {0x5B, "", Op::kGetGearRatio, G::kPedestal, Q, 1, 0, 1},
    {0x5C, "", Op::kGetLimitAngle, G::kPedestal, Q, 1, 0, 3},
    {0x60, "", Op::kPanTilt2, G::kPedestal, NP, 2, 0x00, 0x22},
    {0x61, "", Op::kQtr3, G::kPedestal, Q, kOwn, 0, 0},
    {0x62, "", Op::kSetAngle, G::kPedestal, NP, kOwn, 0, 0},
    {0x63, "", Op::kGetAngle, G::kPedestal, Q, 0, 0, 0},
    {0x64, "", Op::kSetAngle1, G::kPedestal, NP, kOwn, 0, 0},
    {0x65, "", Op::kGetAngle1, G::kPedestal, Q, 1, 0, 1},
    {0x89, "", Op::kSetPreset, G::kPedestal, NP, 1, 1, kPresetMax},
    {0x8A, "", Op::kGotoPreset, G::kPedestal, NP, 1, 1, kPresetMax},
    {0x8B, "", Op::kGetPresets, G::kPedestal, Q, 0, 0, 0},
    {0x8B, "0", Op::kGetPresets, G::kPedestal, Q, 0, 0, 0},

    {0xA1, "", Op::kFocusMode, G::kLens, 0, 1, 0, 3},
    {0xA2, "", Op::kZooming, G::kLens, 0, 1, 0, 4},
    {0xA3, "", Op::kSetZoom2, G::kLens, 0, 2, 0, 0xFF},
    {0xA4, "", Op::kGetZoom2, G::kLens, Q, 0, 0, 0},
    {0xAB, "", Op::kGetZoomRatio, G::kLens, Q, 0, 0, 0},
    {0xB0, "", Op::kSetFocus, G::kLens, 0, 4, 0, 0xFFFF},
    {0xB1, "0", Op::kGetFocus, G::kLens, Q, 0, 0, 0},
    {0xB1, "1", Op::kOnePushAf, G::kLens, 0, 0, 0, 0},
    {0xB1, "2", Op::kGetFocusRange, G::kLens, Q, 0, 0, 0},
    {0xB3, "", Op::kSetZoom4, G::kLens, 0, 4, 0, 0xFFFF},
    {0xB4, "0", Op::kGetZoom4, G::kLens, Q, 0, 0, 0},
    {0xB4, "1", Op::kSetZoomSpeed, G::kLens, 0, 1, 0, kZoomSpeedMax},
    {0xB4, "2", Op::kGetZoomSpeed, G::kLens, Q, 0, 0, 0},
    {0xB4, "3", Op::kGetZoomMax, G::kLens, Q, 0, 0, 0},
    {0xB7, "", Op::kSetElectronicZoom, G::kLens, R9, kOwn, 0, 0},
    {0xB8, "", Op::kGetElectronicZoom, G::kLens, Q | R9, 0, 0, 0},

    {0xA5, "", Op::kBacklight, G::kPicture, 0, 1, 0, 1},
    {0xA5, "2", Op::kExposure, G::kPicture, 0, 0, 0, 0},
    {0xA5, "3", Op::kExposure, G::kPicture, 0, 0, 0, 0},
    {0xA5, "4", Op::kAeLock, G::kPicture, 0, 1, 0, 1},
    {0xA5, "5", Op::kSetShutter, G::kPicture, 0, 2, 0, 131},
    {0xA5, "6", Op::kGetShutter, G::kPicture, Q, 0, 0, 0},
    {0xA5, "7", Op::kSetGain, G::kPicture, 0, 2, 0, 0xFF},
    {0xA5, "8", Op::kGetGain, G::kPicture, Q, 0, 0, 0},
    {0xA5, "9", Op::kSetIris, G::kPicture, 0, 2, 2, 16},
    {0xA5, ":", Op::kGetIris, G::kPicture, Q, 0, 0, 0},
    {0xA5, ";", Op::kSetAeValue, G::kPicture, 0, 2, 16, 0xFF},
    {0xA5, "<", Op::kGetAeValue, G::kPicture, Q, 0, 0, 0},
    {0xA5, "=", Op::kSetExposureOption, G::kPicture, 0, 1, 0, 0xF},
    {0xA5, ">", Op::kGetExposureOption, G::kPicture, Q, 0, 0, 0},
    {0xA5, "?", Op::kGetBacklight, G::kPicture, Q | R9, 0, 0, 0},
    {0xA7, "0", Op::kWhiteBalance, G::kPicture, 0, 0, 0, 0},
    {0xA7, "1", Op::kWhiteBalance, G::kPicture, 0, 0, 0, 0},
    {0xA7, "2", Op::kWhiteBalance, G::kPicture, 0, 0, 0, 0},
    {0xA7, "3", Op::kWhiteBalance, G::kPicture, 0, 0, 0, 0},
    {0xA7, "4", Op::kSetWbGain, G::kPicture, 0, 2, 0, 0xFF},
    {0xA7, "5", Op::kGetWhiteBalance, G::kPicture, Q, 0, 0, 0},
    {0xA8, "", Op::kShutterMode, G::kPicture, 0, 1, 0, 2},
    {0xA9, "", Op::kFading, G::kPicture, 0, 1, 0, 3},
    {0xAA, "", Op::kCameraReset, G::kPicture, 0, 0, 0, 0},
    {0xAC, "", Op::kGetCcdSize, G::kPicture, Q, 0, 0, 0},
    {0xBE, "", Op::kGetCameraVersion, G::kPicture, Q, 1, 0, 1},
    {0xB5, "", Op::kIrCutFilter, G::kPicture, R9, 1, 0, 1},
    {0xB6, "", Op::kGetIrCutFilter, G::kPicture, Q | R9, 0, 0, 0},
    {0xB9, "", Op::kNoiseReduction, G::kPicture, R9, 1, 0, 2},
    {0xBA, "", Op::kGetNoiseReduction, G::kPicture, Q | R9, 0, 0, 0},

    {0xA0, "", Op::kPower, G::kSystem, 0, 1, 0, 1},
    {0x86, "", Op::kGetStatus, G::kSystem, Q, 0, 0, 0},
    {0x86, "0", Op::kGetExtendedStatus, G::kSystem, Q, 0, 0, 0},
    {0x86, "1", Op::kGet4DigitStatus, G::kSystem, Q | R9, 0, 0, 0},
    {0x86, "2", Op::kGet2DigitStatus, G::kSystem, Q | R9, 0, 0, 0},
    {0x87, "", Op::kGetUnitName, G::kSystem, Q, 0, 0, 0},
    {0x88, "", Op::kGetRomVersion, G::kSystem, Q, 0, 0, 0},
    {0x8E, "", Op::kLed, G::kSystem, 0, 1, 0, 4},
    {0x91, "0", Op::kOnScreen, G::kSystem, 0, 1, 0, 9},
    {0x91, "1", Op::kSetTitle, G::kSystem, 0, kOwn, 0, 0},
    {0x91, "2", Op::kGetTitle, G::kSystem, Q, kOwn, 0, 0},
    {0x91, "3", Op::kSetDate, G::kSystem, 0, kOwn, 0, 0},
    {0x91, "4", Op::kGetDate, G::kSystem, Q, 0, 0, 0},
    {0x91, "5", Op::kSetTime, G::kSystem, 0, kOwn, 0, 0},
    {0x91, "6", Op::kGetTime, G::kSystem, Q, 0, 0, 0},
    {0x92, "", Op::kGetRunTime, G::kSystem, Q, 1, 0, 1},
    {0x93, "0", Op::kSetDefault, G::kSystem, 0, 0, 0, 0},
    {0x9A, "", Op::kGetModelType, G::kSystem, Q, 1, 0, 1},
    {0x72, "", Op::kAlarm, G::kSystem, R9, 1, 0, 1},
    {0x73, "", Op::kGetAlarm, G::kSystem, Q | R9, 0, 0, 0},
    {0x74, "", Op::kSetDetectProp, G::kSystem, R9, 2, 0, 0xFF},
    {0x75, "", Op::kGetSensorInput, G::kSystem, Q | R9, 0, 0, 0},
    {0x75, "0", Op::kGetDetectProp, G::kSystem, Q | R9, 0, 0, 0},
    {0x76, "", Op::kIrLight, G::kSystem, R9, 1, 0, 6},
    {0x77, "", Op::kGetIrLight, G::kSystem, Q | R9, 0, 0, 0},
    {0x78, "", Op::kExternalLight, G::kSystem, R9, 1, 0, 1},
    {0x79, "", Op::kGetExternalLight, G::kSystem, Q | R9, 0, 0, 0},

    {0x8F, "", Op::kCascade, G::kLine, 0, 1, 0, 1},
    {0x90, "", Op::kCmdMode, G::kLine, 0, 1, 0, 1},
    {0x94, "", Op::kNotify, G::kLine, 0, 1, 0, 1},
    {0x95, "", Op::kGlobalNotify, G::kLine, 0, 1, 0, 1},
    {0x80, "", Op::kIrRemote, G::kLine, 0, 1, 0, 1},
    {0x8D, "", Op::kRemotePass, G::kLine, 0, 1, 0, 1},
};

// The row of the command byte whose prefix is the longest one that starts
// args; *known tells whether the command byte exists at all.
const CameraModel::Row* FindRow(uint8_t command, std::string_view args, bool* known) {
  const CameraModel::Row* best = nullptr;
  *known = false;
  for (const CameraModel::Row& row : kRows) {
    if (row.command != command) {
      continue;
    }
    *known = true;
    if (args.starts_with(row.prefix) && (!best || row.prefix.size() > best->prefix.size())) {
      best = &row;
    }
  }
  return best;
}

}  // namespace

SystemSettings::SystemSettings() {
  for (auto& row : title) {
    row.fill(' ');
  }
}

CameraModel::CameraModel(int address, const ModelTraits& model, const CameraTimings& timings,
                         bool powerOn, bool pedestalReady, TimePoint now)
    : address_(address),
      model_(model),
      timings_(timings),
      start_(now),
      power_(powerOn),
      pedestalReady_(pedestalReady),
      pan_(model.panMin, model.panMax, 0),
      tilt_(model.tiltMin, model.tiltMax, 0),
      zoom_(0, model.zoomMax, 0),
      focus_(model.focusMin, model.focusMax, (model.focusMin + model.focusMax) / 2),
      clock_(now) {}

// Refusals in this order: unknown command byte (30), the model lacks the
// command, Local mode, camera power off (90), busy (10), pedestal not
// initialised (90), parameter (50); then what the operation itself refuses.
Reply CameraModel::Handle(uint8_t command, std::string_view args, TimePoint now,
                          std::vector<Emission>& out) {
  bool known = false;
  const Row* row = FindRow(command, args, &known);
  if (!known) {
    return Refused(kNotExecuted);
  }
  if (!row) {
    return Refused(kBadParameter);
  }
  if (Code code = Gate(*row); code != kDone) {
    return Refused(code);
  }
  std::string_view text = args.substr(row->prefix.size());
  int value = 0;
  if (row->width == 0 && !text.empty()) {
    return Refused(kBadParameter);
  }
  if (row->width > 0) {
    auto parsed = HexIn(text, static_cast<size_t>(row->width), row->lo, row->hi);
    if (!parsed) {
      return Refused(kBadParameter);
    }
    value = *parsed;
  }
  std::string echo(1, static_cast<char>(command));
  echo += args;
  Call call{*row, value, text, std::move(echo), now, out};
  switch (row->group) {
    case Group::kPedestal:
      return ExecutePedestal(call);
    case Group::kLens:
      return ExecuteLens(call);
    case Group::kPicture:
      return ExecutePicture(call);
    case Group::kSystem:
      return ExecuteSystem(call);
    case Group::kLine:
      return ExecuteLine(call);
  }
  return Refused(kNotExecuted);
}

Code CameraModel::Gate(const Row& row) const {
  bool query = (row.flags & kQuery) != 0;
  if ((row.flags & kR90xOnly) && !model_.r90xFeatures) {
    return kBadMode;
  }
  if (localMode_ && !query && row.group != Group::kLine) {
    return kBadMode;
  }
  if (!power_ && (row.group == Group::kLens || row.group == Group::kPicture)) {
    return kBadMode;
  }
  if (!query && row.group != Group::kLine) {
    bool pedestalBusy = IsPending(Action::kPedestal) || IsPending(Action::kMove);
    if (IsPending(Action::kPower) || (row.group == Group::kPedestal && pedestalBusy) ||
        (row.group == Group::kLens && IsPending(Action::kFocus))) {
      return kBusy;
    }
  }
  if ((row.flags & kNeedsPedestal) && !pedestalReady_) {
    return kBadMode;
  }
  return kDone;
}

Reply CameraModel::ExecutePedestal(const Call& call) {
  int v = call.value;
  TimePoint now = call.now;
  switch (call.row.op) {
    case Op::kSetPanSpeed:
      system_.panSpeed = v;
      Redrive(pan_, v, now);
      return Done();
    case Op::kSetTiltSpeed:
      system_.tiltSpeed = v;
      Redrive(tilt_, v, now);
      return Done();
    case Op::kGetMotorSpeed:
      return HexReply(v == 0 ? system_.panSpeed : system_.tiltSpeed, 3);
    case Op::kPanTilt1:
      // 0 stop, 1 right, 2 left, 3 up, 4 down; the other axis stops.
      Drive(pan_, v == 1 ? 1 : v == 2 ? 2 : 0, system_.panSpeed, now);
      Drive(tilt_, v == 3 ? 1 : v == 4 ? 2 : 0, system_.tiltSpeed, now);
      return Done();
    case Op::kPanTilt2:
      // Pan digit 0 stop, 1 right, 2 left; tilt digit 0 stop, 1 up, 2 down.
      if ((v >> 4) > 2 || (v & 0xF) > 2) {
        return Refused(kBadParameter);
      }
      Drive(pan_, v >> 4, system_.panSpeed, now);
      Drive(tilt_, v & 0xF, system_.tiltSpeed, now);
      return Done();
    case Op::kQtr3:
      // Commands of a pedestal type none of the simulated models carries.
      return Refused(kBadMode);
    case Op::kHome:
      pan_.MoveOver(0, timings_.moveDelay, now);
      tilt_.MoveOver(0, timings_.moveDelay, now);
      Start(Action::kMove, timings_.moveDelay, call.echo, now);
      return Done();
    case Op::kPedestalInit:
      pedestalReady_ = false;
      pan_.MoveOver(0, timings_.pedestalDelay, now);
      tilt_.MoveOver(0, timings_.pedestalDelay, now);
      Start(Action::kPedestal, timings_.pedestalDelay, call.echo, now);
      return Done();
    case Op::kGetLimitSpeed:
      return HexReply(kSpeedLimits[v], 3);
    case Op::kGetGearRatio:
      return HexReply(v == 0 ? kPanGearRatio : kTiltGearRatio, 4);
    case Op::kGetLimitAngle: {
      const int limits[] = {model_.panMin, model_.panMax, model_.tiltMin, model_.tiltMax};
      return TextReply(Angle(limits[v]));
    }
    case Op::kSetAngle:
      return MoveToAngles(call.text, false, now);
    case Op::kSetAngle1:
      // First digit 0: absolute, 1: relative to the current position.
      if (call.text.empty() || (call.text[0] != '0' && call.text[0] != '1')) {
        return Refused(kBadParameter);
      }
      return MoveToAngles(call.text.substr(1), call.text[0] == '1', now);
    case Op::kGetAngle:
      return TextReply(Angle(pan_.Position(now)) + Angle(tilt_.Position(now)));
    case Op::kGetAngle1:
      // 0 the current position, 1 the target of the running move.
      return v == 0 ? TextReply(Angle(pan_.Position(now)) + Angle(tilt_.Position(now)))
                    : TextReply(Angle(pan_.Target()) + Angle(tilt_.Target()));
    case Op::kSetPreset:
      presets_[v - 1] = {pan_.Position(now), tilt_.Position(now), zoom_.Position(now),
                         focus_.Position(now)};
      presetMask_ |= 1u << (v - 1);
      return Done();
    case Op::kGotoPreset: {
      if (!(presetMask_ & (1u << (v - 1)))) {
        return Refused(kNotExecuted);
      }
      const Preset& preset = presets_[v - 1];
      pan_.MoveOver(preset.pan, timings_.moveDelay, now);
      tilt_.MoveOver(preset.tilt, timings_.moveDelay, now);
      if (power_) {
        zoom_.MoveOver(preset.zoom, timings_.moveDelay, now);
        focus_.MoveOver(preset.focus, timings_.moveDelay, now);
      }
      Start(Action::kMove, timings_.moveDelay, call.echo, now);
      return Done();
    }
    case Op::kGetPresets:
      return HexReply(static_cast<int>(presetMask_), 3);
    default:
      return Refused(kNotExecuted);
  }
}

// Eight hex digits: pan and tilt as 16-bit two's complement.
Reply CameraModel::MoveToAngles(std::string_view params, bool relative, TimePoint now) {
  auto pan = params.size() == 8 ? ParseHex16(params.substr(0, 4)) : std::nullopt;
  auto tilt = params.size() == 8 ? ParseHex16(params.substr(4, 4)) : std::nullopt;
  if (!pan || !tilt) {
    return Refused(kBadParameter);
  }
  int panTarget = relative ? pan_.Position(now) + *pan : *pan;
  int tiltTarget = relative ? tilt_.Position(now) + *tilt : *tilt;
  if (panTarget < model_.panMin || panTarget > model_.panMax || tiltTarget < model_.tiltMin ||
      tiltTarget > model_.tiltMax) {
    return Refused(kBadParameter);
  }
  MoveAxis(pan_, panTarget, system_.panSpeed, now);
  MoveAxis(tilt_, tiltTarget, system_.tiltSpeed, now);
  return Done();
}

Reply CameraModel::ExecuteLens(const Call& call) {
  int v = call.value;
  TimePoint now = call.now;
  switch (call.row.op) {
    case Op::kFocusMode:
      // 0 auto, 1 manual (stops a focus drive), 2 drive near, 3 drive far.
      picture_.focusManual = v != 0;
      Drive(focus_, v == 3 ? 1 : v == 2 ? 2 : 0, FocusRate(), now);
      return Done();
    case Op::kSetFocus:
      if (v < model_.focusMin || v > model_.focusMax) {
        return Refused(kBadParameter);
      }
      if (!picture_.focusManual) {
        return Refused(kBadMode);
      }
      MoveAxis(focus_, v, FocusRate(), now);
      return Done();
    case Op::kGetFocus:
      return HexReply(focus_.Position(now), 4);
    case Op::kOnePushAf:
      focus_.Stop(now);
      Start(Action::kFocus, timings_.moveDelay, call.echo, now);
      return Done();
    case Op::kGetFocusRange:
      return TextReply(Hex(model_.focusMin, 4) + Hex(model_.focusMax, 4));
    case Op::kZooming: {
      // 0 stop, 1 wide, 2 tele at the zoom speed; 3 wide, 4 tele at full speed.
      int rate = ZoomRate(v >= 3 ? kZoomSpeedMax : system_.zoomSpeed);
      Drive(zoom_, v == 0 ? 0 : (v % 2 == 0 ? 1 : 2), rate, now);
      return Done();
    }
    case Op::kSetZoom2:
      // The two-digit position spans the same range as the four-digit one.
      MoveAxis(zoom_, (v * model_.zoomMax + 0x7F) / 0xFF, ZoomRate(system_.zoomSpeed), now);
      return Done();
    case Op::kGetZoom2:
      return HexReply((zoom_.Position(now) * 0xFF + model_.zoomMax / 2) / model_.zoomMax, 2);
    case Op::kSetZoom4:
      if (v > model_.zoomMax) {
        return Refused(kBadParameter);
      }
      MoveAxis(zoom_, v, ZoomRate(system_.zoomSpeed), now);
      return Done();
    case Op::kGetZoom4:
      return HexReply(zoom_.Position(now), 4);
    case Op::kSetZoomSpeed:
      system_.zoomSpeed = v;
      Redrive(zoom_, ZoomRate(v), now);
      return Done();
    case Op::kGetZoomSpeed:
      return HexReply(system_.zoomSpeed, 1);
    case Op::kGetZoomMax:
      return HexReply(model_.zoomMax, 4);
    case Op::kGetZoomRatio:
      // The optical magnification in tenths.
      return HexReply(10 + (model_.zoomRatioMax10 - 10) * zoom_.Position(now) / model_.zoomMax, 4);
    case Op::kSetElectronicZoom: {
      // Two decimal digits, 1 (off) to 16.
      auto factor = call.text.size() == 2 ? ParseDec(call.text) : std::nullopt;
      if (!factor || *factor < 1 || *factor > kElectronicZoomMax) {
        return Refused(kBadParameter);
      }
      picture_.electronicZoom = static_cast<int>(*factor);
      return Done();
    }
    case Op::kGetElectronicZoom:
      return TextReply(Dec(static_cast<unsigned>(picture_.electronicZoom), 2));
    default:
      return Refused(kNotExecuted);
  }
}

Reply CameraModel::ExecutePicture(const Call& call) {
  int v = call.value;
  PictureSettings& s = picture_;
  switch (call.row.op) {
    case Op::kBacklight:
      s.backlight = v;
      Notify(call.now, call.echo, call.out);
      return Done();
    case Op::kExposure:
      s.exposureManual = call.row.prefix == "3";
      return Done();
    case Op::kAeLock:
      s.aeLock = v == 1;
      return Done();
    case Op::kSetShutter:
    case Op::kSetGain:
    case Op::kSetIris:
      if (call.row.op == Op::kSetShutter && v > kShutterMax && v < kSlowShutterMin) {
        return Refused(kBadParameter);
      }
      if (!s.exposureManual) {
        return Refused(kBadMode);
      }
      (call.row.op == Op::kSetShutter ? s.shutter
       : call.row.op == Op::kSetGain  ? s.agcGain
                                      : s.iris) = v;
      return Done();
    case Op::kSetAeValue:
      if (s.exposureManual) {
        return Refused(kBadMode);
      }
      s.aeValue = v;
      return Done();
    case Op::kGetShutter:
      return HexReply(s.shutter, 2);
    case Op::kGetGain:
      return HexReply(s.agcGain, 2);
    case Op::kGetIris:
      return HexReply(s.iris, 2);
    case Op::kGetAeValue:
      return HexReply(s.aeValue, 2);
    case Op::kSetExposureOption:
      s.exposureOption = v;
      return Done();
    case Op::kGetExposureOption:
      return HexReply(s.exposureOption, 1);
    case Op::kGetBacklight:
      return HexReply(s.backlight, 1);
    case Op::kWhiteBalance:
      s.wbMode = call.row.prefix[0] - '0';
      return Done();
    case Op::kSetWbGain:
      s.wbGain = v;
      return Done();
    case Op::kGetWhiteBalance:
      return TextReply(Hex(static_cast<uint32_t>(s.wbMode), 1) +
                       Hex(static_cast<uint32_t>(s.wbGain), 2));
    case Op::kShutterMode:
      s.shutterMode = v;
      return Done();
    case Op::kFading:
      s.fading = v;
      return Done();
    case Op::kCameraReset:
      ResetPicture();
      return Done();
    case Op::kGetCcdSize:
      return TextReply(model_.ccdSize);
    case Op::kGetCameraVersion:
      return TextReply(v == 0 ? model_.cameraVersion : model_.cameraSubVersion);
    case Op::kIrCutFilter:
      system_.irCutFilter = v;
      return Done();
    case Op::kGetIrCutFilter:
      return HexReply(system_.irCutFilter, 1);
    case Op::kNoiseReduction:
      s.noiseReduction = v;
      return Done();
    case Op::kGetNoiseReduction:
      return HexReply(s.noiseReduction, 1);
    default:
      return Refused(kNotExecuted);
  }
}

Reply CameraModel::ExecuteSystem(const Call& call) {
  int v = call.value;
  std::string_view text = call.text;
  TimePoint now = call.now;
  SystemSettings& s = system_;
  switch (call.row.op) {
    case Op::kPower:
      if ((v == 1) == power_) {
        // Already in that state: the completion follows the answer at once.
        Notify(now, call.echo, call.out);
      } else {
        Start(Action::kPower, timings_.powerDelay, call.echo, now, v == 1);
      }
      return Done();
    case Op::kGetStatus:
      return HexReply(static_cast<int>(ExtendedStatus() & 0xFFFF), 4);
    case Op::kGetExtendedStatus:
      return HexReply(static_cast<int>(ExtendedStatus()), 5);
    case Op::kGet4DigitStatus:
      return HexReply(static_cast<int>(FourDigitStatus()), 4);
    case Op::kGet2DigitStatus:
      return HexReply(static_cast<int>(TwoDigitStatus()), 2);
    case Op::kGetUnitName:
      return TextReply(model_.unitName);
    case Op::kGetRomVersion:
      return TextReply(model_.romVersion);
    case Op::kLed:
      s.led = v;
      return Done();
    case Op::kOnScreen:
      // 0/1 display off/on, 2/3 second display off/on, 4-6 time and 7-9 date format.
      if (v <= 1) {
        s.onScreen = v == 1;
      } else if (v <= 3) {
        s.secondDisplay = v == 3;
      } else {
        (v <= 6 ? s.timeDisplay : s.dateDisplay) = v;
      }
      return Done();
    case Op::kSetTitle:
    case Op::kGetTitle: {
      // Column (2 hex digits), row (1 hex digit), then the character code to set.
      bool setting = call.row.op == Op::kSetTitle;
      auto column = HexIn(text.substr(0, 2), 2, 0, kTitleColumns - 1);
      auto row = HexIn(text.substr(std::min<size_t>(2, text.size()), 1), 1, 0, kTitleRows - 1);
      auto code = HexIn(text.substr(std::min<size_t>(3, text.size())), setting ? 2 : 0, 0, 0xFF);
      if (text.size() != (setting ? 5u : 3u) || !column || !row || (setting && !code)) {
        return Refused(kBadParameter);
      }
      uint8_t& cell = s.title[static_cast<size_t>(*row)][static_cast<size_t>(*column)];
      if (!setting) {
        return HexReply(cell, 2);
      }
      cell = static_cast<uint8_t>(*code);
      return Done();
    }
    case Op::kSetDate:
    case Op::kSetTime: {
      // Three two-digit decimal numbers.
      std::optional<uint32_t> parts[3];
      for (size_t i = 0; i < 3 && text.size() == 6; ++i) {
        parts[i] = ParseDec(text.substr(i * 2, 2));
      }
      if (!parts[0] || !parts[1] || !parts[2]) {
        return Refused(kBadParameter);
      }
      int a = static_cast<int>(*parts[0]), b = static_cast<int>(*parts[1]),
          c = static_cast<int>(*parts[2]);
      bool ok =
          call.row.op == Op::kSetDate ? clock_.SetDate(a, b, c, now) : clock_.SetTime(a, b, c, now);
      return ok ? Done() : Refused(kBadParameter);
    }
    case Op::kGetDate:
      return TextReply(clock_.DateText(now));
    case Op::kGetTime:
      return TextReply(clock_.TimeText(now));
    case Op::kGetRunTime: {
      // Hours of operation of the camera (0) or the pedestal (1), both counted
      // from the simulator's start.
      auto hours = std::chrono::duration_cast<std::chrono::hours>(now - start_).count();
      return HexReply(static_cast<int>(std::clamp<int64_t>(hours, 0, 0xFFFF)), 4);
    }
    case Op::kSetDefault:
      system_ = SystemSettings();
      ResetPicture();
      return Done();
    case Op::kGetModelType:
      return HexReply(v == 0 ? model_.pedestalType : model_.cameraType, 2);
    case Op::kAlarm:
      s.alarmOutput = v == 1;
      return Done();
    case Op::kGetAlarm:
      return HexReply(s.alarmOutput, 1);
    case Op::kSetDetectProp:
      s.detectProp = v;
      return Done();
    case Op::kGetSensorInput:
      return HexReply(sensorInput_, 2);
    case Op::kGetDetectProp:
      return HexReply(s.detectProp, 2);
    case Op::kIrLight:
      s.irLight = v;
      return Done();
    case Op::kGetIrLight:
      return HexReply(s.irLight, 1);
    case Op::kExternalLight:
      s.externalLight = v == 1;
      return Done();
    case Op::kGetExternalLight:
      return HexReply(s.externalLight, 1);
    default:
      return Refused(kNotExecuted);
  }
}

Reply CameraModel::ExecuteLine(const Call& call) {
  bool on = call.value == 1;
  switch (call.row.op) {
    case Op::kCascade:
      // The cascade set-up concerns the line; a single camera just accepts it.
      return Done();
    case Op::kCmdMode:
      localMode_ = on;  // 0 Host, 1 Local
      return Done();
    case Op::kNotify:
      notify_ = on;
      return Done();
    case Op::kGlobalNotify:
      globalNotify_ = on;
      return Done();
    case Op::kIrRemote:
      irRemote_ = on;
      return Done();
    case Op::kRemotePass:
      remotePass_ = on;
      return Done();
    default:
      return Refused(kNotExecuted);
  }
}

void CameraModel::Drive(Axis& axis, int direction, int rate, TimePoint now) {
  if (direction == 0) {
    axis.Stop(now);
  } else {
    axis.MoveTo(direction == 1 ? axis.Max() : axis.Min(), rate, now);
  }
}

// A new speed takes effect on a drive that is under way: it goes on from
// where it is at the new rate.
void CameraModel::Redrive(Axis& axis, int rate, TimePoint now) {
  if (axis.Moving(now) && (axis.Target() == axis.Max() || axis.Target() == axis.Min())) {
    Drive(axis, axis.Target() == axis.Max() ? 1 : 2, rate, now);
  }
}

void CameraModel::MoveAxis(Axis& axis, int target, int rate, TimePoint now) {
  if (timings_.instantMotion) {
    axis.Set(target);
  } else {
    axis.MoveTo(target, rate, now);
  }
}

// Full zoom travel takes 8 s at speed 0 and 1 s at speed 7.
int CameraModel::ZoomRate(int speed) const {
  return model_.zoomMax * (speed + 1) / 8;
}

// Full focus travel takes 4 s.
int CameraModel::FocusRate() const {
  return (model_.focusMax - model_.focusMin) / 4;
}

void CameraModel::Start(Action action, Duration delay, std::string echo, TimePoint now,
                        bool powerOn) {
  std::erase_if(pending_, [action](const Pending& p) { return p.action == action; });
  pending_.push_back({action, now + delay, powerOn, std::move(echo)});
}

bool CameraModel::IsPending(Action action) const {
  return std::any_of(pending_.begin(), pending_.end(),
                     [action](const Pending& p) { return p.action == action; });
}

void CameraModel::Notify(TimePoint ready, std::string_view echo, std::vector<Emission>& out) const {
  if (!notify_) {
    return;
  }
  std::string body(1, '\0');
  body += echo;
  out.push_back({ready, BuildFrame(kNotifyStart, address_, body)});
}

void CameraModel::Settle(TimePoint now, std::vector<Emission>& out) {
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const Pending& a, const Pending& b) { return a.due < b.due; });
  while (!pending_.empty() && pending_.front().due <= now) {
    Pending done = std::move(pending_.front());
    pending_.erase(pending_.begin());
    switch (done.action) {
      case Action::kPower:
        power_ = done.powerOn;
        if (!power_) {
          zoom_.Stop(done.due);
          focus_.Stop(done.due);
        }
        break;
      case Action::kPedestal:
        pedestalReady_ = true;
        pan_.Set(0);
        tilt_.Set(0);
        break;
      case Action::kMove:
        break;  // the axes arrive by themselves
      case Action::kFocus:
        // The lens stays where autofocus put it, in manual focus.
        picture_.focusManual = true;
        focus_.Set((model_.focusMin + model_.focusMax) / 2 + zoom_.Position(done.due) / 4);
        break;
    }
    Notify(done.due, done.echo, out);
  }
}

std::optional<TimePoint> CameraModel::NextEventTime() const {
  std::optional<TimePoint> next;
  for (const Pending& p : pending_) {
    if (!next || p.due < *next) {
      next = p.due;
    }
  }
  return next;
}

bool CameraModel::PressPower(bool on, TimePoint now, std::vector<Emission>& out) {
  std::erase_if(pending_, [](const Pending& p) { return p.action == Action::kPower; });
  power_ = on;
  if (!on) {
    zoom_.Stop(now);
    focus_.Stop(now);
  }
  Notify(now,
         on ? "\xA0"
              "1"
            : "\xA0"
              "0",
         out);
  return true;
}

bool CameraModel::SetSensorInput(int value, TimePoint now, std::vector<Emission>& out) {
  if (!model_.r90xFeatures) {
    return false;
  }
  int changed = (sensorInput_ ^ value) & 0xF;
  int rising = changed & value;
  int falling = changed & ~value;
  sensorInput_ = value & 0xF;
  if ((rising & system_.detectProp) || (falling & (system_.detectProp >> 4))) {
    out.push_back({now, BuildFrame(kDetectStart, address_, Hex(sensorInput_, 2))});
  }
  return true;
}

void CameraModel::SignalRemote(bool on, TimePoint now, std::vector<Emission>& out, bool* sent) {
  *sent = notify_;
  if (notify_) {
    out.push_back({now, BuildFrame(on ? kRemoteOnStart : kRemoteOffStart, address_, "")});
  }
}

void CameraModel::SignalGlobal(TimePoint now, std::vector<Emission>& out, bool* sent) {
  *sent = globalNotify_;
  if (globalNotify_) {
    out.push_back({now, BuildFrame(kGlobalNotifyStart, address_, "")});
  }
}

void CameraModel::ResetPicture() {
  picture_ = PictureSettings();
  zoom_.Set(0);
  focus_.Set((model_.focusMin + model_.focusMax) / 2);
}

// Bit 0 a slow action runs; 1 manual focus; 2 fixed shutter; 3 flickerless;
// 4 pedestal not initialised; 5 camera power off; 6 and 18 Local mode; 12 white
// balance locked; 13 manual exposure.
uint32_t CameraModel::ExtendedStatus() const {
  uint32_t status = 0;
  auto bit = [&status](bool set, int index) {
    if (set) {
      status |= 1u << index;
    }
  };
  bit(!pending_.empty(), 0);
  bit(picture_.focusManual, 1);
  bit(picture_.shutterMode == 1, 2);
  bit(picture_.shutterMode == 2, 3);
  bit(!pedestalReady_, 4);
  bit(!power_, 5);
  bit(localMode_, 6);
  bit(localMode_, 18);
  bit(picture_.wbMode == 1, 12);
  bit(picture_.exposureManual, 13);
  return status;
}

// Bits 2/3 time format 5/6; 4/5 date format 8/9; 6 second display; 7 display on.
uint32_t CameraModel::FourDigitStatus() const {
  const SystemSettings& s = system_;
  return (s.timeDisplay == 5 ? 1u << 2 : 0) | (s.timeDisplay == 6 ? 1u << 3 : 0) |
         (s.dateDisplay == 8 ? 1u << 4 : 0) | (s.dateDisplay == 9 ? 1u << 5 : 0) |
         (s.secondDisplay ? 1u << 6 : 0) | (s.onScreen ? 1u << 7 : 0);
}

// Bit 4 the LED is lit; bits 0-1 its colour: 01 normal, 00 green, 10 red, 11 orange.
uint32_t CameraModel::TwoDigitStatus() const {
  static constexpr uint32_t kLed[] = {0x11, 0x10, 0x00, 0x12, 0x13};
  return kLed[system_.led];
}

std::string CameraModel::Describe(TimePoint now) const {
  const PictureSettings& p = picture_;
  const SystemSettings& s = system_;
  auto onOff = [](bool on) { return on ? "on" : "off"; };
  auto n = [](int value) { return std::to_string(value); };
  std::string busy;
  for (const Pending& pending : pending_) {
    static constexpr const char* kNames[] = {"power", "pedestal", "move", "focus"};
    busy += busy.empty() ? "" : ",";
    busy += kNames[static_cast<int>(pending.action)];
  }
  return "camera " + n(address_) + " " + std::string(model_.unitName) + " power=" + onOff(power_) +
         " mode=" + (localMode_ ? "local" : "host") +
         " pedestal=" + (pedestalReady_ ? "initialised" : "uninitialised") +
         " busy=" + (busy.empty() ? "none" : busy) + " notify=" + onOff(notify_) +
         " global=" + onOff(globalNotify_) + " irRemote=" + onOff(irRemote_) +
         " remotePass=" + onOff(remotePass_) + " pan=" + n(pan_.Position(now)) +
         " tilt=" + n(tilt_.Position(now)) + " panSpeed=" + n(s.panSpeed) +
         " tiltSpeed=" + n(s.tiltSpeed) + " presets=0x" + Hex(presetMask_, 3) + " zoom=0x" +
         Hex(zoom_.Position(now), 4) + " zoomSpeed=" + n(s.zoomSpeed) +
         " focus=" + (p.focusManual ? "manual" : "auto") + ":0x" + Hex(focus_.Position(now), 4) +
         " exposure=" + (p.exposureManual ? "manual" : "auto") + " ae=" + n(p.aeValue) +
         " backlight=" + n(p.backlight) + " iris=" + n(p.iris) + " gain=" + n(p.agcGain) +
         " shutter=" + n(p.shutter) + " shutterMode=" + n(p.shutterMode) + " wb=" + n(p.wbMode) +
         " osd=" + onOff(s.onScreen) + " date=" + n(s.dateDisplay) + " time=" + n(s.timeDisplay) +
         " led=" + n(s.led) + " nr=" + n(p.noiseReduction) + " ircut=" + n(s.irCutFilter) +
         " irlight=" + n(s.irLight) + " extlight=" + onOff(s.externalLight) +
         " alarm=" + onOff(s.alarmOutput) + " ezoom=" + n(p.electronicZoom) + " sensor=0x" +
         Hex(sensorInput_, 1) + " detect=0x" + Hex(s.detectProp, 2) +
         " clock=" + clock_.DateText(now) + "-" + clock_.TimeText(now);
}

}  // namespace camsim
