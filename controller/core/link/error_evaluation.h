// Evaluation of a camera answer's two code characters ("00" means executed).
#pragma once

#include <cstdint>

namespace qtr90x {

struct AnswerError {
  bool isError = false;  // false only for "00"
  int stringId = 0;      // 0: no text
  int labelType = 0;     // debug window label type
  int codeNumber = 0;    // the two code characters read as decimal digits
};

// A code ending in '1' is a fatal error whatever its first character. A
// character that is no decimal digit counts 0 in the code number.
AnswerError EvaluateAnswerCode(std::uint8_t first, std::uint8_t second);

}  // namespace qtr90x
