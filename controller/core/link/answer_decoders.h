// What each call's answer puts into CameraState: one decoder per row of the
// call list (library_calls.inc), chosen by the call that was answered, never
// by the text of some other frame.
#pragma once

#include <cstdint>

#include "core/link/answer_decoding.h"
#include "core/link/camera_state.h"
#include "core/link/library_call.h"

namespace qtr90x {

// What an answer told beyond CameraState.
struct AnswerNews {
  enum class Kind : std::uint8_t {
    kNone,
    kCameraCount,        // `value` cameras on the line (0: the query was refused)
    kRegisteredPresets,  // `value`: bit i = preset i+1 is stored
  };
  Kind kind = Kind::kNone;
  int value = 0;
};

// Decodes the answer to `call` into `state`. An error answer, or data that
// cannot be read, leaves the state as it is.
AnswerNews DecodeAnswer(const LibraryCall& call, const AnswerFrame& answer, CameraState& state);

// Whether an executed answer to `call` carries data (a query) or none (a
// setting): used to tell a late answer from the answer of a later call.
bool AnswerCarriesData(LibraryFunction function);
// How many data characters the camera answers a query with (the status
// words 5, 4 and 2, a motor speed 3, ...), 0 where it varies (the unit
// name) or there are none. A hint for telling answers apart, never a check
// on the answer itself.
int AnswerDataLength(LibraryFunction function);

}  // namespace qtr90x
