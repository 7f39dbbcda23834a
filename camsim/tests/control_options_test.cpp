// The control-line parser and the command-line options.
#include <gtest/gtest.h>

#include "camsim/control_command.h"
#include "camsim/options.h"
#include "camsim/tests/test_support.h"

namespace camsim {
namespace {

TEST(ControlCommandTest, RejectedLines) {
  const char* lines[] = {
      "bogus",           "sensor 1",    "sensor 0 1", "sensor 1 10",
      "power 1 maybe",   "inject 00",   "inject 5",   "inject 50 cmd 100",
      "inject 50 later", "stray",       "stray zz",   "state x",
      "split now",       "late",        "late 0",     "late 600001",
      "late 5 cmd",      "late x next",
  };
  for (const char* line : lines) {
    ParsedControl parsed = ParseControlLine(line);
    EXPECT_FALSE(parsed.command) << line;
    EXPECT_FALSE(parsed.error.empty()) << line;
  }
  std::string tooMany = "stray";
  for (size_t i = 0; i <= kMaxStrayBytes; ++i) {
    tooMany += " 00";
  }
  EXPECT_FALSE(ParseControlLine(tooMany).command);
  EXPECT_EQ(ParseControlLine("stray 00 ef FF").command->bytes, (Bytes{0x00, 0xEF, 0xFF}));
  for (const char* blank : {"", "   ", "# a comment"}) {
    ParsedControl parsed = ParseControlLine(blank);
    EXPECT_FALSE(parsed.command);
    EXPECT_TRUE(parsed.error.empty());
  }
}

ParsedOptions Parse(std::vector<std::string_view> args) {
  return ParseOptions(args);
}

TEST(OptionsTest, RejectedCommandLines) {
  const std::vector<std::vector<std::string_view>> cases = {
      {},
      {"--cameras", "2"},
      {"--link"},
      {"--link", "p", "--model", "QT-R9"},
      {"--link", "p", "--model", "QT-R7,QT-R7"},
      {"--link", "p", "--cameras", "0"},
      {"--link", "p", "--cameras", "10"},
      {"--link", "p", "--baud", "fast"},
      {"--link", "p", "--baud", "50"},
      {"--link", "p", "--power", "1"},
      {"--link", "p", "--pedestal", "yes"},
      {"--link", "p", "--power-delay", "-1"},
      {"--link", "p", "--fast=1"},
      {"--link", "p", "--frobnicate"},
      {"--link", "p", "extra"},
      {"--version=1"},
      {"--help", "--frobnicate"},
  };
  for (const auto& args : cases) {
    ParsedOptions parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options);
    EXPECT_FALSE(parsed.error.empty());
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line: " << parsed.error;
  }
}

// --help and --version need no --link; the help text lists every option.
TEST(OptionsTest, HelpAndVersionStandAlone) {
  struct Case {
    std::vector<std::string_view> args;
    bool help, version;
  };
  const Case cases[] = {
      {{"--help"}, true, false},
      {{"-h"}, true, false},
      {{"--version"}, false, true},
      {{"--cameras", "3", "--version"}, false, true},
  };
  for (const Case& c : cases) {
    ParsedOptions parsed = ParseOptions(c.args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->help, c.help);
    EXPECT_EQ(parsed.options->version, c.version);
  }
  const std::string usage = Usage();
  for (const char* option : {"--link", "--model", "--cameras", "--baud", "--fast", "--power ",
                             "--pedestal ", "--reply-delay", "--power-delay", "--pedestal-delay",
                             "--move-delay", "--help", "--version", "state [CAM]"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

TEST(OptionsTest, FastRemovesPacingAndShortensDelaysUnlessGiven) {
  CascadeConfig normal = MakeConfig(*Parse({"--link", "p"}).options);
  EXPECT_EQ(normal.byteTime, ByteTime(9600));
  EXPECT_EQ(normal.replyDelay, Milliseconds(5));
  EXPECT_EQ(normal.timings.powerDelay, Milliseconds(2000));
  EXPECT_FALSE(normal.timings.instantMotion);

  CascadeConfig fast = MakeConfig(*Parse({"--fast", "--link", "p", "--power-delay", "7"}).options);
  EXPECT_EQ(fast.byteTime, Duration::zero());
  EXPECT_EQ(fast.replyDelay, Duration::zero());
  EXPECT_EQ(fast.timings.powerDelay, Milliseconds(7));
  EXPECT_LT(fast.timings.pedestalDelay, normal.timings.pedestalDelay);
  EXPECT_TRUE(fast.timings.instantMotion);
}

}  // namespace
}  // namespace camsim
