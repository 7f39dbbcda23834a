#include "camlink/frame_builder.h"

#include <cstdio>
#include <cstring>

namespace qzlink {

bool RenderSlot(int32_t value, uint8_t width, SlotEncoding encoding, uint8_t* out) {
  // Large enough for any 32-bit value in any encoding plus the terminator.
  char text[16];
  int length = 0;
  switch (encoding) {
    case SlotEncoding::kHex:
      length = std::snprintf(text, sizeof text, "%0*X", width, static_cast<unsigned>(value));
      break;
    case SlotEncoding::kHex16:
      length =
          std::snprintf(text, sizeof text, "%0*X", width, static_cast<unsigned>(value) & 0xFFFFu);
      break;
    case SlotEncoding::kDec:
      length = std::snprintf(text, sizeof text, "%0*d", width, value);
      break;
  }
  if (length < 0 || length > width) {
    return false;
  }
  std::memcpy(out, text, width);
  return true;
}

int BuildCommandFrame(int commandId, int cameraAddress, FrameBuildState& state) {
  state.currentTemplate = -1;
  const int row = FindTemplate(commandId);
  if (row < 0) {
    return 0;
  }
  const CommandTemplate& command = CommandTemplates()[row];
  std::memset(state.commandBuffer, 0, sizeof state.commandBuffer);
  std::memcpy(state.commandBuffer, command.bytes, command.length);
  state.currentTemplate = row;

  if (cameraAddress >= 0 && cameraAddress <= 9) {
    state.commandBuffer[2] = static_cast<uint8_t>('0' + cameraAddress);
  }
  if (command.hasParameters != 0) {
    for (const ParameterSlot& slot : ParameterSlotsOf(commandId)) {
      if (!RenderSlot(state.parameters[slot.parameter], slot.width, slot.encoding,
                      state.commandBuffer + slot.offset)) {
        return 0;
      }
    }
  }
  return command.length;
}

}  // namespace qzlink
