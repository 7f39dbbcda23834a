// The command template table: 166 rows, each a complete command frame except
// for the camera address character and the parameter characters.
#pragma once

#include <cstdint>
#include <span>

namespace qzlink {

// Placeholder byte for one parameter character in a template.
inline constexpr uint8_t kPlaceholder = 0x2A;

// One row of the table. bytes holds the frame; past length it is zero.
struct CommandTemplate {
  uint16_t commandId;
  uint16_t hasParameters;  // nonzero for the rows with parameter slots
  uint16_t length;         // frame length, 6 to 15
  uint8_t bytes[18];
};

enum class SlotEncoding : uint8_t {
  kHex,    // upper-case hex, zero-padded to the width
  kHex16,  // the low 16 bits, as kHex
  kDec,    // decimal, zero-padded to the width
};

// One parameter slot of a template: offset and width in the frame, the
// encoding, and which parameter value (0 for p1, 1 for p2, 2 for p3) fills it.
struct ParameterSlot {
  uint8_t offset;
  uint8_t width;
  SlotEncoding encoding;
  uint8_t parameter;
};

inline constexpr int kTemplateCount = 166;

// The whole table, in ascending order of command identifier.
std::span<const CommandTemplate, kTemplateCount> CommandTemplates();

// Index of the row with this command identifier, or -1.
int FindTemplate(int commandId);

// The parameter slots of a command identifier, in fill order; empty for a
// template without parameters or an unknown identifier.
std::span<const ParameterSlot> ParameterSlotsOf(int commandId);

}  // namespace qzlink
