// Exports: camera, lens and pedestal functions. Each stores its value
// arguments as p1 to p3, chooses one command identifier (its own, or the one
// its selector picks) and sends that template.
#include "camlink/exports_common.h"
#include "camlink/qzlink.h"

using qzlink::Select;
using qzlink::Send;

extern "C" {

// One export per line or two, so that the list reads as a table.
// clang-format off

// ---- Pedestal: speed, movement, angles ----
int32_t QZLINK_CALL QzSetMotorSpeed(int32_t lUnit, int32_t lMode, int32_t lSpeed) {
  return Send(Select(lMode, {59, 60}), lUnit, lSpeed);
}
int32_t QZLINK_CALL QzGetMotorSpeed(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {61, 62}), lUnit);
}
int32_t QZLINK_CALL QzSetPanTilt1(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {63, 64, 65, 66, 67}), lUnit);
}
int32_t QZLINK_CALL QzGotoHomePosition(int32_t lUnit) { return Send(69, lUnit); }
int32_t QZLINK_CALL QzPedestalInitialize(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {70, 71}), lUnit);
}
int32_t QZLINK_CALL QzGetLimitSpeed(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {72, 73, 74, 75}), lUnit);
}
int32_t QZLINK_CALL QzGetLimitAngle(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {78, 79, 80, 81}), lUnit);
}
int32_t QZLINK_CALL QzGetGearRatio(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {76, 77}), lUnit);
}
int32_t QZLINK_CALL QzSetPanTilt2(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {82, 83, 84, 85, 86, 87, 88, 89, 90}), lUnit);
}
int32_t QZLINK_CALL QzSetPTAngle2(int32_t lUnit, int32_t lAngle1, int32_t lAngle2) {
  return Send(92, lUnit, lAngle1, lAngle2);
}
int32_t QZLINK_CALL QzGetPTAngle2(int32_t lUnit) { return Send(93, lUnit); }
int32_t QZLINK_CALL QzSetPTAngle1(int32_t lUnit, int32_t lMode, int32_t lAngle1,
                                  int32_t lAngle2) {
  return Send(Select(lMode, {94, 95}), lUnit, lAngle1, lAngle2);
}
int32_t QZLINK_CALL QzGetPTAngle1(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {96, 97}), lUnit);
}

// ---- Unit status, remote control, presets ----
int32_t QZLINK_CALL QzSetIRRemote(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {102, 103}), lUnit);
}
int32_t QZLINK_CALL QzGetExtendedOperateStatus(int32_t lUnit) { return Send(147, lUnit); }
int32_t QZLINK_CALL QzGetOperateStatus(int32_t lUnit) { return Send(104, lUnit); }
int32_t QZLINK_CALL QzGetUnitName(int32_t lUnit) { return Send(106, lUnit); }
int32_t QZLINK_CALL QzGetRomVersion(int32_t lUnit) { return Send(107, lUnit); }
int32_t QZLINK_CALL QzSetPresetMemory(int32_t lUnit, int32_t lMemory) {
  return Send(108, lUnit, lMemory);
}
int32_t QZLINK_CALL QzGoToPreset(int32_t lUnit, int32_t lMemory) {
  return Send(109, lUnit, lMemory);
}
int32_t QZLINK_CALL QzGetExtendPreset(int32_t lUnit) { return Send(148, lUnit); }
int32_t QZLINK_CALL QzGetPresetStatus(int32_t lUnit) { return Send(110, lUnit); }
int32_t QZLINK_CALL QzRemoteCommandPass(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {113, 114}), lUnit);
}
int32_t QZLINK_CALL QzSetLed(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {164, 165, 166, 167, 168}), lUnit);
}

// ---- On-screen display, title, date and time ----
int32_t QZLINK_CALL QzSetOnScreen(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {122, 123, 124, 125, 126, 127, 128, 129, 130, 131}), lUnit);
}
int32_t QZLINK_CALL QzSetTitleString(int32_t lUnit, int32_t lx, int32_t ly, int32_t lCharacter) {
  return Send(132, lUnit, lx, ly, lCharacter);
}
int32_t QZLINK_CALL QzGetTitleString(int32_t lUnit, int32_t lx, int32_t ly) {
  return Send(133, lUnit, lx, ly);
}
int32_t QZLINK_CALL QzSetDate(int32_t lUnit, int32_t lYear, int32_t lMoon, int32_t lDay) {
  return Send(134, lUnit, lYear, lMoon, lDay);
}
int32_t QZLINK_CALL QzGetDate(int32_t lUnit) { return Send(135, lUnit); }
int32_t QZLINK_CALL QzSetTime(int32_t lUnit, int32_t lHour, int32_t lMinutes, int32_t lSecond) {
  return Send(136, lUnit, lHour, lMinutes, lSecond);
}
int32_t QZLINK_CALL QzGetTime(int32_t lUnit) { return Send(137, lUnit); }
int32_t QZLINK_CALL QzGetCameraTime(int32_t lUnit) { return Send(138, lUnit); }
int32_t QZLINK_CALL QzGetPTTime(int32_t lUnit) { return Send(139, lUnit); }
int32_t QZLINK_CALL QzSetDefault(int32_t lUnit) { return Send(140, lUnit); }
int32_t QZLINK_CALL QzSetNotify(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {155, 156}), lUnit);
}
int32_t QZLINK_CALL QzSetGlobalNotify(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {157, 158}), lUnit);
}

// ---- Camera: power, focus, zoom, exposure, white balance ----
int32_t QZLINK_CALL QzSetCameraPower(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {2, 3}), lUnit);
}
int32_t QZLINK_CALL QzSetFocusMode(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {4, 5, 6, 7}), lUnit);
}
int32_t QZLINK_CALL QzSetZooming(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {11, 12, 13, 14, 15}), lUnit);
}
int32_t QZLINK_CALL QzSetZoomPosition(int32_t lUnit, int32_t lPos) { return Send(16, lUnit, lPos); }
int32_t QZLINK_CALL QzGetZoomPosition(int32_t lUnit) { return Send(17, lUnit); }
int32_t QZLINK_CALL QzSetBackLight(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {22, 23}), lUnit);
}
int32_t QZLINK_CALL QzSetExposed(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {24, 25}), lUnit);
}
int32_t QZLINK_CALL QzSetAELock(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {159, 160}), lUnit);
}
int32_t QZLINK_CALL QzSetShutterSpeedx(int32_t lUnit, int32_t lSpeed) {
  return Send(149, lUnit, lSpeed);
}
int32_t QZLINK_CALL QzGetShutterSpeed(int32_t lUnit) { return Send(28, lUnit); }
int32_t QZLINK_CALL QzSetAGCGain(int32_t lUnit, int32_t lGain) { return Send(31, lUnit, lGain); }
int32_t QZLINK_CALL QzGetAGCGain(int32_t lUnit) { return Send(32, lUnit); }
int32_t QZLINK_CALL QzSetIris(int32_t lUnit, int32_t lIris) { return Send(33, lUnit, lIris); }
int32_t QZLINK_CALL QzGetIris(int32_t lUnit) { return Send(34, lUnit); }
int32_t QZLINK_CALL QzSetAEVal(int32_t lUnit, int32_t lAEVal) { return Send(35, lUnit, lAEVal); }
int32_t QZLINK_CALL QzGetAEVal(int32_t lUnit) { return Send(36, lUnit); }
int32_t QZLINK_CALL QzSetWhiteBalance(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {150, 151, 39, 40}), lUnit);
}
int32_t QZLINK_CALL QzSetWhiteBalanceMx(int32_t lUnit, int32_t lGain) {
  return Send(41, lUnit, lGain);
}
int32_t QZLINK_CALL QzGetWhiteBalance(int32_t lUnit) { return Send(42, lUnit); }
int32_t QZLINK_CALL QzSetShutterSpeed(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {26, 29, 30}), lUnit);
}
int32_t QZLINK_CALL QzSetFading(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {44, 45, 46, 47}), lUnit);
}
int32_t QZLINK_CALL QzCameraReset(int32_t lUnit) { return Send(48, lUnit); }
int32_t QZLINK_CALL QzGetZoomRatio(int32_t lUnit) { return Send(49, lUnit); }
int32_t QZLINK_CALL QzGetCCDSize(int32_t lUnit) { return Send(50, lUnit); }
int32_t QZLINK_CALL QzSetFocusPosition(int32_t lUnit, int32_t lFocusPos) {
  return Send(8, lUnit, lFocusPos);
}
int32_t QZLINK_CALL QzGetFocusPosition(int32_t lUnit) { return Send(9, lUnit); }
int32_t QZLINK_CALL QzSetOnePushAF(int32_t lUnit) { return Send(10, lUnit); }
int32_t QZLINK_CALL QzGetFocusRange(int32_t lUnit) { return Send(152, lUnit); }
int32_t QZLINK_CALL QzSetZoomPosition4(int32_t lUnit, int32_t lPos) {
  return Send(18, lUnit, lPos);
}
int32_t QZLINK_CALL QzGetZoomPosition4(int32_t lUnit) { return Send(19, lUnit); }
int32_t QZLINK_CALL QzSetZoomSpeed(int32_t lUnit, int32_t lSpeed) {
  return Send(20, lUnit, lSpeed);
}
int32_t QZLINK_CALL QzGetZoomSpeed(int32_t lUnit) { return Send(21, lUnit); }
int32_t QZLINK_CALL QzGetZoomMax(int32_t lUnit) { return Send(53, lUnit); }
int32_t QZLINK_CALL QzGetCameraVersion(int32_t lUnit, int32_t lMode) {
  return Send(Select(lMode, {57, 58}), lUnit);
}
int32_t QZLINK_CALL QzGetPedestalModel(int32_t lUnit) { return Send(170, lUnit); }
int32_t QZLINK_CALL QzGetCameraModel(int32_t lUnit) { return Send(171, lUnit); }

// ---- QT-R3 pedestal ----
int32_t QZLINK_CALL QzSetPTAngle2ForQTR3(int32_t lUnit, int32_t lAngle1, int32_t lAngle2) {
  return Send(98, lUnit, lAngle1, lAngle2);
}
int32_t QZLINK_CALL QzGetPTAngle2ForQTR3(int32_t lUnit) { return Send(99, lUnit); }
int32_t QZLINK_CALL QzSetQTR3Pan(int32_t lUnit, int32_t lAngle) { return Send(172, lUnit, lAngle); }
int32_t QZLINK_CALL QzGetQTR3Pan(int32_t lUnit) { return Send(173, lUnit); }
int32_t QZLINK_CALL QzSetQTR3Tilt(int32_t lUnit, int32_t lAngle) {
  return Send(174, lUnit, lAngle);
}
int32_t QZLINK_CALL QzGetQTR3Tilt(int32_t lUnit) { return Send(175, lUnit); }
int32_t QZLINK_CALL QzGetLimitAngleForQTR3(int32_t lUnit, int32_t lMode) {
  return Send(184, lUnit, lMode);
}

// ---- Alarm output, lights, filters, sensor inputs ----
int32_t QZLINK_CALL QzSetAlarmOutput(int32_t lUnit, int32_t lMode) {
  return Send(lMode == 0 ? 176 : 177, lUnit);
}
int32_t QZLINK_CALL QzGetAlarmOutput(int32_t lUnit) { return Send(178, lUnit); }
int32_t QZLINK_CALL QzSetIrLight(int32_t lUnit, int32_t lMode) { return Send(179, lUnit, lMode); }
int32_t QZLINK_CALL QzGetIrLight(int32_t lUnit) { return Send(180, lUnit); }
int32_t QZLINK_CALL QzSetExternalLight(int32_t lUnit, int32_t lMode) {
  return Send(lMode == 0 ? 181 : 182, lUnit);
}
int32_t QZLINK_CALL QzGetExternalLight(int32_t lUnit) { return Send(183, lUnit); }
int32_t QZLINK_CALL QzSetIrCutFilter(int32_t lUnit, int32_t lMode) {
  return Send(185, lUnit, lMode);
}
int32_t QZLINK_CALL QzGetIrCutFilter(int32_t lUnit) { return Send(186, lUnit); }
int32_t QZLINK_CALL QzSetElectronicZoom(int32_t lUnit, int32_t lMode) {
  return Send(187, lUnit, lMode);
}
int32_t QZLINK_CALL QzGetElectronicZoom(int32_t lUnit) { return Send(188, lUnit); }
int32_t QZLINK_CALL QzSetNoiseReduction(int32_t lUnit, int32_t lMode) {
  return Send(189, lUnit, lMode);
}
int32_t QZLINK_CALL QzGetNoiseReduction(int32_t lUnit) { return Send(190, lUnit); }
int32_t QZLINK_CALL QzSetSensorInputDetectProp(int32_t lUnit, int32_t lMode) {
  return Send(191, lUnit, lMode);
}
int32_t QZLINK_CALL QzGetSensorInputTerminalStat(int32_t lUnit) { return Send(192, lUnit); }
int32_t QZLINK_CALL QzGetSensorInputDetectProp(int32_t lUnit) { return Send(193, lUnit); }
int32_t QZLINK_CALL QzGetBacklight(int32_t lUnit) { return Send(194, lUnit); }

// clang-format on

}  // extern "C"
