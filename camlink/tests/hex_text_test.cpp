#include "camlink/hex_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qzlink {
namespace {

TEST(FormatTrafficText, WritesUpperCaseHexSeparatedByBlanks) {
  const uint8_t frame[] = {0xFF, 0x30, 0x30, 0x00, 0x8F, 0x31, 0xEF};
  char text[64];
  EXPECT_EQ(FormatTrafficText(frame, sizeof frame, text, sizeof text), 20u);
  EXPECT_STREQ(text, "FF 30 30 00 8F 31 EF");
}

TEST(FormatTrafficText, CutsWhatDoesNotFitAndNeverOverruns) {
  const uint8_t frame[] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
  struct Case {
    size_t size;
    const char* expected;
  };
  const Case cases[] = {
      {1, ""},
      {2, ""},
      {3, ".."},
      {4, ".."},
      {5, "FE.."},
      {16, "FE 30 31 30.."},
      {17, "FE 30 31 30 30.."},
      {18, "FE 30 31 30 30 EF"},
      {64, "FE 30 31 30 30 EF"},
  };
  for (const Case& c : cases) {
    char buffer[80];
    std::memset(buffer, '#', sizeof buffer);
    const size_t length = FormatTrafficText(frame, sizeof frame, buffer, c.size);
    EXPECT_STREQ(buffer, c.expected) << "size " << c.size;
    EXPECT_EQ(length, std::strlen(c.expected));
    for (size_t i = c.size; i < sizeof buffer; ++i) {
      ASSERT_EQ(buffer[i], '#') << "size " << c.size << " wrote at " << i;
    }
  }
}

}  // namespace
}  // namespace qzlink
