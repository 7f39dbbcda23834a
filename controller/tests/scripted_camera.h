// A scripted camera for the sequence engine's tests: it takes the engine's
// library calls, answers each as the simulated camera does (frame texts
// included), and runs the main dialog's message loop around the engine:
// posted messages first, then the next frame from the line. Pages are
// stand-ins that end the sequence when their values arrive.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/sequence_engine.h"

namespace qtr90x::test {

struct CameraScript {
  std::string unitName = "QT-R90x";
  bool pedestalInitialised = true;
  bool powerOn = true;
  int cameras = 1;
  // The power comes on only when the test says so (ReleasePower).
  bool holdPowerOn = false;
  // Calls numbered from 1 that the library refuses (result 0).
  std::vector<int> failingCalls;
  // Exports whose commands the camera refuses with "39 30" (wrong mode).
  std::vector<std::string> refused;
  int panSpeed = 0x100;
  int tiltSpeed = 0x80;
  int zoomSpeed = 5;
};

struct Frame {
  bool notification = false;
  int kind = 1;  // notification kind
  std::string sent;
  std::string text;
};

class ScriptedCamera : public LibraryCaller {
 public:
  explicit ScriptedCamera(CameraScript script);

  int Call(const LibraryCall& call) override;

  // Runs posted messages and frames until nothing is left.
  void Run();
  // Takes the posted messages of an engine call and runs until idle.
  void Feed(const EngineActions& actions);
  // Takes them without running.
  void Take(const EngineActions& actions);

  // The power switched on late: its notification goes out now.
  void ReleasePower();
  // Puts a frame on the line as if the camera sent it.
  void Inject(Frame frame) { line_.push_back(std::move(frame)); }

  SequenceEngine& Engine() { return engine_; }
  CameraScript& Script() { return script_; }
  // Every call made, as "QzSetCascade(0, 1)".
  std::vector<std::string>& Calls() { return calls_; }
  std::vector<EngineAction>& Actions() { return actions_; }
  // Actions of one type.
  std::vector<EngineAction> ActionsOf(EngineAction::Type type) const;
  // Posted messages of one number.
  int CountPosted(int message) const;
  // Wait cursor begins minus ends, and whether an end ever came unbalanced.
  int CursorDepth() const { return cursorDepth_; }

 private:
  std::string FrameText(const LibraryCall& call) const;
  std::string Answer(const LibraryCall& call) const;
  void Dispatch(const EngineAction& post);
  void Deliver(const Frame& frame);
  void MessageStart();

  CameraScript script_;
  SequenceEngine engine_;
  std::deque<EngineAction> posted_;
  std::deque<Frame> line_;
  std::vector<Frame> heldPower_;
  std::vector<std::string> calls_;
  std::string lastSent_;  // what QzGetLastCmdstr would give
  std::vector<EngineAction> actions_;
  int cursorDepth_ = 0;
  bool timerRunning_ = false;
};

}  // namespace qtr90x::test
