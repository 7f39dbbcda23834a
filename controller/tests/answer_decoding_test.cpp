#include "core/answer_decoding.h"

#include <gtest/gtest.h>

namespace qtr90x {
namespace {

TEST(AnswerDecoding, Values) {
  struct Case {
    const char* answer;
    std::optional<std::uint32_t> value;
  };
  const Case cases[] = {
      {"FE 30 30 30 30 31 32 EF", 0x12},
      {"fe 30 30 30 30 41 62 ef", 0xAB},              // letter case of tokens and digits ignored
      {"FE 30 30 30 30 EF", std::nullopt},            // no data
      {"FE 30 30 30", std::nullopt},                  // short answer
      {"FE 30 30 30 30 3G EF", std::nullopt},         // token not hex
      {"FE 30 30 30 30 5A EF", std::nullopt},         // 'Z' is not a hex digit
      {"FE 30 30 30 30 31 32 33 34 35 EF", 0x12345},  // five-digit status word
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(AnswerValue(c.answer), c.value);
  }
}

TEST(AnswerDecoding, TextKeepsKnownCharactersOnly) {
  EXPECT_EQ(AnswerDataText("FE 30 30 30 30 51 54 2D 52 37 EF"), "QT-R7");
  EXPECT_EQ(AnswerDataText("FE 30 30 30 30 51 2A EF"), std::string("Q\xFF"));
}

TEST(AnswerDecoding, ExtendedStatusBits) {
  const ExtendedStatus idle = DecodeExtendedStatus(0);
  EXPECT_TRUE(idle.focusAuto && idle.pedestalInitialised && idle.cameraPower && idle.exposureAuto);
  EXPECT_FALSE(idle.localMode || idle.wbLock || idle.flickerless);
  const ExtendedStatus s = DecodeExtendedStatus((1u << 1) | (1u << 4) | (1u << 5) | (1u << 6) |
                                                (1u << 18) | (1u << 12) | (1u << 13) | (1u << 3));
  EXPECT_FALSE(s.focusAuto || s.pedestalInitialised || s.cameraPower || s.exposureAuto);
  EXPECT_TRUE(s.localMode && s.wbLock && s.flickerless);
  EXPECT_FALSE(DecodeExtendedStatus(1u << 6).localMode);  // needs bit 18 too
}

}  // namespace
}  // namespace qtr90x
