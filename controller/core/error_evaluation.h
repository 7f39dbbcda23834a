// Evaluation of a camera answer's two-byte answer code ("30 30" means no error).
#pragma once

#include <string_view>

namespace qtr90x {

struct AnswerError {
  bool isError = false;  // false only for "30 30"
  int stringId = 0;      // 0: no text
  int labelType = 0;     // debug window label type
  int codeNumber = 0;    // the two code bytes read as decimal digits
};

// code: the answer code as hex text, "XX YY". A code ending in "31" is a
// fatal error whatever its first byte.
AnswerError EvaluateAnswerCode(std::string_view code);

}  // namespace qtr90x
