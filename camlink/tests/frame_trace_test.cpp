#include "camlink/frame_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
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

TEST(FrameTrace, OffWithoutTheVariable) {
  unsetenv("QZLINK_TRACE");
  FrameTrace trace;
  EXPECT_FALSE(trace.Enabled());
  const uint8_t frame[] = {0xFE, 0xEF};
  trace.Frame(TraceDirection::kSent, frame, sizeof frame);  // does nothing
}

TEST(FrameTrace, WritesOneLinePerFrameWithTimeAndDirection) {
  const std::string path = testing::TempDir() + "qzlink-trace-test.log";
  std::remove(path.c_str());
  setenv("QZLINK_TRACE", path.c_str(), 1);
  {
    FrameTrace trace;
    ASSERT_TRUE(trace.Enabled());
    const uint8_t sent[] = {0xFF, 0x30, 0x31, 0x00, 0xA2, 0x32, 0xEF};
    const uint8_t received[] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    trace.Frame(TraceDirection::kSent, sent, sizeof sent);
    trace.Frame(TraceDirection::kReceived, received, sizeof received, "(cut)");
    trace.Frame(TraceDirection::kNote, nullptr, 0, "port closed");
  }
  unsetenv("QZLINK_TRACE");
  std::ifstream in(path);
  std::string line;
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6} )";
  const std::regex expected[] = {
      std::regex(stamp + "send FF 30 31 00 A2 32 EF"),
      std::regex(stamp + R"(recv FE 30 31 30 30 EF \(cut\))"),
      std::regex(stamp + "note port closed"),
  };
  for (const std::regex& pattern : expected) {
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_TRUE(std::regex_match(line, pattern)) << line;
  }
  EXPECT_FALSE(std::getline(in, line));
}

}  // namespace
}  // namespace qzlink
