#include "camlink/frame_kind.h"

namespace qzlink {
namespace {

struct KindByFirstByte {
  uint8_t firstByte;
  FrameKind kind;
};

constexpr KindByFirstByte kKinds[] = {
    {0xFE, {"ack", kAckRxMessage, 1}},
    {0xFA, {"notify", kNotifyRxMessage, 1}},
    {0xFD, {"remote on", kNotifyRxMessage, 2}},
    {0xFC, {"remote off", kNotifyRxMessage, 3}},
    {0xF8, {"global notify", kNotifyRxMessage, 4}},
    {0xFB, {"detect", kNotifyRxMessage, 5}},
};

}  // namespace

const FrameKind* ClassifyFrame(uint8_t firstByte) {
  for (const KindByFirstByte& entry : kKinds) {
    if (entry.firstByte == firstByte) {
      return &entry.kind;
    }
  }
  return nullptr;
}

}  // namespace qzlink
