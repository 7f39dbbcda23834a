// Message windows: sends across threads, posting order, the wake descriptor,
// the wait that keeps serving sends, subclassing, and windows that die while
// others still hold their handles.
#include "platform/msgwindow.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <future>
#include <latch>
#include <new>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

// Counts the calling thread's allocations, to show that sends allocate nothing.
// Kept out of line so that the compiler does not pair an inlined free() with
// operator new.
thread_local long tAllocations = 0;

[[gnu::noinline]] void* operator new(std::size_t size) {
  ++tAllocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) {
    return p;
  }
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

constexpr UINT kMsg = WM_APP + 1;
constexpr UINT kQuit = WM_APP + 2;
constexpr UINT kProbe = WM_APP + 3;
constexpr int kLongWaitMs = 10000;  // only reached when a test is broken

bool Readable(int fd, int timeoutMs = 0) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN) != 0;
}

int OpenFdCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) {
      ++count;
    }
    closedir(dir);
  }
  return count;
}

// A window of the calling thread, destroyed at the end of the scope.
class Window {
 public:
  explicit Window(WNDPROC proc) : hwnd_(QzCreateMessageWindow(proc)) {}
  ~Window() { DestroyWindow(hwnd_); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// The state the procedures record; touched only on the thread that owns the
// window they run for, unless said otherwise.
struct Record {
  std::vector<WPARAM> order;
  std::vector<bool> inSend;
  std::thread::id ranOn;
  int calls = 0;
};
Record record;

LRESULT RecordingProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != kMsg) {
    return 0;
  }
  record.order.push_back(wParam);
  record.inSend.push_back(InSendMessage() != FALSE);
  record.ranOn = std::this_thread::get_id();
  ++record.calls;
  return static_cast<LRESULT>(wParam * 10) + lParam;
}

LRESULT ProbeProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == kProbe ? 1 : 0;
}

// A thread blocked in SendMessageA(target, kMsg, wParam, 0). The constructor
// returns only once the message is queued: the thread owns a window of its own,
// and a probe sent to that window from a third thread is answered only while
// the sender waits in SendMessageA, that is after its message was queued.
class BlockedSender {
 public:
  BlockedSender(HWND target, WPARAM wParam) {
    std::promise<HWND> own;
    std::future<HWND> ownFuture = own.get_future();
    thread_ = std::thread([this, target, wParam, own = std::move(own)]() mutable {
      HWND self = QzCreateMessageWindow(ProbeProc);
      own.set_value(self);
      result_ = SendMessageA(target, kMsg, wParam, 0);
    });
    HWND self = ownFuture.get();
    LRESULT probe = 0;
    std::thread([&probe, self] { probe = SendMessageA(self, kProbe, 0, 0); }).join();
    EXPECT_EQ(probe, 1);
  }
  ~BlockedSender() {
    if (thread_.joinable()) {
      thread_.join();
    }
  }
  LRESULT Join() {
    thread_.join();
    return result_;
  }

 private:
  std::thread thread_;
  LRESULT result_ = -1;
};

class MsgWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record = Record{};
    wakeFd_ = QzMessageWakeFd();
    ASSERT_GE(wakeFd_, 0);
    // Nothing may be left over from an earlier test on this thread.
    ASSERT_FALSE(Readable(wakeFd_));
  }
  void TearDown() override { EXPECT_FALSE(Readable(wakeFd_)); }

  int wakeFd_ = -1;
};

TEST_F(MsgWindowTest, CrossThreadSendRunsOnTheOwnerThreadAndReturnsTheResult) {
  Window window(RecordingProc);
  ASSERT_NE(window.get(), nullptr);
  LRESULT result = -1;
  std::thread sender([&] { result = SendMessageA(window.get(), kMsg, 4, 2); });
  ASSERT_TRUE(Readable(wakeFd_, kLongWaitMs));
  EXPECT_EQ(record.calls, 0);  // nothing runs until the owner dispatches
  EXPECT_EQ(QzDispatchMessages(), 1);
  sender.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(record.ranOn, std::this_thread::get_id());
  EXPECT_EQ(record.inSend, std::vector<bool>{true});
}

TEST_F(MsgWindowTest, OwnerThreadSendCallsTheProcedureDirectly) {
  Window window(RecordingProc);
  EXPECT_EQ(SendMessageA(window.get(), kMsg, 3, 1), 31);
  EXPECT_EQ(record.calls, 1);
  EXPECT_EQ(record.ranOn, std::this_thread::get_id());
  EXPECT_EQ(record.inSend, std::vector<bool>{false});
  EXPECT_FALSE(Readable(wakeFd_));  // nothing was queued
  EXPECT_EQ(QzDispatchMessages(), 0);
}

// Touched only on the owner thread (the test's), inside the loop.
std::vector<int> manySeen;
bool manyWrongThread = false;
std::thread::id manyOwner;
constexpr int kSenders = 8;
constexpr int kSendsEach = 500;

LRESULT ManyProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kQuit) {
    QzQuitMessageLoop(static_cast<int>(wParam));
    return 0;
  }
  if (std::this_thread::get_id() != manyOwner) {
    manyWrongThread = true;
  }
  ++manySeen[wParam * kSendsEach + static_cast<size_t>(lParam)];
  return static_cast<LRESULT>(wParam) * 1000000 + lParam * 7 + 1;
}

TEST_F(MsgWindowTest, ManyThreadsSendingAtOnceEachGetTheirOwnAnswerOnce) {
  manySeen.assign(kSenders * kSendsEach, 0);
  manyWrongThread = false;
  manyOwner = std::this_thread::get_id();
  Window window(ManyProc);
  std::atomic<int> wrongResults{0};
  std::thread coordinator([&] {
    std::vector<std::thread> senders;
    for (int t = 0; t < kSenders; ++t) {
      senders.emplace_back([&, t] {
        for (int i = 0; i < kSendsEach; ++i) {
          LRESULT r = SendMessageA(window.get(), kMsg, static_cast<WPARAM>(t), i);
          if (r != static_cast<LRESULT>(t) * 1000000 + i * 7 + 1) {
            ++wrongResults;
          }
        }
      });
    }
    for (std::thread& s : senders) {
      s.join();
    }
    PostMessageA(window.get(), kQuit, 99, 0);
  });
  EXPECT_EQ(QzRunMessageLoop(), 99);
  coordinator.join();
  EXPECT_EQ(wrongResults.load(), 0);
  EXPECT_FALSE(manyWrongThread);
  for (int seen : manySeen) {
    ASSERT_EQ(seen, 1);
  }
}

TEST_F(MsgWindowTest, PostedMessagesKeepTheirOrderAndSentOnesComeFirst) {
  Window window(RecordingProc);
  HWND hwnd = window.get();
  ASSERT_TRUE(PostMessageA(hwnd, kMsg, 101, 0));
  BlockedSender first(hwnd, 1);
  std::thread([hwnd] { PostMessageA(hwnd, kMsg, 102, 0); }).join();
  BlockedSender second(hwnd, 2);
  ASSERT_TRUE(PostMessageA(hwnd, kMsg, 103, 0));
  EXPECT_EQ(record.calls, 0);

  EXPECT_EQ(QzDispatchMessages(), 5);
  EXPECT_EQ(record.order, (std::vector<WPARAM>{1, 2, 101, 102, 103}));
  EXPECT_EQ(record.inSend, (std::vector<bool>{true, true, false, false, false}));
  EXPECT_EQ(first.Join(), 10);
  EXPECT_EQ(second.Join(), 20);
}

TEST_F(MsgWindowTest, WakeDescriptorIsReadableExactlyWhileSomethingIsPending) {
  EXPECT_EQ(QzMessageWakeFd(), wakeFd_);  // one descriptor per thread
  int otherThreadsFd = -1;
  std::thread([&] { otherThreadsFd = QzMessageWakeFd(); }).join();
  EXPECT_GE(otherThreadsFd, 0);
  EXPECT_NE(otherThreadsFd, wakeFd_);

  Window window(RecordingProc);
  EXPECT_FALSE(Readable(wakeFd_));
  ASSERT_TRUE(PostMessageA(window.get(), kMsg, 1, 0));
  EXPECT_TRUE(Readable(wakeFd_));
  ASSERT_TRUE(PostMessageA(window.get(), kMsg, 2, 0));
  EXPECT_TRUE(Readable(wakeFd_));
  EXPECT_EQ(QzDispatchMessages(), 2);
  EXPECT_FALSE(Readable(wakeFd_));

  BlockedSender sender(window.get(), 3);
  EXPECT_TRUE(Readable(wakeFd_));
  EXPECT_EQ(QzDispatchMessages(), 1);
  EXPECT_FALSE(Readable(wakeFd_));
  EXPECT_EQ(sender.Join(), 30);
}

TEST_F(MsgWindowTest, MsgWaitForFdJoinsAThreadBlockedSendingToTheWaiter) {
  Window window(RecordingProc);
  int exitFd = eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(exitFd, 0);
  LRESULT result = -1;
  // The camera library's reader: sends to the client window, signals its exit.
  std::thread reader([&] {
    result = SendMessageA(window.get(), kMsg, 7, 0);
    uint64_t one = 1;
    EXPECT_EQ(write(exitFd, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  });
  ASSERT_TRUE(Readable(wakeFd_, kLongWaitMs));  // the reader is blocked on us
  EXPECT_EQ(QzMsgWaitForFd(exitFd, kLongWaitMs), 1);
  reader.join();
  EXPECT_EQ(result, 70);
  EXPECT_EQ(record.ranOn, std::this_thread::get_id());
  close(exitFd);
}

TEST_F(MsgWindowTest, MsgWaitForFdTimesOutAndLeavesPostedMessagesQueued) {
  Window window(RecordingProc);
  int neverFd = eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(neverFd, 0);
  ASSERT_TRUE(PostMessageA(window.get(), kMsg, 1, 0));
  EXPECT_EQ(QzMsgWaitForFd(neverFd, 30), 0);
  EXPECT_EQ(QzMsgWaitForFd(neverFd, 0), 0);
  EXPECT_EQ(record.calls, 0);
  EXPECT_TRUE(Readable(wakeFd_));
  EXPECT_EQ(QzDispatchMessages(), 1);
  close(neverFd);

  errno = 0;
  EXPECT_EQ(QzMsgWaitForFd(-1, 0), -1);
  EXPECT_EQ(errno, EBADF);
}

TEST_F(MsgWindowTest, SendingAndServingSendsAllocateNothing) {
  constexpr int kSends = 200;
  Window window(RecordingProc);
  record.order.reserve(kSends + 1);
  record.inSend.reserve(kSends + 1);
  int exitFd = eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(exitFd, 0);
  long senderAllocations = -1;
  std::thread reader([&] {
    SendMessageA(window.get(), kMsg, 0, 0);  // the thread's first send sets it up
    long before = tAllocations;
    for (int i = 0; i < kSends; ++i) {
      SendMessageA(window.get(), kMsg, 0, 0);
    }
    senderAllocations = tAllocations - before;
    uint64_t one = 1;
    EXPECT_EQ(write(exitFd, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  });
  long before = tAllocations;
  int waited = QzMsgWaitForFd(exitFd, kLongWaitMs);
  long ownerAllocations = tAllocations - before;
  reader.join();
  EXPECT_EQ(waited, 1);
  EXPECT_EQ(record.calls, kSends + 1);
  EXPECT_EQ(senderAllocations, 0);
  EXPECT_EQ(ownerAllocations, 0);
  close(exitFd);
}

// Two threads that each own a window and send to each other.
struct Pair {
  HWND a = nullptr;
  HWND b = nullptr;
};
Pair pair;  // written before a latch, read after it

LRESULT PairProcA(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == kMsg ? 1 : 0;
}

LRESULT PairProcB(HWND, UINT msg, WPARAM wParam, LPARAM) {
  if (msg != kMsg) {
    return 0;
  }
  // Sends back to A, whose thread is blocked sending to us: A must run it.
  return wParam == 1 ? 2 + 10 * SendMessageA(pair.a, kMsg, 0, 0) : 2;
}

TEST_F(MsgWindowTest, ThreadsSendingToEachOtherDoNotDeadlock) {
  std::latch created(2);
  int doneFd = eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(doneFd, 0);
  std::atomic<int> done{0};
  LRESULT fromA = -1;
  LRESULT fromB = -1;
  LRESULT nested = -1;
  // Each thread keeps serving sends until both have their answers, so that
  // neither window dies while the other thread still sends to it.
  auto finish = [&] {
    if (++done == 2) {
      uint64_t one = 1;
      EXPECT_EQ(write(doneFd, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }
    EXPECT_EQ(QzMsgWaitForFd(doneFd, kLongWaitMs), 1);
  };
  std::thread a([&] {
    Window window(PairProcA);
    pair.a = window.get();
    created.arrive_and_wait();
    fromA = SendMessageA(pair.b, kMsg, 0, 0);  // meanwhile B sends to us
    nested = SendMessageA(pair.b, kMsg, 1, 0);
    finish();
  });
  std::thread b([&] {
    Window window(PairProcB);
    pair.b = window.get();
    created.arrive_and_wait();
    fromB = SendMessageA(pair.a, kMsg, 0, 0);  // meanwhile A sends to us
    finish();
  });
  a.join();
  b.join();
  EXPECT_EQ(fromA, 2);
  EXPECT_EQ(fromB, 1);
  EXPECT_EQ(nested, 12);
  close(doneFd);
}

WNDPROC subclassPrevious = nullptr;

LRESULT BaseProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  return msg == kMsg ? static_cast<LRESULT>(wParam) + 100 : 0;
}

LRESULT SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kProbe) {
    return 7;
  }
  return CallWindowProcA(subclassPrevious, hwnd, msg, wParam, lParam) + 1000;
}

TEST_F(MsgWindowTest, SubclassingChainsToThePreviousProcedureAndCanBeUndone) {
  Window window(BaseProc);
  HWND hwnd = window.get();
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&BaseProc));

  subclassPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
  EXPECT_EQ(subclassPrevious, &BaseProc);
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SubclassProc));
  EXPECT_EQ(SendMessageA(hwnd, kProbe, 0, 0), 7);
  EXPECT_EQ(SendMessageA(hwnd, kMsg, 5, 0), 1105);

  // The new procedure also serves other threads' sends.
  LRESULT fromThread = -1;
  std::thread sender([&] { fromThread = SendMessageA(hwnd, kMsg, 6, 0); });
  ASSERT_TRUE(Readable(wakeFd_, kLongWaitMs));
  EXPECT_EQ(QzDispatchMessages(), 1);
  sender.join();
  EXPECT_EQ(fromThread, 1106);

  EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassPrevious)),
            reinterpret_cast<LONG_PTR>(&SubclassProc));
  EXPECT_EQ(SendMessageA(hwnd, kMsg, 5, 0), 105);
  EXPECT_EQ(SendMessageA(hwnd, kProbe, 0, 0), 0);

  // Only GWLP_WNDPROC exists, and a null procedure is refused.
  EXPECT_EQ(GetWindowLongPtrA(hwnd, -21), 0);
  EXPECT_EQ(SetWindowLongPtrA(hwnd, -21, reinterpret_cast<LONG_PTR>(&SubclassProc)), 0);
  EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, 0), 0);
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&BaseProc));
  EXPECT_EQ(CallWindowProcA(nullptr, hwnd, kMsg, 1, 2), 0);
  EXPECT_EQ(CallWindowProcA(&BaseProc, hwnd, kMsg, 1, 2), 101);
  EXPECT_EQ(DefWindowProcA(hwnd, kMsg, 1, 2), 0);
}

TEST_F(MsgWindowTest, DestroyingAWindowReleasesItsBlockedSenderAndRefusesLaterMessages) {
  Window window(RecordingProc);
  HWND hwnd = window.get();
  BlockedSender sender(hwnd, 1);
  ASSERT_TRUE(PostMessageA(hwnd, kMsg, 2, 0));
  // From a thread other than the owner.
  BOOL destroyed = FALSE;
  std::thread([&] { destroyed = DestroyWindow(hwnd); }).join();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(sender.Join(), 0);
  EXPECT_FALSE(Readable(wakeFd_));  // its posted message went with it
  EXPECT_EQ(QzDispatchMessages(), 0);
  EXPECT_EQ(record.calls, 0);

  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(SendMessageA(hwnd, kMsg, 3, 0), 0);
  LRESULT fromThread = -1;
  std::thread([&] { fromThread = SendMessageA(hwnd, kMsg, 3, 0); }).join();
  EXPECT_EQ(fromThread, 0);
  EXPECT_FALSE(PostMessageA(hwnd, kMsg, 3, 0));
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), 0);
  EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BaseProc)), 0);
  EXPECT_EQ(record.calls, 0);

  // A handle never given out, and the null handle.
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(UINTPTR_MAX)));
  EXPECT_EQ(SendMessageA(nullptr, kMsg, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(nullptr, kMsg, 0, 0));
  EXPECT_EQ(QzCreateMessageWindow(nullptr), nullptr);
}

LRESULT SelfDestroyingProc(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg != kMsg) {
    return 0;
  }
  ++record.calls;
  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_FALSE(IsWindow(hwnd));
  return 42;
}

TEST_F(MsgWindowTest, WindowDestroyedByItsRunningProcedureFinishesThatCallOnly) {
  Window window(SelfDestroyingProc);
  BlockedSender first(window.get(), 0);
  BlockedSender second(window.get(), 0);
  EXPECT_EQ(QzDispatchMessages(), 1);
  EXPECT_EQ(first.Join(), 42);  // the running call completes
  EXPECT_EQ(second.Join(), 0);  // the queued one is refused
  EXPECT_EQ(record.calls, 1);
  EXPECT_EQ(SendMessageA(window.get(), kMsg, 0, 0), 0);
}

TEST_F(MsgWindowTest, WindowsDieWithTheirOwnerThread) {
  const int fdsBefore = OpenFdCount();
  std::promise<HWND> created;
  std::thread owner([&] {
    HWND hwnd = QzCreateMessageWindow(RecordingProc);
    created.set_value(hwnd);
    // Exit as soon as a message waits, without running it.
    EXPECT_TRUE(Readable(QzMessageWakeFd(), kLongWaitMs));
  });
  HWND hwnd = created.get_future().get();
  ASSERT_NE(hwnd, nullptr);
  LRESULT result = -1;
  std::thread sender([&] { result = SendMessageA(hwnd, kMsg, 1, 0); });
  owner.join();
  sender.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(record.calls, 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(SendMessageA(hwnd, kMsg, 1, 0), 0);
  EXPECT_FALSE(PostMessageA(hwnd, kMsg, 1, 0));
  EXPECT_EQ(OpenFdCount(), fdsBefore);  // the thread's eventfds are closed
}

LRESULT LoopProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == kQuit) {
    record.order.push_back(0);
    QzQuitMessageLoop(static_cast<int>(wParam));
  } else if (msg == kMsg) {
    record.order.push_back(wParam);
  }
  return 0;
}

TEST_F(MsgWindowTest, RunMessageLoopReturnsTheQuitCodeAfterTheMessageBeingRun) {
  Window window(LoopProc);
  HWND hwnd = window.get();
  ASSERT_TRUE(PostMessageA(hwnd, kMsg, 1, 0));
  ASSERT_TRUE(PostMessageA(hwnd, kQuit, 7, 0));
  ASSERT_TRUE(PostMessageA(hwnd, kMsg, 2, 0));
  EXPECT_EQ(QzRunMessageLoop(), 7);
  EXPECT_EQ(record.order, (std::vector<WPARAM>{1, 0}));
  EXPECT_EQ(QzDispatchMessages(), 1);  // the message after the quit waited
  EXPECT_EQ(record.order, (std::vector<WPARAM>{1, 0, 2}));

  // The loop blocks until another thread's message makes it quit.
  std::thread poster([hwnd] {
    PostMessageA(hwnd, kMsg, 3, 0);
    PostMessageA(hwnd, kQuit, 5, 0);
  });
  EXPECT_EQ(QzRunMessageLoop(), 5);
  poster.join();
  EXPECT_EQ(record.order, (std::vector<WPARAM>{1, 0, 2, 3, 0}));

  // A quit asked for outside the loop ends the next loop at once.
  QzQuitMessageLoop(4);
  EXPECT_EQ(QzRunMessageLoop(), 4);
}

LRESULT SelfPostingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == kMsg) {
    ++record.calls;
    PostMessageA(hwnd, kMsg, wParam + 1, 0);
  }
  return 0;
}

TEST_F(MsgWindowTest, DispatchEndsEvenWhenAProcedureKeepsPostingToItself) {
  Window window(SelfPostingProc);
  ASSERT_TRUE(PostMessageA(window.get(), kMsg, 0, 0));
  EXPECT_EQ(QzDispatchMessages(), 1);
  EXPECT_TRUE(Readable(wakeFd_));  // the new post waits for the next call
  EXPECT_EQ(QzDispatchMessages(), 1);
  EXPECT_EQ(record.calls, 2);
  EXPECT_TRUE(DestroyWindow(window.get()));  // drops the last post
}

// ReplyMessage: the sender goes on while the procedure still runs.
std::future<void>* replyReceived = nullptr;
BOOL secondReply = TRUE;
BOOL inSendAfterReply = TRUE;

LRESULT ReplyingProc(HWND, UINT msg, WPARAM, LPARAM) {
  if (msg != kMsg) {
    return 0;
  }
  EXPECT_TRUE(InSendMessage());
  EXPECT_TRUE(ReplyMessage(5));
  inSendAfterReply = InSendMessage();
  secondReply = ReplyMessage(6);
  // The sender has its answer although this procedure has not returned.
  EXPECT_EQ(replyReceived->wait_for(std::chrono::milliseconds(kLongWaitMs)),
            std::future_status::ready);
  return 9;  // ignored
}

TEST_F(MsgWindowTest, ReplyMessageReleasesTheSenderBeforeTheProcedureReturns) {
  EXPECT_FALSE(InSendMessage());
  EXPECT_FALSE(ReplyMessage(1));
  Window window(ReplyingProc);
  std::promise<void> received;
  std::future<void> receivedFuture = received.get_future();
  replyReceived = &receivedFuture;
  LRESULT result = -1;
  std::thread sender([&] {
    result = SendMessageA(window.get(), kMsg, 0, 0);
    received.set_value();
  });
  ASSERT_TRUE(Readable(wakeFd_, kLongWaitMs));
  EXPECT_EQ(QzDispatchMessages(), 1);
  sender.join();
  EXPECT_EQ(result, 5);
  EXPECT_FALSE(inSendAfterReply);
  EXPECT_FALSE(secondReply);
  EXPECT_FALSE(InSendMessage());
}

// QzInSendMessageFrom tells one sender's message from any other's.
std::atomic<const void*> senderToken{nullptr};
std::vector<bool> fromSender;

LRESULT TellingProc(HWND, UINT msg, WPARAM, LPARAM) {
  if (msg == kMsg) {
    fromSender = {QzInSendMessageFrom(senderToken.load()) != FALSE,
                  QzInSendMessageFrom(QzCurrentThreadToken()) != FALSE,
                  QzInSendMessageFrom(nullptr) != FALSE};
  }
  return 0;
}

TEST_F(MsgWindowTest, InSendMessageFromNamesTheSendingThreadOnly) {
  EXPECT_NE(QzCurrentThreadToken(), nullptr);
  EXPECT_FALSE(QzInSendMessageFrom(QzCurrentThreadToken())) << "no message being run";
  Window window(TellingProc);
  std::thread sender([&] {
    senderToken = QzCurrentThreadToken();
    SendMessageA(window.get(), kMsg, 0, 0);
  });
  ASSERT_TRUE(Readable(wakeFd_, kLongWaitMs));
  EXPECT_EQ(QzDispatchMessages(), 1);
  sender.join();
  EXPECT_EQ(fromSender, (std::vector<bool>{true, false, false}));

  SendMessageA(window.get(), kMsg, 0, 0);  // same thread: not a sent message at all
  EXPECT_EQ(fromSender, (std::vector<bool>{false, false, false}));
}

}  // namespace
