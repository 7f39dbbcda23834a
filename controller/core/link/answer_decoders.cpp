#include "core/link/answer_decoders.h"

#include <algorithm>

namespace qtr90x {

namespace {

constexpr std::size_t kUnitNameMax = 19;
constexpr int kRegisteredPresetBits = 0x1FF;  // presets 1 to 9

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

// The decoders the rows of library_calls.inc name. Each gets an answer the
// camera executed (CountCameras gets every answer) and the call it answers.
namespace decoders {

using Decoder = AnswerNews (*)(const LibraryCall&, const AnswerFrame&, CameraState&);

AnswerNews Nothing(const LibraryCall&, const AnswerFrame&, CameraState&) {
  return {};
}

// A value the camera reports in its answer's data.
template <int CameraState::*Field>
AnswerNews ReadInt(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  Store(answer.Value(), s.*Field);
  return {};
}

template <bool CameraState::*Field>
AnswerNews ReadFlag(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  StoreFlag(answer.Value(), s.*Field);
  return {};
}

// A setting the camera accepted: the call's first argument.
template <int CameraState::*Field>
AnswerNews AcceptInt(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  s.*Field = call.args[0];
  return {};
}

template <bool CameraState::*Field>
AnswerNews AcceptFlag(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  s.*Field = call.args[0] != 0;
  return {};
}

AnswerNews CountCameras(const LibraryCall& call, const AnswerFrame& answer, CameraState&) {
  if (call.args[0] != 1)
    return {};
  // The line answers with the number of cameras in the address byte.
  int count = 0;
  const int digit = answer.Address();
  if (answer.Executed() && digit >= 1 && digit <= 9)
    count = digit;
  return {AnswerNews::Kind::kCameraCount, count};
}

AnswerNews ReadExtendedStatus(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  if (const auto word = answer.Word(5))
    DecodeExtended(*word, s);
  return {};
}

AnswerNews ReadUnitName(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  if (const auto text = answer.DataText())
    s.unitName = text->substr(0, kUnitNameMax);
  return {};
}

AnswerNews ReadRegisteredPresets(const LibraryCall&, const AnswerFrame& answer, CameraState&) {
  if (const auto value = answer.Value())
    return {AnswerNews::Kind::kRegisteredPresets, static_cast<int>(*value) & kRegisteredPresetBits};
  return {};
}

// Mode 0 is the pan motor, 1 the tilt motor.
AnswerNews ReadMotorSpeed(const LibraryCall& call, const AnswerFrame& answer, CameraState& s) {
  Store(answer.Value(), call.args[0] == 0 ? s.panSpeed : s.tiltSpeed);
  return {};
}

AnswerNews AcceptMotorSpeed(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  (call.args[0] == 0 ? s.panSpeed : s.tiltSpeed) = call.args[1];
  return {};
}

// Near and far (2, 3) leave the mode as it was.
AnswerNews AcceptFocusMode(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  const int mode = call.args[0];
  if (mode == 0 || mode == 1)
    s.focusAuto = mode == 0;
  return {};
}

AnswerNews ReadElectronicZoom(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  if (const auto value = answer.Value())
    s.electronicZoom = DecodeElectronicZoom(*value);
  return {};
}

AnswerNews ReadDisplayStatus(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  if (const auto word = answer.Word(4)) {
    const DisplayStatus d = DecodeDisplayStatus(*word);
    s.onScreen = d.onScreen;
    s.secondDisplay = d.secondDisplay;
    s.dateDisplay = d.dateDisplay;
    s.timeDisplay = d.timeDisplay;
  }
  return {};
}

AnswerNews ReadLedStatus(const LibraryCall&, const AnswerFrame& answer, CameraState& s) {
  if (const auto word = answer.Word(2))
    s.ledState = DecodeLedState(*word, s.ledState);
  return {};
}

// Only "normal" has a state of its own that the pages show as set.
AnswerNews AcceptLed(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  if (call.args[0] == 0)
    s.ledState = 0;
  return {};
}

AnswerNews AcceptOnScreen(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  RecordOnScreen(call.args[0], s);
  return {};
}

AnswerNews AcceptCommandMode(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  s.localMode = call.args[0] == 1;
  return {};
}

AnswerNews AcceptExposureMode(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  s.exposureAuto = call.args[0] == 0;
  return {};
}

AnswerNews AcceptShutterMode(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  s.flickerless = call.args[0] == 2;
  return {};
}

AnswerNews AcceptWbLock(const LibraryCall& call, const AnswerFrame&, CameraState& s) {
  s.wbLock = call.args[0] == 1;
  return {};
}

constexpr Decoder kDecoders[] = {
#define QZ_LIBRARY_CALL(name, argCount, answerLength, decoder, arguments) &decoder,
#include "core/link/library_calls.inc"
#undef QZ_LIBRARY_CALL
};

}  // namespace decoders

AnswerNews DecodeAnswer(const LibraryCall& call, const AnswerFrame& answer, CameraState& state) {
  const auto index = static_cast<std::size_t>(call.function);
  if (index >= std::size(decoders::kDecoders))
    return {};
  // Counting the cameras reads a refusal too (no cameras); every other
  // decoder reads an executed answer only.
  if (call.function != LibraryFunction::kQzSetCascade && !answer.Executed())
    return {};
  return decoders::kDecoders[index](call, answer, state);
}

bool AnswerCarriesData(LibraryFunction function) {
  return LibraryFunctionAnswerLength(function) != 0;
}

int AnswerDataLength(LibraryFunction function) {
  return std::max(LibraryFunctionAnswerLength(function), 0);
}

}  // namespace qtr90x
