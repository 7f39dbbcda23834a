#include "core/error_evaluation.h"

#include <gtest/gtest.h>

#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace qtr90x {
namespace {

struct Case {
  const char* code;
  bool isError;
  int stringId;
  int labelType;
  int codeNumber;
};

TEST(ErrorEvaluation, MapsEachAnswerCode) {
  const Case cases[] = {
      {"30 30", false, 0, 0, 0},
      {"31 30", true, str::kCameraBusy, 2, 10},
      {"35 30", true, str::kWrongParameter, 3, 50},
      {"39 30", true, str::kWrongMode, 4, 90},
      {"33 30", true, str::kNotExecuted, 10, 30},
      // "ends in 31" wins over every other code.
      {"31 31", true, str::kFatalError, 5, 11},
      {"30 31", true, str::kFatalError, 5, 1},
      {"34 30", true, 0, 0, 40},
      // Short or malformed codes never read out of range.
      {"", true, 0, 0, 0},
      {"3", true, 0, 0, 0},
      {"ZZ 30", true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const AnswerError e = EvaluateAnswerCode(c.code);
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
