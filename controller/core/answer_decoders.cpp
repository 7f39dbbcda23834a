#include "core/answer_decoders.h"

namespace qtr90x {

namespace {

constexpr std::size_t kUnitNameMax = 19;
constexpr int kRegisteredPresetBits = 0x1FF;  // presets 1 to 9

using R = AnswerReads;

void Store(std::optional<std::uint32_t> value, int& field) {
  if (value)
    field = static_cast<int>(*value);
}

void StoreFlag(std::optional<std::uint32_t> value, bool& field) {
  if (value)
    field = *value != 0;
}

void DecodeExtended(std::uint32_t word, CameraState& s) {
  const ExtendedStatus e = DecodeExtendedStatus(word);
  s.focusAuto = e.focusAuto;
  s.localMode = e.localMode;
  s.pedestalInitialised = e.pedestalInitialised;
  s.cameraPower = e.cameraPower;
  s.wbLock = e.wbLock;
  s.exposureAuto = e.exposureAuto;
  s.flickerless = e.flickerless;
}

// The on-screen settings the camera accepted: display on/off, second
// display, time format 4..6, date format 7..9.
void RecordOnScreen(int code, CameraState& s) {
  if (code == 0 || code == 1)
    s.onScreen = code == 1;
  else if (code == 2 || code == 3)
    s.secondDisplay = code == 3;
  else if (code >= 4 && code <= 6)
    s.timeDisplay = code;
  else if (code >= 7 && code <= 9)
    s.dateDisplay = code;
}

}  // namespace

bool AnswerCarriesData(LibraryFunction function) {
  switch (LibraryFunctionReads(function)) {
    case R::kExtendedStatus:
    case R::kUnitName:
    case R::kRegisteredPresets:
    case R::kMotorSpeed:
    case R::kZoomSpeed:
    case R::kElectronicZoom:
    case R::kIrCutFilter:
    case R::kIrLight:
    case R::kExternalLight:
    case R::kAlarmOutput:
    case R::kSensorInput:
    case R::kNoiseReduction:
    case R::kDisplayStatus:
    case R::kLedStatus:
    case R::kBacklight:
    case R::kAeValue:
    case R::kIris:
    case R::kAgcGain:
    case R::kShutterSpeed:
      return true;
    default:
      return false;
  }
}

int AnswerDataLength(LibraryFunction function) {
  switch (LibraryFunctionReads(function)) {
    case R::kExtendedStatus:
      return 5;
    case R::kDisplayStatus:
      return 4;
    case R::kMotorSpeed:
    case R::kRegisteredPresets:
      return 3;
    case R::kLedStatus:
    case R::kElectronicZoom:
    case R::kSensorInput:
    case R::kAeValue:
    case R::kIris:
    case R::kAgcGain:
    case R::kShutterSpeed:
      return 2;
    case R::kZoomSpeed:
    case R::kIrCutFilter:
    case R::kIrLight:
    case R::kExternalLight:
    case R::kAlarmOutput:
    case R::kNoiseReduction:
    case R::kBacklight:
      return 1;
    default:
      return 0;
  }
}

AnswerNews DecodeAnswer(const LibraryCall& call, const AnswerFrame& answer, CameraState& s) {
  const R reads = LibraryFunctionReads(call.function);
  if (reads == R::kCameraCount) {
    if (call.args[0] != 1)
      return {};
    // The line answers with the number of cameras in the address byte.
    int count = 0;
    const int digit = answer.Address();
    if (answer.Executed() && digit >= 1 && digit <= 9)
      count = digit;
    return {AnswerNews::Kind::kCameraCount, count};
  }
  if (!answer.Executed())
    return {};

  const int a = call.args[0];
  const int b = call.args[1];
  switch (reads) {
    case R::kExtendedStatus:
      if (const auto word = answer.Word(5))
        DecodeExtended(*word, s);
      break;
    case R::kUnitName:
      if (const auto text = answer.DataText())
        s.unitName = text->substr(0, kUnitNameMax);
      break;
    case R::kRegisteredPresets:
      if (const auto value = answer.Value())
        return {AnswerNews::Kind::kRegisteredPresets,
                static_cast<int>(*value) & kRegisteredPresetBits};
      break;
    case R::kMotorSpeed:
      Store(answer.Value(), a == 0 ? s.panSpeed : s.tiltSpeed);
      break;
    case R::kMotorSpeedSet:
      (a == 0 ? s.panSpeed : s.tiltSpeed) = b;
      break;
    case R::kZoomSpeed:
      Store(answer.Value(), s.zoomSpeed);
      break;
    case R::kZoomSpeedSet:
      s.zoomSpeed = a;
      break;
    case R::kFocusModeSet:
      if (a == 0 || a == 1)
        s.focusAuto = a == 0;
      break;
    case R::kElectronicZoom:
      if (const auto value = answer.Value())
        s.electronicZoom = DecodeElectronicZoom(*value);
      break;
    case R::kElectronicZoomSet:
      s.electronicZoom = a;
      break;
    case R::kIrCutFilter:
      StoreFlag(answer.Value(), s.irCutFilter);
      break;
    case R::kIrCutFilterSet:
      s.irCutFilter = a != 0;
      break;
    case R::kIrLight:
      Store(answer.Value(), s.irLight);
      break;
    case R::kIrLightSet:
      s.irLight = a;
      break;
    case R::kExternalLight:
      StoreFlag(answer.Value(), s.externalLight);
      break;
    case R::kExternalLightSet:
      s.externalLight = a != 0;
      break;
    case R::kAlarmOutput:
      StoreFlag(answer.Value(), s.alarmOutput);
      break;
    case R::kAlarmOutputSet:
      s.alarmOutput = a != 0;
      break;
    case R::kSensorInput:
      Store(answer.Value(), s.sensorInput);
      break;
    case R::kNoiseReduction:
      Store(answer.Value(), s.noiseReduction);
      break;
    case R::kNoiseReductionSet:
      s.noiseReduction = a;
      break;
    case R::kDisplayStatus:
      if (const auto word = answer.Word(4)) {
        const DisplayStatus d = DecodeDisplayStatus(*word);
        s.onScreen = d.onScreen;
        s.secondDisplay = d.secondDisplay;
        s.dateDisplay = d.dateDisplay;
        s.timeDisplay = d.timeDisplay;
      }
      break;
    case R::kLedStatus:
      if (const auto word = answer.Word(2))
        s.ledState = DecodeLedState(*word, s.ledState);
      break;
    case R::kLedSet:
      // Only "normal" has a state of its own that the pages show as set.
      if (a == 0)
        s.ledState = 0;
      break;
    case R::kOnScreenSet:
      RecordOnScreen(a, s);
      break;
    case R::kCommandModeSet:
      s.localMode = a == 1;
      break;
    case R::kExposureSet:
      s.exposureAuto = a == 0;
      break;
    case R::kBacklight:
      Store(answer.Value(), s.backlight);
      break;
    case R::kAeValue:
      Store(answer.Value(), s.aeValue);
      break;
    case R::kAeValueSet:
      s.aeValue = a;
      break;
    case R::kFlickerlessSet:
      s.flickerless = a == 2;
      break;
    case R::kIris:
      Store(answer.Value(), s.iris);
      break;
    case R::kIrisSet:
      s.iris = a;
      break;
    case R::kAgcGain:
      Store(answer.Value(), s.agcGain);
      break;
    case R::kAgcGainSet:
      s.agcGain = a;
      break;
    case R::kShutterSpeed:
      Store(answer.Value(), s.shutterSpeed);
      break;
    case R::kShutterSpeedSet:
      s.shutterSpeed = a;
      break;
    case R::kWbLockSet:
      s.wbLock = a == 1;
      break;
    case R::kNothing:
    case R::kCameraCount:
      break;
  }
  return {};
}

}  // namespace qtr90x
