#include "camsim/cascade.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr uint8_t kCascadeCommand = 0x8F;

uint8_t AddressChar(int address) {
  return static_cast<uint8_t>('0' + address);
}

}  // namespace

Duration ByteTime(int baud) {
  return std::chrono::round<Duration>(std::chrono::duration<double>(10.0 / baud));
}

Cascade::Cascade(const CascadeConfig& config, TimePoint now)
    : byteTime_(config.byteTime),
      replyDelay_(config.replyDelay),
      receiveFreeAt_(now),
      lineFreeAt_(now) {
  cameras_.reserve(config.models.size());
  for (size_t i = 0; i < config.models.size(); ++i) {
    cameras_.emplace_back(static_cast<int>(i + 1), *config.models[i], config.timings,
                          config.powerOn, config.pedestalReady, now);
  }
}

void Cascade::Feed(const uint8_t* data, size_t size, TimePoint now) {
  for (size_t i = 0; i < size; ++i) {
    // Each byte takes one byte time on the line. A host that writes faster
    // than the line builds a backlog; it is capped so that a flood cannot
    // postpone the answers without bound.
    receiveFreeAt_ = std::min(std::max(now, receiveFreeAt_) + byteTime_, now + kMaxReceiveBacklog);
    if (reader_.Push(data[i])) {
      HandleFrame(reader_.Frame(), receiveFreeAt_ + replyDelay_);
    }
  }
}

// Executes one received frame at time now, the moment the camera answers.
void Cascade::HandleFrame(std::span<const uint8_t> frame, TimePoint now) {
  std::optional<CommandFrame> command = ParseCommandFrame(frame);
  if (!command) {
    ++stats_.ignored;
    return;
  }
  if (command->address > CameraCount()) {
    ++stats_.unaddressed;  // nobody on the line answers
    return;
  }
  ++stats_.commands;
  TimePoint answerAt = now;
  if (std::optional<Fault> fault = TakeFault(command->command)) {
    if (fault->late) {
      // Executed as ever; only its answer (and what follows) waits.
      answerAt = now - replyDelay_ + *fault->late;
      heldUntil_ = std::max(heldUntil_, answerAt);
    } else {
      if (!fault->noAnswer) {
        Enqueue(now, BuildAnswer(AddressChar(command->address), fault->code, ""));
      }
      return;
    }
  }
  Settle(now);
  std::vector<Emission> notifications;
  Bytes answer;
  if (command->address == 0) {
    answer = HandleBroadcast(*command, now, notifications);
  } else {
    Reply reply = cameras_[static_cast<size_t>(command->address - 1)].Handle(
        command->command, command->args, now, notifications);
    answer = BuildAnswer(AddressChar(command->address), reply.code, reply.data);
  }
  Enqueue(answerAt, std::move(answer));
  EnqueueAll(notifications);
}

// Address 0 reaches every camera and gets one answer. The cascade query
// answers with the number of cameras in the address position; any other
// command is executed by each camera, the answer carries the first refusal (in
// address order) or, when all accepted, camera 1's data.
Bytes Cascade::HandleBroadcast(const CommandFrame& command, TimePoint now,
                               std::vector<Emission>& out) {
  if (command.command == kCascadeCommand) {
    if (command.args == "1") {
      return BuildAnswer(AddressChar(CameraCount()), kDone, "");
    }
    return BuildAnswer('0', command.args == "0" ? kDone : kBadParameter, "");
  }
  Code code = kDone;
  std::string data;
  for (CameraModel& camera : cameras_) {
    Reply reply = camera.Handle(command.command, command.args, now, out);
    if (camera.Address() == 1) {
      data = reply.data;
    }
    if (code == kDone && reply.code != kDone) {
      code = reply.code;
    }
  }
  return BuildAnswer('0', code, code == kDone ? data : "");
}

std::optional<Cascade::Fault> Cascade::TakeFault(uint8_t command) {
  auto it = std::find_if(faults_.begin(), faults_.end(), [command](const Fault& fault) {
    return !fault.command || *fault.command == command;
  });
  if (it == faults_.end()) {
    return std::nullopt;
  }
  Fault fault = *it;
  faults_.erase(it);
  return fault;
}

void Cascade::Settle(TimePoint now) {
  std::vector<Emission> emissions;
  for (CameraModel& camera : cameras_) {
    camera.Settle(now, emissions);
  }
  EnqueueAll(emissions);
}

void Cascade::EnqueueAll(std::vector<Emission>& emissions) {
  std::stable_sort(emissions.begin(), emissions.end(),
                   [](const Emission& a, const Emission& b) { return a.ready < b.ready; });
  for (Emission& emission : emissions) {
    Enqueue(emission.ready, std::move(emission.frame));
  }
}

void Cascade::Enqueue(TimePoint ready, Bytes frame, bool splittable) {
  if (queue_.size() >= kMaxQueuedFrames) {
    ++stats_.lost;
    return;
  }
  ready = std::max(ready, heldUntil_);
  Outgoing outgoing{std::move(frame), 0};
  if (splittable && splitNext_ && outgoing.bytes.size() >= 2) {
    outgoing.splitAt = outgoing.bytes.size() / 2;
    splitNext_ = false;
  }
  queue_.emplace(ready, std::move(outgoing));
}

TimePoint Cascade::Finish(TimePoint ready, size_t count) const {
  return std::max(ready, lineFreeAt_) + byteTime_ * static_cast<int64_t>(count);
}

std::vector<Bytes> Cascade::TakeDue(TimePoint now) {
  Settle(now);
  std::vector<Bytes> due;
  for (;;) {
    if (continuation_) {
      TimePoint done = Finish(continuationReady_, continuation_->size());
      if (done > now) {
        break;
      }
      lineFreeAt_ = done;
      due.push_back(std::move(*continuation_));
      continuation_.reset();
      continue;
    }
    if (queue_.empty()) {
      break;
    }
    auto head = queue_.begin();
    Outgoing& outgoing = head->second;
    size_t count = outgoing.splitAt ? outgoing.splitAt : outgoing.bytes.size();
    TimePoint done = Finish(head->first, count);
    if (done > now) {
      break;
    }
    lineFreeAt_ = done;
    if (outgoing.splitAt) {
      auto middle = outgoing.bytes.begin() + static_cast<std::ptrdiff_t>(outgoing.splitAt);
      continuation_ = Bytes(middle, outgoing.bytes.end());
      continuationReady_ = done + kSplitGap;
      due.emplace_back(outgoing.bytes.begin(), middle);
    } else {
      due.push_back(std::move(outgoing.bytes));
    }
    queue_.erase(head);
  }
  return due;
}

std::optional<TimePoint> Cascade::NextDueTime() const {
  std::optional<TimePoint> next;
  auto consider = [&next](TimePoint t) {
    if (!next || t < *next) {
      next = t;
    }
  };
  if (continuation_) {
    consider(Finish(continuationReady_, continuation_->size()));
  } else if (!queue_.empty()) {
    const auto& [ready, outgoing] = *queue_.begin();
    consider(Finish(ready, outgoing.splitAt ? outgoing.splitAt : outgoing.bytes.size()));
  }
  for (const CameraModel& camera : cameras_) {
    if (auto t = camera.NextEventTime()) {
      consider(*t);
    }
  }
  return next;
}

Cascade::Stats Cascade::GetStats() const {
  Stats stats = stats_;
  stats.dropped = reader_.DroppedFrames();
  return stats;
}

ControlOutcome Cascade::Apply(const ControlCommand& command, TimePoint now) {
  using Kind = ControlCommand::Kind;
  if (command.camera > CameraCount()) {
    return {false, "no camera " + std::to_string(command.camera) + " (the cascade has " +
                       std::to_string(CameraCount()) + ")"};
  }
  Settle(now);
  std::vector<Emission> emissions;
  CameraModel* camera =
      command.camera > 0 ? &cameras_[static_cast<size_t>(command.camera - 1)] : nullptr;
  bool needsCamera = command.kind == Kind::kSensor || command.kind == Kind::kPower ||
                     command.kind == Kind::kRemote || command.kind == Kind::kGlobal;
  if (needsCamera && !camera) {
    return {false, "no camera given"};
  }
  ControlOutcome outcome{true, "ok"};
  switch (command.kind) {
    case Kind::kSensor:
      if (!camera->SetSensorInput(command.value, now, emissions)) {
        outcome = {false, "camera " + std::to_string(command.camera) + " (" +
                              std::string(camera->Model().unitName) + ") has no sensor input"};
      }
      break;
    case Kind::kPower:
      camera->PressPower(command.on, now, emissions);
      break;
    case Kind::kInject:
    case Kind::kNoAnswer:
    case Kind::kLate:
      if (faults_.size() >= kMaxFaults) {
        return {false, "too many pending faults (clear them with: clear)"};
      }
      faults_.push_back({command.kind == Kind::kNoAnswer, command.code, command.command,
                         command.kind == Kind::kLate
                             ? std::optional<Duration>(std::chrono::milliseconds(command.lateMs))
                             : std::nullopt});
      break;
    case Kind::kStray:
      Enqueue(now, command.bytes, false);
      break;
    case Kind::kSplit:
      splitNext_ = true;
      break;
    case Kind::kRemote:
    case Kind::kGlobal: {
      bool sent = false;
      if (command.kind == Kind::kRemote) {
        camera->SignalRemote(command.on, now, emissions, &sent);
      } else {
        camera->SignalGlobal(now, emissions, &sent);
      }
      if (!sent) {
        outcome.text = "ok (not sent: the camera's notification is off)";
      }
      break;
    }
    case Kind::kState: {
      Stats stats = GetStats();
      outcome.text =
          "line cameras=" + std::to_string(CameraCount()) +
          " commands=" + std::to_string(stats.commands) +
          " ignored=" + std::to_string(stats.ignored) +
          " unaddressed=" + std::to_string(stats.unaddressed) +
          " dropped=" + std::to_string(stats.dropped) + " lost=" + std::to_string(stats.lost) +
          " faults=" + std::to_string(faults_.size()) + " split=" + (splitNext_ ? "next" : "off");
      for (const CameraModel& each : cameras_) {
        if (!camera || camera == &each) {
          outcome.text += "\n" + each.Describe(now);
        }
      }
      break;
    }
    case Kind::kClear:
      faults_.clear();
      splitNext_ = false;
      break;
    case Kind::kUnplug:
    case Kind::kReplug:
      // The line itself is the server's (SimServer); a cascade has no plug.
      return {false, "no line to unplug here"};
    case Kind::kHelp:
      outcome.text = std::string(ControlHelp());
      while (!outcome.text.empty() && outcome.text.back() == '\n') {
        outcome.text.pop_back();
      }
      break;
  }
  EnqueueAll(emissions);
  return outcome;
}

}  // namespace camsim
