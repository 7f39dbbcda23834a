// The gamepad edge's sleep: woken by a device node under the watched folder
// (also one that comes after the watch began), or by a signal from another
// thread, and by nothing else.
#include "ui/gamepad/gamepad_device_watch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qtr90x {
namespace {

class Scratch {
 public:
  Scratch() {
    std::string pattern = ::testing::TempDir() + "device-watch-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    root = mkdtemp(path.data()) != nullptr ? path.data() : "";
  }
  ~Scratch() {
    const std::string command = "rm -rf '" + root + "'";
    [[maybe_unused]] const int rc = std::system(command.c_str());
  }
  std::string root;
};

void Touch(const std::string& path) {
  std::ofstream(path) << "";
}

TEST(DeviceWatch, WakesForDeviceNodesAndSignalsOnly) {
  using W = DeviceWatch;
  struct Step {
    const char* what;
    std::function<void(const std::string& input)> act;
    unsigned expected;
  };
  const std::vector<Step> steps = {
      {"nothing yet", [](const std::string&) {}, W::kTimedOut},
      {"a file beside the folder", [](const std::string& in) { Touch(in + "-not"); }, W::kTimedOut},
      {"the folder comes", [](const std::string& in) { mkdir(in.c_str(), 0755); }, W::kDeviceNode},
      {"a node in it", [](const std::string& in) { Touch(in + "/event3"); }, W::kDeviceNode},
      {"its permissions set", [](const std::string& in) { chmod((in + "/event3").c_str(), 0660); },
       W::kDeviceNode},
      {"a node goes", [](const std::string& in) { unlink((in + "/event3").c_str()); },
       W::kTimedOut},
      {"the folder goes",
       [](const std::string& in) {
         unlink((in + "-not").c_str());
         rmdir(in.c_str());
       },
       W::kTimedOut},
      {"the folder comes again", [](const std::string& in) { mkdir(in.c_str(), 0755); },
       W::kDeviceNode},
      {"a node in it again", [](const std::string& in) { Touch(in + "/js0"); }, W::kDeviceNode},
      {"a signal", [](const std::string&) {}, W::kSignalled},
  };
  Scratch scratch;
  ASSERT_FALSE(scratch.root.empty());
  const std::string input = scratch.root + "/input";
  DeviceWatch watch(input);
  ASSERT_TRUE(watch.Open());
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(input);
    if (step.expected == W::kSignalled) {
      // From another thread, into a wait without end.
      std::thread signaller([&] { watch.Signal(); });
      EXPECT_EQ(watch.Wait(-1), step.expected);
      signaller.join();
    } else {
      // The events are queued by the time the call returned.
      EXPECT_EQ(watch.Wait(step.expected == W::kTimedOut ? 0 : 5000), step.expected);
    }
    EXPECT_EQ(watch.Wait(0), W::kTimedOut) << "one change wakes once";
  }
}

TEST(DeviceWatch, NothingToWatchWithoutTheParent) {
  Scratch scratch;
  DeviceWatch watch(scratch.root + "/missing/input");
  EXPECT_FALSE(watch.Open());
  watch.Signal();  // harmless
  EXPECT_EQ(watch.Wait(0), DeviceWatch::kTimedOut);
}

}  // namespace
}  // namespace qtr90x
