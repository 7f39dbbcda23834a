#include "core/engine/step_tables.h"

#include <array>

#include "core/engine/sequence_kind.h"

namespace qtr90x {

namespace {

using F = LibraryFunction;

constexpr StepSpec Q(F function) {
  return StepSpec{function, StepArgs::kFixed, 0, {0, 0}};
}
constexpr StepSpec Q(F function, int a) {
  return StepSpec{function, StepArgs::kFixed, 1, {a, 0}};
}
constexpr StepSpec Q(F function, int a, int b) {
  return StepSpec{function, StepArgs::kFixed, 2, {a, b}};
}
// To address 0, the whole line.
constexpr StepSpec Line(F function, int a) {
  return StepSpec{function, StepArgs::kFixedLine, 1, {a, 0}};
}
constexpr StepSpec From(F function, StepArgs source) {
  return StepSpec{function, source, 0, {0, 0}};
}

// A step the camera completes with a notification.
constexpr StepSpec Notified(StepSpec step, StepAwait await) {
  step.await = await;
  return step;
}

constexpr StepSpec kPowerOnStep =
    Notified(Q(F::kQzSetCameraPower, 1), StepAwait::kPowerOnNotification);
constexpr StepSpec kPedestalStep =
    Notified(Q(F::kQzPedestalInitialize, 0), StepAwait::kPedestalNotification);

constexpr StepSpec kDate = From(F::kQzSetDate, StepArgs::kDate);
constexpr StepSpec kTime = From(F::kQzSetTime, StepArgs::kTime);

// Kind 0, connect. Steps 0 to 6 are the same in every column.
#define CONNECT_COMMON                                                          \
  Line(F::kQzSetCascade, 0), Line(F::kQzSetCascade, 1), Q(F::kQzSetCmdMode, 0), \
      Q(F::kQzSetNotify, 1), Q(F::kQzGetExtendedOperateStatus), kPowerOnStep, Q(F::kQzGetUnitName)

constexpr std::array kConnectQtR7Ped{CONNECT_COMMON, Q(F::kQzGetExtendPreset)};
constexpr std::array kConnectQtR7NotPed{CONNECT_COMMON, kPedestalStep, kDate, kTime,
                                        Q(F::kQzGetExtendPreset)};
constexpr std::array kConnectOtherPed{CONNECT_COMMON, Q(F::kQzGetIrLight), Q(F::kQzGetIrCutFilter),
                                      Q(F::kQzGetExtendPreset),
                                      Q(F::kQzSetSensorInputDetectProp, 17)};
constexpr std::array kConnectOtherNotPed{CONNECT_COMMON,
                                         kPedestalStep,
                                         kDate,
                                         kTime,
                                         Q(F::kQzGetIrLight),
                                         Q(F::kQzGetIrCutFilter),
                                         Q(F::kQzGetExtendPreset),
                                         Q(F::kQzSetSensorInputDetectProp, 17)};
#undef CONNECT_COMMON

// Kind 7, camera change (and the re-read after power-on). Steps 0 to 4 are
// the same in every column.
#define CHANGE_COMMON                                                                             \
  Q(F::kQzSetCmdMode, 0), Q(F::kQzSetNotify, 1), Q(F::kQzGetExtendedOperateStatus), kPowerOnStep, \
      Q(F::kQzGetUnitName)

constexpr std::array kChangeQtR7Ped{CHANGE_COMMON, Q(F::kQzGetExtendPreset)};
constexpr std::array kChangeQtR7NotPed{CHANGE_COMMON, kPedestalStep, kDate, kTime,
                                       Q(F::kQzGetExtendPreset)};
constexpr std::array kChangeOtherPed{CHANGE_COMMON,
                                     Q(F::kQzGetIrLight),
                                     Q(F::kQzGetIrCutFilter),
                                     Q(F::kQzGetExtendPreset),
                                     Q(F::kQzGetSensorInputTerminalStat),
                                     Q(F::kQzGetIrCutFilter)};
constexpr std::array kChangeOtherNotPed{CHANGE_COMMON,
                                        kPedestalStep,
                                        kDate,
                                        kTime,
                                        Q(F::kQzGetIrLight),
                                        Q(F::kQzGetIrCutFilter),
                                        Q(F::kQzGetExtendPreset),
                                        Q(F::kQzSetSensorInputDetectProp, 17),
                                        Q(F::kQzGetSensorInputTerminalStat)};
#undef CHANGE_COMMON

constexpr std::array kAdjustPage{
    Q(F::kQzGetMotorSpeed, 0),          Q(F::kQzGetMotorSpeed, 1), Q(F::kQzGetZoomSpeed),
    Q(F::kQzGetExternalLight),          Q(F::kQzGetAlarmOutput),   Q(F::kQzGetElectronicZoom),
    Q(F::kQzGetSensorInputTerminalStat)};

constexpr std::array kSystemPageOther{Q(F::kQzGetExtendedOperateStatus), Q(F::kQzGetNoiseReduction),
                                      Q(F::kQzGet4ByteStatus), Q(F::kQzGet2ByteStatus)};
// The QT-R7 has no display status: the first read sets LED, on-screen and
// the date and time display formats to known values instead.
constexpr std::array kSystemPageQtR7{Q(F::kQzGetExtendedOperateStatus), Q(F::kQzSetLed, 0),
                                     Q(F::kQzSetOnScreen, 0), Q(F::kQzSetOnScreen, 6),
                                     Q(F::kQzSetOnScreen, 9)};

constexpr std::array kPicturePage{Q(F::kQzGetExtendedOperateStatus)};

constexpr std::array kAutoExposureOther{Q(F::kQzGetBacklight), Q(F::kQzGetAEVal),
                                        Q(F::kQzGetExtendedOperateStatus)};
constexpr std::array kAutoExposureQtR7{
    Notified(Q(F::kQzSetBackLight, 0), StepAwait::kBacklightNotification), Q(F::kQzGetAEVal),
    Q(F::kQzGetExtendedOperateStatus)};

constexpr std::array kManualExposure{Q(F::kQzGetIris), Q(F::kQzGetAGCGain),
                                     Q(F::kQzGetShutterSpeed)};

constexpr std::array kCommandMode{From(F::kQzSetCmdMode, StepArgs::kLocalMode)};
constexpr std::array kOnScreen{From(F::kQzSetOnScreen, StepArgs::kOnScreenFirst),
                               From(F::kQzSetOnScreen, StepArgs::kOnScreenSecond)};
constexpr std::array kPowerOn{Notified(Q(F::kQzSetCameraPower, 1), StepAwait::kPowerNotification)};
constexpr std::array kPowerOff{Notified(Q(F::kQzSetCameraPower, 0), StepAwait::kPowerNotification)};
constexpr std::array kSensorInput{Q(F::kQzGetSensorInputTerminalStat)};

template <std::size_t N>
constexpr StepTable Table(const std::array<StepSpec, N>& steps,
                          int completeAt = static_cast<int>(N)) {
  return StepTable{steps, completeAt, completeAt, 0};
}

bool IsQtR7Column(ModelColumn column) {
  return column == ModelColumn::kQtR7Ped || column == ModelColumn::kQtR7NotPed;
}

}  // namespace

ModelColumn ChooseModelColumn(bool isQtR7, bool pedestalInitialised) {
  if (isQtR7)
    return pedestalInitialised ? ModelColumn::kQtR7Ped : ModelColumn::kQtR7NotPed;
  return pedestalInitialised ? ModelColumn::kOtherPed : ModelColumn::kOtherNotPed;
}

StepTable StepTableOf(SequenceKind kind, ModelColumn column) {
  switch (kind) {
    case SequenceKind::kConnect:
      switch (column) {
        case ModelColumn::kQtR7Ped:
          return Table(kConnectQtR7Ped);  // complete at 8
        case ModelColumn::kQtR7NotPed:
          return Table(kConnectQtR7NotPed);  // 11
        case ModelColumn::kOtherPed:
          return Table(kConnectOtherPed);  // 11
        case ModelColumn::kOtherNotPed:
          return Table(kConnectOtherNotPed);  // 14
      }
      break;
    case SequenceKind::kCameraChange:
      switch (column) {
        case ModelColumn::kQtR7Ped:
          return Table(kChangeQtR7Ped);  // 6
        case ModelColumn::kQtR7NotPed:
          return Table(kChangeQtR7NotPed);  // 9
        case ModelColumn::kOtherPed:
          return Table(kChangeOtherPed);  // 10
        case ModelColumn::kOtherNotPed:
          return Table(kChangeOtherNotPed);  // 13
      }
      break;
    case SequenceKind::kAdjustPage:
      return Table(kAdjustPage);
    case SequenceKind::kSystemPage:
      if (IsQtR7Column(column)) {
        // Later reads of a QT-R7 send only the status query.
        StepTable table = Table(kSystemPageQtR7);
        table.completeAtNotFirstRead = 1;
        return table;
      }
      return Table(kSystemPageOther);
    case SequenceKind::kPicturePage:
      return Table(kPicturePage);
    case SequenceKind::kAutoExposure: {
      // Later reads skip the backlight step; the QT-R7's also the status.
      StepTable table = Table(IsQtR7Column(column) ? kAutoExposureQtR7 : kAutoExposureOther);
      table.firstStepNotFirstRead = 1;
      table.completeAtNotFirstRead = IsQtR7Column(column) ? 2 : 3;
      return table;
    }
    case SequenceKind::kManualExposure:
      return Table(kManualExposure);
    case SequenceKind::kCommandMode:
      return Table(kCommandMode);
    case SequenceKind::kOnScreen:
      return Table(kOnScreen);
    case SequenceKind::kPowerOn:
      return Table(kPowerOn, -1);
    case SequenceKind::kPowerOff:
      return Table(kPowerOff, -1);
    case SequenceKind::kSensorInput:
      return Table(kSensorInput);
    case SequenceKind::kNone:
      break;
  }
  return StepTable{};
}

}  // namespace qtr90x
