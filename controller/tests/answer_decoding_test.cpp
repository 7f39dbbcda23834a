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

TEST(AnswerDecoding, StatusWords) {
  struct Case {
    std::uint32_t word;
    bool onScreen, second;
    int date, time;
  };
  const Case cases[] = {
      {0x0000, false, false, 7, 4},
      {0x80 | 0x10 | 0x04, true, false, 8, 5},
      {0x40 | 0x30 | 0x0C, false, true, 8, 5},  // bit 4 wins over 5, bit 2 over 3
      {0x20 | 0x08, false, false, 9, 6},
      {0xFF00, false, false, 7, 4},  // high byte ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const DisplayStatus d = DecodeDisplayStatus(c.word);
    EXPECT_EQ(d.onScreen, c.onScreen);
    EXPECT_EQ(d.secondDisplay, c.second);
    EXPECT_EQ(d.dateDisplay, c.date);
    EXPECT_EQ(d.timeDisplay, c.time);
  }
  EXPECT_EQ(DecodeLedState(0x03, 9), 2);  // upper bits clear wins
  EXPECT_EQ(DecodeLedState(0x11, 9), 1);
  EXPECT_EQ(DecodeLedState(0x12, 9), 3);
  EXPECT_EQ(DecodeLedState(0x13, 9), 4);
  EXPECT_EQ(DecodeLedState(0x10, 9), 9);  // no meaning: unchanged
  EXPECT_EQ(DecodeElectronicZoom(0x12), 12);
  EXPECT_EQ(DecodeElectronicZoom(0x00), 0);
}

}  // namespace
}  // namespace qtr90x
