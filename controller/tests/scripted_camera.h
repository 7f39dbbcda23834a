// A scripted camera for the sequence engine's tests: it stands in for the
// library port, keeps a camera's state, answers each call from that state as
// the simulated camera does (frames included), and runs the main dialog's
// message loop around the engine: posted messages first, then the next frame
// from the line. Pages are stand-ins that end the sequence when their values
// arrive. Time is the test's: the engine's deadlines pass only when a test
// advances the clock.
#pragma once

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "core/engine/sequence_engine.h"

namespace qtr90x::test {

// The camera's state, as the scripted camera keeps it.
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
  // Exports the camera never answers.
  std::vector<std::string> silent;
  // Exports whose answers wait until ReleaseHeld() (a camera that answers late).
  std::vector<std::string> held;
  // Exports whose completion notification never comes.
  std::vector<std::string> unnotified;

  int panSpeed = 0x100;
  int tiltSpeed = 0x80;
  int zoomSpeed = 5;
  bool externalLight = true;
  bool alarmOutput = false;
  int electronicZoom = 12;
  bool irCutFilter = false;
  int irLight = 3;
  int sensorInput = 2;
  int presets = 0x005;
};

struct Frame {
  bool notification = false;
  int kind = 1;  // notification kind
  std::string text;
};

class ScriptedCamera : public LibraryPort {
 public:
  explicit ScriptedCamera(CameraScript script = {});

  bool Send(const LibraryCall& call, SentFrame& sent) override;
  bool SendRaw(std::span<const std::uint8_t> bytes) override;

  // Runs posted messages and frames until nothing is left.
  void Run();
  // Opens the session on COM1 and runs the connect sequence to its end.
  void Connect();
  // Runs one engine event and takes what it returns: Feed runs until idle
  // afterwards, Take does not.
  void Feed(const std::function<void(EngineActions&)>& event);
  void Take(const std::function<void(EngineActions&)>& event);
  // Runs one posted message, else delivers the next frame on the line;
  // false when there is neither.
  bool RunOne();

  // The power switched on late: its notification goes out now.
  void ReleasePower();
  // Camera 1's own power switch: its power changes now and its notification
  // follows what is on the line. A power-on held back completes with it.
  void SwitchPower(bool on);
  // Answers held back go out now, in order.
  void ReleaseHeld();
  // Puts a frame on the line as if the camera sent it: after what is there,
  // or before it.
  void Inject(Frame frame) { line_.push_back(std::move(frame)); }
  void InjectFirst(Frame frame) { line_.push_front(std::move(frame)); }
  // Moves the clock on and gives the engine its deadlines, then runs.
  void Advance(Micros micros);

  SequenceEngine& Engine() { return engine_; }
  CameraScript& Script() { return script_; }
  Micros Now() const { return now_; }
  // Every call made, as "QzSetCascade(0, 1)".
  std::vector<std::string>& Calls() { return calls_; }
  std::vector<EngineAction>& Actions() { return actions_; }
  // Actions of one kind.
  template <typename A>
  std::vector<A> ActionsOf() const {
    std::vector<A> found;
    for (const EngineAction& a : actions_) {
      if (const A* each = std::get_if<A>(&a))
        found.push_back(*each);
    }
    return found;
  }
  // Posted messages of one number.
  int CountPosted(int message) const;
  // Debug lines of one type.
  std::vector<std::string> Lines(int type) const;
  // Wait cursor begins minus ends.
  int CursorDepth() const { return cursorDepth_; }

 private:
  std::string FrameText(const LibraryCall& call) const;
  std::string Answer(const LibraryCall& call) const;
  void Apply(const LibraryCall& call);
  void Dispatch(const act::Post& post);
  void Deliver(const Frame& frame);
  void MessageStart();
  void TakeActions(const EngineActions& actions);

  CameraScript script_;
  SequenceEngine engine_;
  Micros now_ = 1'000'000;
  std::deque<act::Post> posted_;
  std::deque<Frame> line_;
  std::vector<Frame> heldPower_;
  std::deque<Frame> heldAnswers_;
  std::vector<std::string> calls_;
  std::vector<EngineAction> actions_;
  int cursorDepth_ = 0;
};

// Readable test failures.
void PrintTo(const act::DebugLine& line, std::ostream* os);
void PrintTo(const act::Post& post, std::ostream* os);

}  // namespace qtr90x::test
