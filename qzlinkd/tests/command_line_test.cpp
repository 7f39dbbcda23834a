// qzlinkd's command line as a table: what each is taken for, or why not.
#include "qzlinkd/command_line.h"

#include <gtest/gtest.h>

namespace qzlinkd {
namespace {

TEST(CommandLine, ParsesOrSaysWhy) {
  struct Case {
    QStringList args;
    const char* error;  // empty: parsed
    quint16 port;
    QList<int> lines;
    int addresses;
  };
  const Case cases[] = {
      {{"--line", "1"}, "", 8099, {1}, 0},
      {{"--listen", "127.0.0.1:9000", "--line", "2", "--line", "5"}, "", 9000, {2, 5}, 1},
      {{"--listen", "[::1]:9000", "--listen", "127.0.0.1:9000", "--line", "1"}, "", 9000, {1}, 2},
      {{"--listen", "localhost:8100", "--line", "1", "--foreground"}, "", 8100, {1}, 2},
      {{}, "no line: give --line N", 0, {}, 0},
      {{"--line", "0"}, "--line 0: the COM number must be 1 to 9", 0, {}, 0},
      {{"--line", "10"}, "--line 10: the COM number must be 1 to 9", 0, {}, 0},
      {{"--line", "1", "--line", "1"}, "--line 1 is given twice", 0, {}, 0},
      {{"--line"}, "--line needs a COM number", 0, {}, 0},
      {{"--listen", "8099", "--line", "1"}, "--listen 8099: not HOST:PORT", 0, {}, 0},
      {{"--listen", "1.2.3.4:0", "--line", "1"},
       "--listen 1.2.3.4:0: the port must be 1 to 65535",
       0,
       {},
       0},
      {{"--listen", "nowhere:80", "--line", "1"},
       "--listen nowhere:80: nowhere is not an address",
       0,
       {},
       0},
      {{"--listen", "127.0.0.1:1", "--listen", "::1:2"}, "--listen ::1:2: not HOST:PORT", 0, {}, 0},
      {{"--listen", "127.0.0.1:1", "--listen", "[::1]:2"},
       "--listen: every address must have the same port",
       0,
       {},
       0},
      {{"--bogus"}, "unknown option '--bogus'", 0, {}, 0},
  };
  for (const Case& c : cases) {
    const ParseResult result = ParseCommandLine(c.args);
    const std::string label = c.args.join(' ').toStdString();
    if (*c.error != '\0') {
      EXPECT_FALSE(result.options) << label;
      EXPECT_EQ(result.error.toStdString(), c.error) << label;
      continue;
    }
    ASSERT_TRUE(result.options) << label << ": " << result.error.toStdString();
    EXPECT_EQ(result.options->action, Action::kRun) << label;
    EXPECT_EQ(result.options->port, c.port) << label;
    EXPECT_EQ(result.options->lines, c.lines) << label;
    EXPECT_EQ(result.options->addresses.size(), c.addresses) << label;
  }
}

TEST(CommandLine, ActionsWithoutALine) {
  EXPECT_EQ(ParseCommandLine({"--help"}).options->action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--line", "1", "-h"}).options->action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version"}).options->action, Action::kVersion);
  const auto token = ParseCommandLine({"--print-token", "read"}).options;
  ASSERT_TRUE(token);
  EXPECT_EQ(token->action, Action::kPrintToken);
  EXPECT_EQ(token->tokenScope, "read");
  EXPECT_EQ(ParseCommandLine({"--print-token"}).options->tokenScope, "admin");
  const auto worker = ParseCommandLine({"--line-worker", "3"}).options;
  ASSERT_TRUE(worker);
  EXPECT_EQ(worker->action, Action::kLineWorker);
  EXPECT_EQ(worker->workerLine, 3);
  // A non-loopback address is a Host name clients may use.
  EXPECT_EQ(ParseCommandLine({"--listen", "192.0.2.7:8099", "--line", "1"}).options->hostNames,
            QStringList{"192.0.2.7"});
}

}  // namespace
}  // namespace qzlinkd
