// The serial line with its cascade of simulated cameras: takes the bytes the
// host writes, answers each command frame, and schedules every frame the
// cameras send, paced as the line would carry them.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "camsim/camera_model.h"
#include "camsim/control_command.h"
#include "camsim/wire_format.h"

namespace camsim {

inline constexpr int kMaxCameras = 9;

struct CascadeConfig {
  std::vector<const ModelTraits*> models;  // one per camera, addresses 1..n
  bool powerOn = true;
  bool pedestalReady = true;
  Duration byteTime{};    // one byte on the line; zero: no pacing
  Duration replyDelay{};  // processing time before each answer
  CameraTimings timings;
};

// The time one byte takes at this baud rate (ten bits: start, 8 data, stop).
Duration ByteTime(int baud);

// Result of a control command: whether it was accepted and the text to show.
struct ControlOutcome {
  bool ok = true;
  std::string text;
};

class Cascade {
 public:
  // Limits that keep memory bounded whatever the host sends.
  static constexpr size_t kMaxQueuedFrames = 1024;
  static constexpr size_t kMaxFaults = 16;
  static constexpr Duration kMaxReceiveBacklog = std::chrono::seconds(1);
  static constexpr Duration kSplitGap = Milliseconds(20);

  struct Stats {
    uint64_t commands = 0;     // command frames answered or faulted
    uint64_t ignored = 0;      // frames that are not command frames
    uint64_t unaddressed = 0;  // command frames for an address with no camera
    uint64_t dropped = 0;      // frames sent by the host that overflowed the receive buffer
    uint64_t lost = 0;         // outgoing frames dropped because the queue was full
  };

  Cascade(const CascadeConfig& config, TimePoint now);

  // Bytes written by the host, received at now.
  void Feed(const uint8_t* data, size_t size, TimePoint now);
  // The chunks (frames, parts of split frames, stray bytes) whose last byte
  // has arrived on the line by now, in order.
  std::vector<Bytes> TakeDue(TimePoint now);
  // When TakeDue has something next (or a camera completes an action).
  std::optional<TimePoint> NextDueTime() const;

  ControlOutcome Apply(const ControlCommand& command, TimePoint now);

  int CameraCount() const { return static_cast<int>(cameras_.size()); }
  Stats GetStats() const;

 private:
  struct Fault {
    bool noAnswer;
    Code code;
    std::optional<uint8_t> command;
    std::optional<Duration> late;  // executed, answered this long after arrival
  };
  struct Outgoing {
    Bytes bytes;
    size_t splitAt = 0;  // nonzero: send this many bytes, pause, then the rest
  };

  void HandleFrame(std::span<const uint8_t> frame, TimePoint now);
  Bytes HandleBroadcast(const CommandFrame& command, TimePoint now, std::vector<Emission>& out);
  std::optional<Fault> TakeFault(uint8_t command);
  void Settle(TimePoint now);
  void Enqueue(TimePoint ready, Bytes frame, bool splittable = true);
  void EnqueueAll(std::vector<Emission>& emissions);
  TimePoint Finish(TimePoint ready, size_t count) const;

  std::vector<CameraModel> cameras_;
  Duration byteTime_;
  Duration replyDelay_;
  FrameReader reader_;
  TimePoint receiveFreeAt_;
  TimePoint lineFreeAt_;
  std::multimap<TimePoint, Outgoing> queue_;  // by ready time, then insertion order
  std::optional<Bytes> continuation_;         // second part of a split frame
  TimePoint continuationReady_;
  std::deque<Fault> faults_;
  bool splitNext_ = false;
  // A late answer holds back every frame after it: the line answers in order.
  TimePoint heldUntil_{};
  Stats stats_;
};

}  // namespace camsim
