// Heap allocations of the library's steady state, counted (not timed) in the
// whole process, the library's reader thread included: none per command sent
// and none per frame received, announced and fetched.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "camlink/qzlink.h"
#include "testsupport/alloc_counter.h"
#include "testsupport/link_test_support.h"

namespace qzlink {
namespace {

using testing::Bytes;
using testing::PtyPair;

// Reads everything the library writes until destroyed, with no allocation.
class Drain {
 public:
  explicit Drain(int fd)
      : thread_([this, fd] {
          uint8_t buffer[4096];
          while (!stop_.load(std::memory_order_relaxed)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0 && read(fd, buffer, sizeof buffer) < 0 && errno != EAGAIN) {
              break;
            }
          }
        }) {}
  ~Drain() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The counts below mean something only if the counter sees every thread.
TEST(AllocationCounterTest, SeesAnotherThreadsAllocation) {
  std::atomic<bool> go{false};
  std::thread other([&go] {
    while (!go.load()) {
      std::this_thread::yield();
    }
    void* block = std::malloc(16);
    asm volatile("" : : "r"(block) : "memory");
    std::free(block);
  });
  uint64_t allocations = 0;
  {
    qztest::ProcessAllocationScope scope;
    go = true;
    other.join();
    allocations = scope.Count();
  }
  EXPECT_EQ(allocations, 1u);
}

std::atomic<int> framesFetched{0};

LRESULT FetchingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == AckRxMessage || message == NotifyRxMessage) {
    uint8_t frame[40];
    if (QzGetMsg(static_cast<int32_t>(lParam), frame) > 0) {
      framesFetched.fetch_add(1);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// An answer, a notification and a frame that is filed but not announced.
const Bytes kFrames = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF, 0xFA, 0x30,
                       0x31, 0x00, 0xA0, 0x31, 0xEF, 0x41, 0x42, 0xEF};
constexpr int kAnnouncedPerBatch = 2;

// A session on a pseudo-terminal whose reader thread has run: one batch of
// frames has been received, announced and fetched before any count starts,
// so that what the reader sets up once is not counted.
class AllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Valid());
    pty_.BecomeComPort(1);
    window_ = QzCreateMessageWindow(FetchingProc);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(QzOpen(window_, 1, 38400, 8, 0, 0), 1);
    framesFetched = 0;
    pty_.Write(kFrames);
    ASSERT_TRUE(testing::PumpUntil([] { return framesFetched.load() == kAnnouncedPerBatch; }));
  }
  void TearDown() override {
    QzClose();
    DestroyWindow(window_);
  }

  PtyPair pty_;
  HWND window_ = nullptr;
};

// Commands of each shape: a selector, a value, values with a selector, a
// query, a raw frame.
bool SendEachShape(int i) {
  static const uint8_t kRaw[] = {0xFF, 0x30, 0x31, 0x00, 0x87, 0xEF};
  return QzSetZooming(1, i % 5) == 1 && QzSetZoomPosition(1, i & 0xFF) == 1 &&
         QzSetPTAngle1(1, 0, i, -i) == 1 && QzGetZoomPosition(1) == 1 &&
         QzSetManualCommand(kRaw, sizeof kRaw) == 1;
}

TEST_F(AllocationTest, NoneForACommand) {
  bool sent = true;
  uint64_t allocations = 0;
  {
    Drain drain(pty_.MasterFd());
    sent = SendEachShape(0);  // first use of everything outside the count
    qztest::ProcessAllocationScope scope;
    for (int i = 1; i <= 200 && sent; ++i) {
      sent = SendEachShape(i);
    }
    allocations = scope.Count();
  }
  EXPECT_TRUE(sent);
  EXPECT_EQ(allocations, 0u) << "over 1000 commands";
}

TEST_F(AllocationTest, NoneForAReceivedFrame) {
  constexpr int kBatches = 300;
  bool received = true;
  uint64_t allocations = 0;
  {
    qztest::ProcessAllocationScope scope;
    for (int batch = 2; batch <= kBatches + 1 && received; ++batch) {
      pty_.Write(kFrames);
      received = testing::PumpUntil(
          [batch] { return framesFetched.load() == batch * kAnnouncedPerBatch; });
    }
    allocations = scope.Count();
  }
  EXPECT_TRUE(received) << framesFetched.load() << " frames fetched";
  EXPECT_EQ(allocations, 0u) << "over " << kBatches * 3 << " frames";
}

}  // namespace
}  // namespace qzlink
