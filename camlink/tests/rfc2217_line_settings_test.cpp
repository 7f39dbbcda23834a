// A line's settings as device server requests, and the verdict on what the
// server answered.
#include "camlink/rfc2217_line_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qzlink {
namespace {

constexpr uint8_t IAC = 255, SB = 250, SE = 240;

// The server's acknowledgement of one request, with the value it set.
void Answer(Rfc2217Protocol& p, const Rfc2217Setting& s, uint32_t value) {
  std::vector<uint8_t> in = {IAC, SB, 44, static_cast<uint8_t>(static_cast<int>(s.command) + 100)};
  for (size_t i = s.size; i-- > 0;) {
    in.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  in.insert(in.end(), {IAC, SE});
  std::vector<uint8_t> data(in.size());
  p.Decode(in.data(), in.size(), data.data());
}

TEST(Rfc2217LineSettings, SettingsBecomeTheServersValuesOrAreRefused) {
  struct Case {
    Rfc2217Line line;
    bool noModemLines;
    bool valid;
    std::vector<uint32_t> values;  // baud, data size, parity, stop size, control
  };
  const Case cases[] = {
      {{9600, 8, 0, 0}, false, true, {9600, 8, 1, 1, control::kHardwareFlowControl}},
      {{38400, 7, 2, 1}, true, true, {38400, 7, 3, 3, control::kNoFlowControl}},
      {{19200, 5, 4, 2}, false, true, {19200, 5, 5, 2, control::kHardwareFlowControl}},
      {{0, 8, 0, 0}, false, false, {}},
      {{9600, 4, 0, 0}, false, false, {}},
      {{9600, 9, 0, 0}, false, false, {}},
      {{9600, 8, 5, 0}, false, false, {}},
      {{9600, 8, -1, 0}, false, false, {}},
      {{9600, 8, 0, 3}, false, false, {}},
  };
  for (const Case& c : cases) {
    Rfc2217LineRequests requests;
    ASSERT_EQ(MakeLineRequests(c.line, c.noModemLines, &requests), c.valid) << c.line.baudRate;
    if (!c.valid) {
      continue;
    }
    std::vector<uint32_t> values;
    for (const Rfc2217Setting& s : requests.settings) {
      values.push_back(s.value);
    }
    EXPECT_EQ(values, c.values) << c.line.baudRate;
  }
}

TEST(Rfc2217LineSettings, TheVerdictNamesTheFirstSettingNotConfirmed) {
  struct Case {
    const char* what;
    bool noModemLines;
    int differs;     // index of the request answered with another value, or -1
    int unanswered;  // index of the request left unanswered, or -1
    LineVerdict verdict;
    const char* note;
  };
  const Case cases[] = {
      {"every value set", false, -1, -1, LineVerdict::kConfirmed, ""},
      {"another baud rate", false, 0, -1, LineVerdict::kRefused,
       "rfc2217: setting 1 asked 9600, server set 9601"},
      {"parity unanswered", false, -1, 2, LineVerdict::kUnanswered,
       "rfc2217: setting 3 asked 1, server silent 0"},
      {"no flow control where there are no modem lines", true, 4, -1, LineVerdict::kConfirmed, ""},
      {"no flow control where there are", false, 4, -1, LineVerdict::kRefused,
       "rfc2217: setting 5 asked 3, server set 4"},
  };
  for (const Case& c : cases) {
    Rfc2217LineRequests requests;
    ASSERT_TRUE(MakeLineRequests({9600, 8, 0, 0}, c.noModemLines, &requests));
    Rfc2217Protocol p;
    for (size_t i = 0; i < Rfc2217LineRequests::kCount; ++i) {
      const Rfc2217Setting& s = requests.settings[i];
      p.QueueRequest(s.command, s.value, s.size);
      if (static_cast<int>(i) != c.unanswered) {
        Answer(p, s, s.value + (static_cast<int>(i) == c.differs ? 1 : 0));
      }
    }
    EXPECT_EQ(AllAnswered(p, requests), c.unanswered < 0) << c.what;
    char text[96] = "";
    EXPECT_EQ(CheckLineReplies(p, requests, text, sizeof text), c.verdict) << c.what;
    EXPECT_EQ(std::string(text), c.note) << c.what;
  }
}

}  // namespace
}  // namespace qzlink
