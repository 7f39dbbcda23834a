#include "core/link/error_evaluation.h"

#include "resources/string_ids.h"

namespace qtr90x {

namespace {

int DigitValue(std::uint8_t c) {
  return (c >= '0' && c <= '9') ? c - '0' : 0;
}

}  // namespace

AnswerError EvaluateAnswerCode(std::uint8_t first, std::uint8_t second) {
  AnswerError result;
  if (first == '0' && second == '0')
    return result;
  result.isError = true;
  result.codeNumber = DigitValue(first) * 10 + DigitValue(second);
  if (second == '1') {
    result.stringId = str::kFatalError;
    result.labelType = 5;
  } else if (first == '1' && second == '0') {
    result.stringId = str::kCameraBusy;
    result.labelType = 2;
  } else if (first == '5' && second == '0') {
    result.stringId = str::kWrongParameter;
    result.labelType = 3;
  } else if (first == '9' && second == '0') {
    result.stringId = str::kWrongMode;
    result.labelType = 4;
  } else if (first == '3' && second == '0') {
    result.stringId = str::kNotExecuted;
    result.labelType = 10;
  }
  return result;
}

}  // namespace qtr90x
