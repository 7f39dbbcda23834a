#include "core/link/command_path.h"

#include <chrono>

#include "core/link/answer_decoders.h"

namespace qtr90x {

namespace {

// The address a raw frame is sent to, or nullopt when it is no command frame.
std::optional<int> RawFrameAddress(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 6 || bytes[0] != 0xFF || bytes[1] != '0' || bytes[3] != 0x00 ||
      bytes.back() != 0xEF || bytes[2] < '0' || bytes[2] > '9')
    return std::nullopt;
  return bytes[2] - '0';
}

}  // namespace

Micros SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

CommandPath::CommandPath(LibraryPort& port, std::function<Micros()> clock)
    : port_(port), clock_(std::move(clock)) {}

CallInFlight CommandPath::Record(CallTag tag) {
  CallInFlight entry;
  entry.id = nextId_++;
  entry.tag = tag;
  entry.sent = Now();
  // This call's answer comes after the answers of every call ahead of it.
  entry.deadline = entry.sent + calls_.LineTimeAhead(kLineBaud) +
                   LineTime(kLongestCommandBytes + kLongestAnswerBytes, kLineBaud) +
                   kCameraAnswerTime;
  return entry;
}

std::optional<std::uint64_t> CommandPath::Send(const LibraryCall& call, CallTag tag) {
  CallInFlight entry = Record(tag);
  entry.call = call;
  // The line's own commands are answered by address 0, except the camera
  // count, which the line answers in the address byte.
  entry.address = call.function == LibraryFunction::kQzSetCascade ? -1 : call.camera;
  entry.carriesData = AnswerCarriesData(call.function);
  entry.dataLength = AnswerDataLength(call.function);
  calls_.Add(entry);
  SentFrame sent;
  if (!port_.Send(call, sent)) {
    calls_.Remove(entry.id);
    return std::nullopt;
  }
  if (CallInFlight* recorded = calls_.Find(entry.id))
    recorded->frame = sent;
  return entry.id;
}

bool CommandPath::SendRaw(std::span<const std::uint8_t> bytes, CallTag tag) {
  const std::optional<int> address = RawFrameAddress(bytes);
  CallInFlight entry = Record(tag);
  if (address) {
    entry.raw = true;
    entry.address = *address;
    entry.anyShape = true;
    entry.frame.Assign(bytes);
    calls_.Add(entry);
  }
  if (!port_.SendRaw(bytes)) {
    calls_.Remove(entry.id);
    return false;
  }
  return true;
}

}  // namespace qtr90x
