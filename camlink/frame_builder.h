// Builds command frames from the template table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camlink/command_templates.h"

namespace qzlink {

inline constexpr size_t kCommandBufferSize = 50;

// The inputs and outputs that frame building shares with the session.
struct FrameBuildState {
  int32_t parameters[3] = {0, 0, 0};  // p1, p2, p3
  int32_t currentTemplate = -1;       // row last built, or -1
  uint8_t commandBuffer[kCommandBufferSize] = {};
};

// Builds the frame for commandId addressed to cameraAddress into
// state.commandBuffer, reading p1 to p3 from state.parameters.
// Returns the frame length (6 to 15), or 0 when the identifier is unknown
// (the buffer then keeps its previous content) or a parameter does not fit
// its slot (the slots filled before keep their characters, later ones keep
// the placeholder). An address outside 0 to 9 leaves '0' in the frame.
int BuildCommandFrame(int commandId, int cameraAddress, FrameBuildState& state);

// Renders value into a slot of width characters with the given encoding.
// Returns false, writing nothing, when the rendering is longer than width.
// (Exposed for tests.)
bool RenderSlot(int32_t value, uint8_t width, SlotEncoding encoding, uint8_t* out);

}  // namespace qzlink
