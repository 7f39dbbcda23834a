// The refresh sequences' step tables as data: for each SequenceKind and
// model column, the call of every step and the step count at which the
// sequence is complete.
#pragma once

#include <cstdint>
#include <span>

#include "core/engine/sequence_kind.h"
#include "core/link/library_call.h"

namespace qtr90x {

// Steps 7 on of the connect sequence (5 on of the camera change) depend on
// the model ("QT-R7" compared exactly) and on the pedestal being initialised.
enum class ModelColumn : std::uint8_t { kQtR7Ped, kQtR7NotPed, kOtherPed, kOtherNotPed };

ModelColumn ChooseModelColumn(bool isQtR7, bool pedestalInitialised);

// Where a step's arguments after the camera address come from.
enum class StepArgs : std::uint8_t {
  kFixed,           // `args`, `argCount` of them
  kFixedLine,       // the same, sent to address 0 (the whole line) instead of the camera
  kDate,            // year - 2000, month 1..12, day
  kTime,            // hour, minute, second
  kLocalMode,       // Local checked ? 1 : 0
  kOnScreenFirst,   // "On Screen" checked ? 1 : 0
  kOnScreenSecond,  // "On Screen" checked ? 3 : 2
};

// What a step waits for once the camera has executed it. A command that the
// camera completes later is followed by a notification; an error answer brings
// none, so the sequence then goes on at once.
enum class StepAwait : std::uint8_t {
  kAnswer,
  kPowerOnNotification,    // "00 A0 31" (camera power on, connect and change)
  kPedestalNotification,   // "00 58 30" (pedestal initialisation ended)
  kBacklightNotification,  // "00 A5 30" (backlight off)
  kPowerNotification,      // "00 A0" (power on or off from the System page)
};

struct StepSpec {
  LibraryFunction function;
  StepArgs source = StepArgs::kFixed;
  int argCount = 0;
  int args[2] = {0, 0};
  StepAwait await = StepAwait::kAnswer;
};

struct StepTable {
  std::span<const StepSpec> steps;
  // The step counter value at which the sequence is complete; -1 when only a
  // notification completes it (kinds 10 and 11).
  int completeAt = 0;
  // The same when the kind's first-read flag is clear (kinds 2 and 4).
  int completeAtNotFirstRead = 0;
  // Where the step counter starts when the first-read flag is clear.
  int firstStepNotFirstRead = 0;
};

// The table of `kind` for `column`; an empty table for a kind without steps.
StepTable StepTableOf(SequenceKind kind, ModelColumn column);

}  // namespace qtr90x
