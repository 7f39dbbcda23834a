#include "core/error_evaluation.h"

#include "core/answer_decoding.h"
#include "resources/string_ids.h"

namespace qtr90x {

namespace {

// "31" -> '1' -> 1; a byte that is not a decimal digit's character counts 0.
int DigitOfHexByte(std::string_view two) {
  if (two.size() < 2)
    return 0;
  const int hi = HexDigit(two[0]);
  const int lo = HexDigit(two[1]);
  if (hi < 0 || lo < 0)
    return 0;
  const int ch = hi * 16 + lo;
  return (ch >= '0' && ch <= '9') ? ch - '0' : 0;
}

}  // namespace

AnswerError EvaluateAnswerCode(std::string_view code) {
  AnswerError result;
  if (code == "30 30")
    return result;
  result.isError = true;
  if (code.size() >= 5) {
    result.codeNumber = DigitOfHexByte(code.substr(0, 2)) * 10 + DigitOfHexByte(code.substr(3, 2));
  }
  if (code.size() >= 2 && code.substr(code.size() - 2) == "31") {
    result.stringId = str::kFatalError;
    result.labelType = 5;
  } else if (code == "31 30") {
    result.stringId = str::kCameraBusy;
    result.labelType = 2;
  } else if (code == "35 30") {
    result.stringId = str::kWrongParameter;
    result.labelType = 3;
  } else if (code == "39 30") {
    result.stringId = str::kWrongMode;
    result.labelType = 4;
  } else if (code == "33 30") {
    result.stringId = str::kNotExecuted;
    result.labelType = 10;
  }
  return result;
}

}  // namespace qtr90x
