// The engine's side of gamepad pacing: every call the gamepad sends is
// reported back exactly once, whether answered, refused, not written or
// given up, so that the gamepad never waits for an answer that cannot come.
#include <gtest/gtest.h>

#include <functional>

#include "core/engine/private_messages.h"
#include "tests/scripted_camera.h"

namespace qtr90x::test {
namespace {

TEST(GamepadFollowUp, EveryCallIsReportedOnce) {
  struct Case {
    const char* what;
    std::function<void(CameraScript&)> script;
    bool closeSession;
    std::intptr_t executed;
  };
  const Case cases[] = {
      {"answered", [](CameraScript&) {}, false, 1},
      {"refused", [](CameraScript& s) { s.refused = {"QzSetPanTilt2"}; }, false, 0},
      {"not written", [](CameraScript& s) { s.failingCalls = {1}; }, false, 0},
      {"never answered", [](CameraScript& s) { s.silent = {"QzSetPanTilt2"}; }, false, 0},
      {"session closed", [](CameraScript& s) { s.held = {"QzSetPanTilt2"}; }, true, 0},
  };
  for (const Case& c : cases) {
    CameraScript script;
    c.script(script);
    ScriptedCamera cam(script);
    cam.Feed([&](EngineActions& out) {
      cam.Engine().SendOperatorCall(MakeCall(LibraryFunction::kQzSetPanTilt2, 1, 3),
                                    AnswerFollowUp::kGamepadAnswered, out);
    });
    if (c.closeSession)
      cam.Feed([&](EngineActions& out) { cam.Engine().OnConnectionClosed(out); });
    cam.Advance(5 * kMicrosPerSecond);  // past every deadline
    int reports = 0;
    for (const act::Post& post : cam.ActionsOf<act::Post>()) {
      if (post.target != MessageTarget::kGamepad)
        continue;
      ++reports;
      EXPECT_EQ(post.message, um::kGamepadAnswered) << c.what;
      EXPECT_EQ(post.wParam, c.executed) << c.what;
    }
    EXPECT_EQ(reports, 1) << c.what;
  }
}

}  // namespace
}  // namespace qtr90x::test
