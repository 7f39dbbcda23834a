#include "core/link/error_evaluation.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace qtr90x {
namespace {

struct Case {
  const char* code;  // the two code characters; fewer when the answer was cut short
  bool isError;
  int stringId;
  int labelType;
  int codeNumber;
};

TEST(ErrorEvaluation, MapsEachAnswerCode) {
  const Case cases[] = {
      {"00", false, 0, 0, 0},
      {"10", true, str::kCameraBusy, 2, 10},
      {"50", true, str::kWrongParameter, 3, 50},
      {"90", true, str::kWrongMode, 4, 90},
      {"30", true, str::kNotExecuted, 10, 30},
      // A code ending in 1 wins over every other code.
      {"11", true, str::kFatalError, 5, 11},
      {"01", true, str::kFatalError, 5, 1},
      {"40", true, 0, 0, 40},
      // Cut short, or characters that are no digits.
      {"", true, 0, 0, 0},
      {"Z0", true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const std::string code = c.code;
    // A frame too short for its code has none: both characters read as 0.
    const auto at = [&](std::size_t i) {
      return static_cast<std::uint8_t>(i < code.size() ? code[i] : 0);
    };
    const AnswerError e = EvaluateAnswerCode(at(0), at(1));
    EXPECT_EQ(e.isError, c.isError);
    EXPECT_EQ(e.stringId, c.stringId);
    EXPECT_EQ(e.labelType, c.labelType);
    EXPECT_EQ(e.codeNumber, c.codeNumber);
  }
}

TEST(StringTable, KnownAndUnknownIds) {
  EXPECT_STREQ(LoadString(str::kFailedToOpenCom), "Failed to open COM%d");
  EXPECT_STREQ(LoadString(str::kAppTitle), "QT-R90x Controler");
  EXPECT_STREQ(LoadString(1), "");
}

}  // namespace
}  // namespace qtr90x
