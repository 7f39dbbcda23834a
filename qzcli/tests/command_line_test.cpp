#include "qzcli/command_line.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace qzcli {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

TEST(ParseInteger, AcceptsDecimalAndHexWithin32Bits) {
  const std::pair<const char*, std::optional<int32_t>> cases[] = {
      {"0", 0},
      {"42", 42},
      {"-7", -7},
      {"0x1F", 31},
      {"0XfF", 255},
      {"-0x10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"0x80000000", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"0x", std::nullopt},
      {"12a", std::nullopt},
      {"1.5", std::nullopt},
      {" 1", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"--1", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseInteger(text), expected) << '"' << text << '"';
  }
}

TEST(ParseByte, AcceptsOneOrTwoHexDigits) {
  const std::pair<const char*, std::optional<int32_t>> cases[] = {
      {"FF", 255},           {"0", 0},
      {"0x3a", 0x3A},        {"ef", 0xEF},
      {"100", std::nullopt}, {"G1", std::nullopt},
      {"", std::nullopt},    {"-1", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseByte(text), expected) << '"' << text << '"';
  }
}

TEST(ParseCommandLine, SplitsCallsAtSeparators) {
  const char* lines[] = {
      "--port 1 QzSetCascade 0 1 -- QzGetUnitName 1 ; QzSetZooming 1 0x2",
      "--port 1 QzSetCascade 0 1 -- QzGetUnitName 1; QzSetZooming 1 2",
      "--port 1 QzSetCascade 0 1;QzGetUnitName 1 ;QzSetZooming 1 2 --",
  };
  for (const char* line : lines) {
    const ParseResult parsed = ParseCommandLine(Words(line));
    ASSERT_TRUE(parsed.options) << line << ": " << parsed.error;
    const Options& options = *parsed.options;
    EXPECT_EQ(options.port, 1);
    ASSERT_EQ(options.calls.size(), 3u) << line;
    EXPECT_EQ(options.calls[0].entry->name, "QzSetCascade");
    EXPECT_EQ(options.calls[0].args, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(options.calls[1].entry->name, "QzGetUnitName");
    EXPECT_EQ(options.calls[2].args, (std::vector<int32_t>{1, 2}));
  }
}

TEST(ParseCommandLine, OptionsAndSpecialExports) {
  const ParseResult parsed = ParseCommandLine(
      Words("--baud 19200 --seconds 0.25 --wait-ms 50 QzSetManualCommand FF 30 31 00 A4 EF -- "
            "_QzGetLastError@4 -- QzOpen 1 9600 8 0 0"));
  ASSERT_TRUE(parsed.options) << parsed.error;
  const Options& options = *parsed.options;
  EXPECT_FALSE(options.port);
  EXPECT_EQ(options.baud, 19200);
  EXPECT_DOUBLE_EQ(options.seconds, 0.25);
  EXPECT_EQ(options.answerWaitMs, 50);
  ASSERT_EQ(options.calls.size(), 3u);
  EXPECT_EQ(options.calls[0].args, (std::vector<int32_t>{0xFF, 0x30, 0x31, 0x00, 0xA4, 0xEF}));
  EXPECT_EQ(options.calls[1].entry->name, "QzGetLastError");
  EXPECT_EQ(options.calls[2].entry->kind, ExportKind::kOpen);
}

TEST(ParseCommandLine, RejectsBadInputWithAClearMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "no export to call"},
      {"--port 1", "no export to call"},
      {"QzSetIRLight 1 2", "unknown export 'QzSetIRLight'"},
      {"qzsetzooming 1 2", "unknown export"},
      {"QzSetZooming 1", "QzSetZooming takes 2 arguments (lUnit, lMode), got 1"},
      {"QzSetZooming 1 2 3", "got 3"},
      {"QzSetZooming 1 two", "bad integer 'two'"},
      {"QzSetManualCommand", "one or more bytes"},
      {"QzSetManualCommand FF 300", "bad byte '300'"},
      {"--port 0 QzClose", "--port takes 1 to 9"},
      {"--port 10 QzClose", "--port takes 1 to 9"},
      {"--baud fast QzClose", "--baud takes"},
      {"--seconds -1 QzClose", "--seconds takes"},
      {"--bogus 1 QzClose", "unknown option '--bogus'"},
      {"--bogus", "unknown option '--bogus'"},
      {"--list-ports QzClose", "--list-ports stands alone"},
      {"--port 1 --list-ports", "--list-ports stands alone"},
      {"--set-port 3", "--set-port needs a port number and a target"},
      {"--set-port 0 /dev/ttyUSB0", "--set-port takes a port number 1 to 9, got '0'"},
      {"--set-port 3 /dev/ttyUSB0 extra", "--set-port stands alone"},
      {"--clear-port", "--clear-port needs a port number"},
      {"--clear-port x", "--clear-port takes a port number 1 to 9"},
      {"QzClose --port", "QzClose takes 0 arguments, got 1"},
      {"--port", "--port needs a value"},
  };
  for (const auto& [line, message] : cases) {
    const ParseResult parsed = ParseCommandLine(Words(line));
    EXPECT_FALSE(parsed.options) << line;
    EXPECT_NE(parsed.error.find(message), std::string::npos) << line << " gave: " << parsed.error;
  }
}

TEST(ParseCommandLine, ActionsThatStandAlone) {
  const struct {
    const char* line;
    Action action;
    int32_t port;
    const char* target;
  } cases[] = {
      {"--help", Action::kHelp, 0, ""},
      {"--version", Action::kVersion, 0, ""},
      {"--port 1 --bogus --version", Action::kVersion, 0, ""},
      {"QzClose --help", Action::kHelp, 0, ""},
      {"--list", Action::kListExports, 0, ""},
      {"--list-ports", Action::kListPorts, 0, ""},
      {"--set-port 3 /dev/serial/by-id/usb-A;B-if00", Action::kSetPort, 3,
       "/dev/serial/by-id/usb-A;B-if00"},
      {"--set-port 0x9 rfc2217://192.0.2.1:2217", Action::kSetPort, 9, "rfc2217://192.0.2.1:2217"},
      {"--clear-port 1", Action::kClearPort, 1, ""},
      {"--port 2 QzClose", Action::kCalls, 0, ""},
  };
  for (const auto& c : cases) {
    const ParseResult parsed = ParseCommandLine(Words(c.line));
    ASSERT_TRUE(parsed.options) << c.line << ": " << parsed.error;
    EXPECT_EQ(parsed.options->action, c.action) << c.line;
    EXPECT_EQ(parsed.options->mappedPort, c.port) << c.line;
    EXPECT_EQ(parsed.options->mappedTarget, c.target) << c.line;
  }
}

TEST(ExportTable, ListsEveryExportOnceWithTheRightArity) {
  std::set<std::string_view> names;
  for (const ExportEntry& entry : Exports()) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_EQ(FindExport(entry.name), &entry);
  }
  EXPECT_EQ(names.size(), 113u);
  const std::pair<const char*, int> arities[] = {
      {"QzSetPTAngle1", 4},      {"QzSetTitleString", 4}, {"QzSetMotorSpeed", 3},
      {"QzGotoHomePosition", 1}, {"QzClose", 0},          {"_QzGet2ByteStatus@4", 1},
      {"QzGetStatus", 0},
  };
  for (const auto& [name, arity] : arities) {
    const ExportEntry* entry = FindExport(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_EQ(entry->arity, arity) << name;
  }
}

}  // namespace
}  // namespace qzcli
