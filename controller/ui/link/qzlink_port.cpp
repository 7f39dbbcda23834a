#include "ui/link/qzlink_port.h"

#include <algorithm>
#include <utility>

#include "camlink/qzlink.h"

namespace qtr90x {

static_assert(kAckRxMessage == AckRxMessage && kNotifyRxMessage == NotifyRxMessage);

namespace {

// Calls `fn` with the camera address and the call's arguments; the list's
// argument count must match the export's.
template <int ArgCount, typename... Params>
int Invoke(int32_t(QZLINK_CALL* fn)(Params...), const LibraryCall& call) {
  static_assert(sizeof...(Params) == ArgCount + 1, "library_calls.inc disagrees with qzlink.h");
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    return fn(call.camera, call.args[I]...);
  }
  (std::make_index_sequence<ArgCount>{});
}

int Dispatch(const LibraryCall& call) {
  switch (call.function) {
#define QZ_LIBRARY_CALL(name, argCount, answerLength, decoder, arguments) \
  case LibraryFunction::k##name:                                          \
    return Invoke<argCount>(&::name, call);
#include "core/link/library_calls.inc"
#undef QZ_LIBRARY_CALL
  }
  return 0;
}

}  // namespace

bool QzlinkPort::Open(HWND window, int port) {
  return QzOpen(window, port, 9600, 8, 0, 0) != 0;
}

int QzlinkPort::LastError(int* systemCode) const {
  int32_t code = 0;
  const int error = QzGetLastError(&code);
  if (systemCode != nullptr)
    *systemCode = code;
  return error;
}

bool QzlinkPort::Close() {
  return QzClose() != 0;
}

int QzlinkPort::LinkState() const {
  return QzGetLinkState();
}

bool QzlinkPort::Send(const LibraryCall& call, SentFrame& sent) {
  if (Dispatch(call) == 0)
    return false;
  std::uint8_t bytes[SentFrame::kCapacity] = {};
  const int length = std::clamp(static_cast<int>(QzGetLastCmdstr(bytes)), 0,
                                static_cast<int>(SentFrame::kCapacity));
  sent.Assign({bytes, static_cast<std::size_t>(length)});
  return true;
}

bool QzlinkPort::SendRaw(std::span<const std::uint8_t> bytes) {
  return !bytes.empty() &&
         QzSetManualCommand(bytes.data(), static_cast<int32_t>(bytes.size())) != 0;
}

std::size_t QzlinkPort::FetchFrame(int sequence,
                                   std::span<std::uint8_t, kFrameCapacity> frame) const {
  std::fill(frame.begin(), frame.end(), std::uint8_t{0});
  const int length = QzGetMsg(sequence, frame.data());
  return static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(kFrameCapacity)));
}

}  // namespace qtr90x
