#include "core/sequence_engine.h"

namespace qtr90x {

SequenceEngine::SequenceEngine(LibraryCaller& caller) : caller_(caller) {}

EngineActions SequenceEngine::OnConnectionAttempt(int, bool, bool) {
  return {};
}
EngineActions SequenceEngine::OnConnectionClosed() {
  return {};
}
EngineActions SequenceEngine::OnCameraSelected(int) {
  return {};
}
EngineActions SequenceEngine::OnNightModeClicked(bool) {
  return {};
}
EngineActions SequenceEngine::OnIrLightChosen(int) {
  return {};
}
EngineActions SequenceEngine::OnCommandModeClicked(bool) {
  return {};
}
EngineActions SequenceEngine::OnOnScreenChanged(bool) {
  return {};
}
EngineActions SequenceEngine::OnInchStart(int, const void*, SpeedPositions) {
  return {};
}
EngineActions SequenceEngine::OnInchStop(int, const void*) {
  return {};
}
EngineActions SequenceEngine::HandleMessage(int, std::intptr_t, std::intptr_t) {
  return {};
}
bool SequenceEngine::HandlesMessage(int) {
  return false;
}
EngineActions SequenceEngine::OnAnswer(std::string_view, std::string_view) {
  return {};
}
EngineActions SequenceEngine::OnNotification(int, std::string_view) {
  return {};
}
EngineActions SequenceEngine::OnPowerOnTimer() {
  return {};
}
EngineActions SequenceEngine::OnPageRefreshed() {
  return {};
}
void SequenceEngine::ExpectExposureAnswer(int) {}
void SequenceEngine::RequestWaitCursor(int) {}
WaitCursorStep SequenceEngine::AtMessageStart() {
  return WaitCursorStep::kNone;
}
bool SequenceEngine::PresetNamesLoadedFor(int, int) const {
  return false;
}
void SequenceEngine::NotePresetNamesSet() {}

}  // namespace qtr90x
