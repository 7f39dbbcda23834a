// The port test's answers, its line between the two processes, and what the
// operator reads.
#include "core/ports/port_probe.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qtr90x {
namespace {

std::string Frame(std::initializer_list<int> bytes) {
  std::string frame;
  for (int b : bytes) {
    frame += static_cast<char>(b);
  }
  return frame;
}

TEST(PortProbe, ReadsTheCascadeSizeAndTheUnitName) {
  EXPECT_EQ(CascadeSize(Frame({0xFE, 0x30, 0x33, 0x30, 0x30, 0xEF})), 3);
  EXPECT_EQ(CascadeSize(Frame({0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF})), 1);
  EXPECT_EQ(CascadeSize(Frame({0xFE, 0x30, 0x33, 0x31, 0x35, 0xEF})), -1) << "an error answer";
  EXPECT_EQ(CascadeSize(Frame({0xFE, 0x30, 0x41, 0x30, 0x30, 0xEF})), -1) << "not a digit";
  EXPECT_EQ(CascadeSize(Frame({0xFE, 0x30, 0x33, 0x30, 0x30})), -1) << "cut short";
  EXPECT_EQ(CascadeSize(""), -1);

  EXPECT_EQ(UnitNameOf(Frame({0xFE, 0x30, 0x31, 0x30, 0x30, 'Q', 'T', '-', 'R', '7', 0xEF})),
            "QT-R7");
  EXPECT_EQ(UnitNameOf(Frame({0xFE, 0x30, 0x31, 0x30, 0x30, 'A', '\n', 0x90, 0xEF})), "A??")
      << "nothing that could break the line between the processes";
  EXPECT_EQ(UnitNameOf(Frame({0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF})), "");
  EXPECT_EQ(UnitNameOf(Frame({0xFE, 0x30, 0x31, 0x31, 0x32, 'Q', 0xEF})), std::nullopt);
}

// Each outcome: the child's line and its reading back, and what the operator
// reads about it. A line of nullptr: the outcome is never sent as a line.
TEST(PortProbe, EveryOutcomeTravelsAndIsToldToTheOperator) {
  using O = ProbeResult::Outcome;
  const struct {
    ProbeResult result;
    const char* line;
    const char* summary;  // a part of it
  } cases[] = {
      {{O::kAnswered, 0, 0, 3, "QT-R90x"},
       "qtr90x-probe answered cameras=3 unit=QT-R90x",
       "3 cameras on the line. Camera 1 is QT-R90x."},
      {{O::kAnswered, 0, 0, -1, "QT R7 extra"},
       "qtr90x-probe answered cameras=-1 unit=QT R7 extra",
       "The cameras answered with an error. Camera 1 is QT R7 extra."},
      {{O::kAnswered, 0, 0, 1, ""},
       "qtr90x-probe answered cameras=1 unit=",
       "1 camera on the line. Camera 1 did not tell its unit name."},
      {{O::kNoAnswer, 0, 0, -1, ""}, "qtr90x-probe no-answer", "no camera answered"},
      {{O::kOpenFailed, -1, EACCES, -1, ""},
       "qtr90x-probe open-failed error=-1 system=13",
       "dialout"},
      {{O::kOpenFailed, -1, ENOENT, -1, ""},
       "qtr90x-probe open-failed error=-1 system=2",
       "No such device"},
      {{O::kOpenFailed, -1, EBUSY, -1, ""},
       "qtr90x-probe open-failed error=-1 system=16",
       "in use by another program"},
      {{O::kOpenFailed, -1, ENODEV, -1, ""},
       "qtr90x-probe open-failed error=-1 system=19",
       "no CTS"},
      {{O::kOpenFailed, -3, 0, -1, ""},
       "qtr90x-probe open-failed error=-3 system=0",
       "not a port of this computer"},
      {{O::kNotFinished, 0, 0, -1, ""}, nullptr, "did not finish"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.summary);
    const std::string summary = ProbeSummary(c.result);
    EXPECT_NE(summary.find(c.summary), std::string::npos) << summary;
    if (c.line == nullptr) {
      EXPECT_FALSE(ParseProbeLine(FormatProbeLine(c.result)));
      continue;
    }
    EXPECT_EQ(FormatProbeLine(c.result), c.line);
    const auto parsed = ParseProbeLine(std::string(c.line) + "\n");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->outcome, c.result.outcome);
    EXPECT_EQ(parsed->errorCode, c.result.errorCode);
    EXPECT_EQ(parsed->systemCode, c.result.systemCode);
    EXPECT_EQ(parsed->cameras, c.result.cameras);
    EXPECT_EQ(parsed->unitName, c.result.unitName);
  }
  for (const char* bad :
       {"", "qtr90x-probe", "qtr90x-probe maybe", "probe no-answer",
        "qtr90x-probe open-failed error=x system=2", "qtr90x-probe open-failed error=-1",
        "qtr90x-probe answered cameras=3", "qtr90x-probe answered cameras=3x unit=A"}) {
    EXPECT_FALSE(ParseProbeLine(bad)) << bad;
  }
}

TEST(PortProbe, ThePortInUseIsToldFromWhatTheApplicationKnows) {
  EXPECT_EQ(InUseSummary(2, 1, "QT-R7"),
            "In use by this application: 2 cameras on the line. Camera 1 is QT-R7.");
  EXPECT_EQ(InUseSummary(1, 1, ""), "In use by this application: 1 camera on the line.");
  EXPECT_EQ(InUseSummary(0, 0, ""), "In use by this application.");
}

}  // namespace
}  // namespace qtr90x
