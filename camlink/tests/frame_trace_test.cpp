#include "camlink/frame_trace.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>

namespace qzlink {
namespace {

// True when some descriptor of this process is open on path with FD_CLOEXEC.
bool OpenedCloseOnExec(const std::string& path) {
  DIR* dir = opendir("/proc/self/fd");
  bool found = false;
  while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
    char target[4096] = {};
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    if (readlink(link.c_str(), target, sizeof target - 1) > 0 && path == target) {
      found = (fcntl(std::atoi(entry->d_name), F_GETFD) & FD_CLOEXEC) != 0;
    }
  }
  if (dir != nullptr) {
    closedir(dir);
  }
  return found;
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
    EXPECT_TRUE(OpenedCloseOnExec(path)) << "a program the client starts must not inherit it";
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
