// The recording stand-in for libqzlinke.so (see fake_qzlinke.h).
#include "axcontrol/tests/fake_qzlinke.h"

#include <algorithm>

#include "platform/msgwindow.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

FakeQzlinkeState state;

std::string Join(std::initializer_list<int32_t> args) {
  std::string text;
  for (int32_t a : args) {
    text += (text.empty() ? "" : ",") + std::to_string(a);
  }
  return text;
}

// Records a camera function call and gives its configured result.
int32_t Camera(const char* name, std::initializer_list<int32_t> args) {
  state.calls.push_back(std::string(name) + "(" + Join(args) + ")");
  if (state.postMessage != 0 && state.window != nullptr) {
    PostMessageA(state.window, state.postMessage, state.postWParam, state.postLParam);
  }
  auto it = state.results.find(name);
  return it == state.results.end() ? 1 : it->second;
}

}  // namespace

FAKE_EXPORT FakeQzlinkeState* FakeQzlinke() {
  return &state;
}

FAKE_EXPORT int32_t QzOpen(HWND window, int32_t port, int32_t baud, int32_t, int32_t, int32_t) {
  state.calls.push_back("QzOpen(" + Join({port, baud}) + ")");
  state.window = window;
  if (state.open) {
    state.errorCode = -3;
    state.errorDetail = 0;
    return 0;
  }
  if (port == 99) {  // a port that does not exist
    state.errorCode = -1;
    state.errorDetail = 2;
    return 0;
  }
  state.open = true;
  return 1;
}
FAKE_EXPORT int32_t QzClose() {
  state.calls.push_back("QzClose()");
  // The real library joins its reader here; a reader still waiting for the
  // caller's reply would never end.
  state.closesWhileASenderWaits += InSendMessage() ? 1 : 0;
  state.open = false;
  return 1;
}
FAKE_EXPORT int32_t QzGetLastError(int32_t* detail) {
  state.calls.push_back("QzGetLastError()");
  *detail = state.errorDetail;
  return state.errorCode;
}
FAKE_EXPORT int32_t QzGetStatus() {
  return Camera("QzGetStatus", {});
}
FAKE_EXPORT int32_t QzGetLastCmdstrVB() {
  return Camera("QzGetLastCmdstrVB", {});
}
FAKE_EXPORT uint8_t QzPicLastCmdVB(int32_t i) {
  return static_cast<uint8_t>(Camera("QzPicLastCmdVB", {i}) + i);
}
FAKE_EXPORT int32_t QzGetMsgVB(int32_t sequence) {
  state.calls.push_back("QzGetMsgVB(" + Join({sequence}) + ")");
  auto it = state.frames.find(sequence);
  if (it == state.frames.end()) {
    return 0;
  }
  std::fill(std::begin(state.message), std::end(state.message), 0);
  std::copy_n(it->second.begin(), std::min<size_t>(it->second.size(), 256), state.message);
  return state.lengthOverride >= 0 ? state.lengthOverride : static_cast<int32_t>(it->second.size());
}
FAKE_EXPORT uint8_t QzPicMsgVB(int32_t i) {
  return i >= 0 && i < 256 ? state.message[i] : 0;
}

FAKE_EXPORT int32_t QzSetZooming(int32_t u, int32_t m) {
  return Camera("QzSetZooming", {u, m});
}
FAKE_EXPORT int32_t QzGetZoomPosition(int32_t u) {
  return Camera("QzGetZoomPosition", {u});
}
FAKE_EXPORT int32_t QzSetMotorSpeed(int32_t u, int32_t m, int32_t s) {
  return Camera("QzSetMotorSpeed", {u, m, s});
}
FAKE_EXPORT int32_t QzSetPTAngle1(int32_t u, int32_t m, int32_t a, int32_t b) {
  return Camera("QzSetPTAngle1", {u, m, a, b});
}
FAKE_EXPORT int32_t QzSetIrLight(int32_t u, int32_t m) {
  return Camera("QzSetIrLight", {u, m});
}
FAKE_EXPORT int32_t QzGetIrCutFilter(int32_t u) {
  return Camera("QzGetIrCutFilter", {u});
}
