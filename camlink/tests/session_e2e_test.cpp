// The library end to end over a pseudo-terminal: the test plays the camera on
// the master side and the client on its own thread, with a message window.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "camlink/qzlink.h"
#include "testsupport/link_test_support.h"

extern char** environ;

namespace qzlink {
namespace {

using testing::Bytes;
using testing::CountProcEntries;
using testing::PtyPair;
using testing::PumpUntil;
using Codes = std::pair<int32_t, int32_t>;

struct Announcement {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  Bytes fetched;  // QzGetMsg inside the handler
  Bytes picked;   // QzGetMsgVB and QzPicMsgVB inside the handler
  bool onClientThread;
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Valid());
    pty_.BecomeComPort(1);
    current_ = this;
    window_ = QzCreateMessageWindow(&SessionTest::Proc);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    QzClose();
    DestroyWindow(window_);
    current_ = nullptr;
  }

  int32_t Open() { return QzOpen(window_, 1, 9600, 8, 0, 0); }
  Codes LastError() {
    int32_t systemCode = -1;
    const int32_t code = QzGetLastError(&systemCode);
    return {code, systemCode};
  }
  // Thread count with no session open, after one open and close so that
  // one-time helpers (a sanitizer runtime's thread) already exist.
  int ThreadsAtRest() {
    EXPECT_EQ(Open(), 1);
    QzClose();
    return CountProcEntries("task");
  }
  bool WaitForAnnouncements(size_t count) {
    return PumpUntil([&] { return announcements_.size() >= count; });
  }

  static LRESULT Proc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    SessionTest& self = *current_;
    Announcement a{message, wParam, lParam,
                   {},      {},     std::this_thread::get_id() == self.clientThread_};
    uint8_t buffer[40];
    const int32_t length = QzGetMsg(static_cast<int32_t>(lParam), buffer);
    a.fetched.assign(buffer, buffer + length);
    const int32_t picked = QzGetMsgVB(static_cast<int32_t>(lParam));
    for (int32_t i = 0; i < picked; ++i) {
      a.picked.push_back(QzPicMsgVB(i));
    }
    self.announcements_.push_back(a);
    if (self.onAnnouncement_) {
      self.onAnnouncement_();
    }
    return 0;
  }

  static inline SessionTest* current_ = nullptr;
  PtyPair pty_;
  HWND window_ = nullptr;
  std::thread::id clientThread_ = std::this_thread::get_id();
  std::vector<Announcement> announcements_;
  std::function<void()> onAnnouncement_;
};

TEST_F(SessionTest, AnswerIsAnnouncedOnTheClientThreadAndFetchedInTheHandler) {
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(QzGetStatus(), 0x10) << "a pseudo-terminal counts as asserting CTS";
  ASSERT_EQ(QzSetZooming(1, 2), 1);
  EXPECT_EQ(pty_.ReadFrame(), (Bytes{0xFF, 0x30, 0x31, 0x00, 0xA2, 0x32, 0xEF}));

  // The handler may send further commands.
  onAnnouncement_ = [] { EXPECT_EQ(QzGetZoomPosition(1), 1); };
  const Bytes answer{0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
  pty_.Write(Bytes(answer.begin(), answer.begin() + 3));  // split across two reads
  pty_.Write(Bytes(answer.begin() + 3, answer.end()));
  ASSERT_TRUE(WaitForAnnouncements(1));
  const Announcement& a = announcements_[0];
  EXPECT_EQ(a.message, static_cast<UINT>(AckRxMessage));
  EXPECT_EQ(a.wParam, 1u);
  EXPECT_GT(a.lParam, 0);
  EXPECT_EQ(a.fetched, answer);
  EXPECT_EQ(a.picked, answer);
  EXPECT_TRUE(a.onClientThread);
  EXPECT_EQ(QzPicMsgVB(5), 0xEF);
  EXPECT_EQ(QzPicMsgVB(6), 0) << "the copy is cleared past the frame";
  EXPECT_EQ(QzPicMsgVB(-1), 0);
  EXPECT_EQ(QzPicMsgVB(200), 0);
  EXPECT_EQ(pty_.ReadFrame(), (Bytes{0xFF, 0x30, 0x31, 0x00, 0xA4, 0xEF}));
}

TEST_F(SessionTest, EveryKindIsAnnouncedAndUnannouncedFramesAreStillNumbered) {
  ASSERT_EQ(Open(), 1);
  const struct {
    Bytes frame;
    UINT message;  // 0: not announced
    WPARAM wParam;
  } frames[] = {
      {{0xFA, 0x31, 0xEF}, NotifyRxMessage, 1},
      {{0xFD, 0xEF}, NotifyRxMessage, 2},
      {{0xFC, 0xEF}, NotifyRxMessage, 3},
      {{0xF8, 0x30, 0xEF}, NotifyRxMessage, 4},
      {{0xF9, 0x39, 0xEF}, 0, 0},
      {{0xFB, 0x35, 0xEF}, NotifyRxMessage, 5},
      {{0xFE, 0x30, 0x30, 0xEF}, AckRxMessage, 1},
  };
  Bytes overLong(120, 0x30);  // kept up to 100 bytes, filed with its first 40
  overLong.front() = 0xFE;
  overLong.back() = 0xEF;
  Bytes stream;
  for (const auto& f : frames) {
    stream.insert(stream.end(), f.frame.begin(), f.frame.end());
  }
  stream.insert(stream.end(), overLong.begin(), overLong.end());
  pty_.Write(stream);  // all in one go
  ASSERT_TRUE(WaitForAnnouncements(7));
  EXPECT_EQ(announcements_[6].fetched, Bytes(overLong.begin(), overLong.begin() + 40));

  const LPARAM first = announcements_[0].lParam;
  size_t next = 0;
  for (size_t i = 0; i < std::size(frames); ++i) {
    SCOPED_TRACE(i);
    if (frames[i].message == 0) {
      uint8_t buffer[40];
      EXPECT_EQ(QzGetMsg(static_cast<int32_t>(first + i), buffer), 3) << "filed all the same";
      continue;
    }
    const Announcement& a = announcements_.at(next++);
    EXPECT_EQ(a.message, frames[i].message);
    EXPECT_EQ(a.wParam, frames[i].wParam);
    EXPECT_EQ(a.lParam, first + static_cast<LPARAM>(i));
    EXPECT_EQ(a.fetched, frames[i].frame);
  }
}

TEST_F(SessionTest, FailuresAndTheirCodes) {
  EXPECT_EQ(QzSetZooming(1, 2), 0) << "before open";
  EXPECT_EQ(LastError(), Codes(ERR_SYSTEM, EBADF));
  uint8_t last[50];
  EXPECT_EQ(QzGetLastCmdstr(last), 7) << "the frame was built all the same";
  EXPECT_EQ(QzGetMsg(99999, last), 0);
  EXPECT_EQ(LastError(), Codes(ERR_SYSTEM, EBADF)) << "QzGetMsg leaves the error alone";
  EXPECT_EQ(QzClose(), 1);
  EXPECT_EQ(LastError(), Codes(ERR_NONE, 0));

  setenv("QZLINK_COM3", pty_.SlavePath().c_str(), 1);
  const int holder = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  setenv("QZLINK_COM2", "/nonexistent/ttyQZ", 1);
  // A device the user may not open (file modes do not restrict root).
  const std::string denied = ::testing::TempDir() + "qzlink_denied";
  close(open(denied.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0));
  setenv("QZLINK_COM4", denied.c_str(), 1);
  struct Case {
    const char* name;
    int32_t port, baud;
    Codes expected;
  };
  std::vector<Case> cases = {
      {"4800 baud", 1, 4800, {ERR_BAUD_RATE, 0}},
      {"port 0", 0, 9600, {ERR_PORT_BUSY, 0}},
      {"port 10", 10, 9600, {ERR_PORT_BUSY, 0}},
      {"port -5", -5, 9600, {ERR_PORT_BUSY, 0}},
      {"no device", 2, 9600, {ERR_SYSTEM, ENOENT}},
      {"held by another", 3, 9600, {ERR_SYSTEM, EBUSY}},
  };
  if (geteuid() != 0) {
    cases.push_back({"no permission", 4, 9600, {ERR_SYSTEM, EACCES}});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QzOpen(window_, c.port, c.baud, 8, 0, 0), 0);
    EXPECT_EQ(LastError(), c.expected);
  }
  close(holder);
  unlink(denied.c_str());
  for (const char* name : {"QZLINK_COM2", "QZLINK_COM3", "QZLINK_COM4"}) {
    unsetenv(name);
  }

  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(Open(), 0) << "already open";
  EXPECT_EQ(LastError(), Codes(ERR_PORT_BUSY, 0));
  EXPECT_EQ(QzSetZooming(1, 5), 0) << "bad selector";
  EXPECT_EQ(LastError(), Codes(ERR_NONE, 0));
  EXPECT_EQ(QzSetZooming(1, 0), 1) << "the first session stayed open";
  EXPECT_EQ(LastError(), Codes(ERR_NONE, 0));
  EXPECT_EQ(QzGetLastError(nullptr), ERR_NONE) << "a null code pointer is tolerated";
}

// The camera reads only after many sessions have come and gone, while the
// machine is busy: each session's frame was reported as sent, so neither its
// close nor a later open may discard it from the line. What the camera sent
// before an open is stale and is dropped. The sessions leave no thread and no
// descriptor behind.
TEST_F(SessionTest, ManySessionsUnderLoadDeliverEveryFrameDropStaleInputAndLeakNothing) {
  const int threadsBefore = ThreadsAtRest();  // and the line in raw mode: no echo
  const int fdsBefore = CountProcEntries("fd");
  pty_.Write({0xFE, 0x30, 0x30, 0xEF});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const Bytes zoom60{0xFF, 0x30, 0x31, 0x00, 0xA3, 0x33, 0x43, 0xEF};
  constexpr int kRounds = 200;
  {
    testing::CpuLoad load(3);
    for (int i = 0; i < kRounds; ++i) {
      ASSERT_EQ(Open(), 1) << "round " << i;
      ASSERT_EQ(QzSetZoomPosition(1, 60), 1) << "round " << i;
      ASSERT_EQ(QzClose(), 1);
    }
  }
  int arrived = 0;
  for (Bytes frame = pty_.ReadFrame(500); !frame.empty(); frame = pty_.ReadFrame(500)) {
    ASSERT_EQ(frame, zoom60) << "after " << arrived << " whole frames";
    ++arrived;
  }
  EXPECT_EQ(arrived, kRounds);
  QzDispatchMessages();
  EXPECT_TRUE(announcements_.empty()) << "the stale answer was announced";
  EXPECT_EQ(CountProcEntries("fd"), fdsBefore);
  EXPECT_EQ(CountProcEntries("task"), threadsBefore);
}

// The port holder program (port_holder.cpp) in a process of its own, with
// its standard input and output on pipes. Every signal starts at its default
// action there, whatever this process ignores.
class PortHolder {
 public:
  explicit PortHolder(std::vector<std::string> args) {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    args.insert(args.begin(), PORT_HOLDER_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, PORT_HOLDER_PATH, &actions, &attributes, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
  }
  ~PortHolder() {
    if (pid_ > 0) {
      Kill(SIGKILL);
    }
    close(input_);
    close(output_);
  }
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;

  // The first line the holder printed, without its newline.
  std::string ReadLine(int timeoutMs = 5000) {
    std::string line;
    pollfd p{output_, POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, timeoutMs) == 1 && read(output_, &c, 1) == 1 && c != '\n') {
      line.push_back(c);
    }
    return line;
  }

  // Ends the holder with signal and reaps it: the signal that ended it, or 0
  // when it exited.
  int Kill(int signal) {
    kill(pid_, signal);
    int status = 0;
    const pid_t reaped = waitpid(pid_, &status, 0);
    pid_ = -1;
    return reaped > 0 && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

// A session in another process keeps the port busy while that process lives,
// and the port is free the moment it dies, however it was ended, also for
// users without privileges (whom the terminal itself would refuse while its
// exclusive flag is set).
TEST_F(SessionTest, APortIsBusyWhileItsHolderLivesAndFreeOnceItDies) {
  const bool privileged = geteuid() == 0;
  if (privileged) {
    ASSERT_EQ(chmod(pty_.SlavePath().c_str(), 0666), 0);
  }
  for (const int signal : {SIGKILL, SIGTERM, SIGINT, SIGPIPE}) {
    SCOPED_TRACE(strsignal(signal));
    PortHolder holder({"hold", "1"});
    ASSERT_EQ(holder.ReadLine(), "open");
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(LastError(), Codes(ERR_SYSTEM, EBUSY)) << "held by a live process";
    ASSERT_EQ(holder.Kill(signal), signal);
    EXPECT_EQ(Open(), 1) << "its holder is dead";
    EXPECT_EQ(QzClose(), 1);
    if (privileged) {
      PortHolder user({"try", "1", "65534"});
      EXPECT_EQ(user.ReadLine(), "open") << "an unprivileged user after the holder died";
    }
  }
}

TEST_F(SessionTest, CloseInsideAnotherThreadsMessageLeavesItsAnswerAlone) {
  ASSERT_EQ(Open(), 1);
  constexpr UINT kCloseNow = WM_APP + 50;
  HWND window = QzCreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message != kCloseNow) {
      return 0;
    }
    QzClose();  // must not answer this message early on the reader's behalf
    return 42;
  });
  std::atomic<LRESULT> result{-1};
  std::thread other([&] { result = SendMessageA(window, kCloseNow, 0, 0); });
  EXPECT_TRUE(PumpUntil([&] { return result.load() != -1; }));
  other.join();
  EXPECT_EQ(result.load(), 42);
  EXPECT_EQ(Open(), 1) << "the session was closed";
  DestroyWindow(window);
}

TEST_F(SessionTest, CloseWhileFramesAreArriving) {
  const int threadsBefore = ThreadsAtRest();
  ASSERT_EQ(Open(), 1);
  std::atomic<bool> stop{false};
  std::thread camera([&] {
    const Bytes notify{0xFA, 0x30, 0x31, 0xEF};
    while (!stop.load()) {
      pollfd p{pty_.MasterFd(), POLLOUT, 0};
      if (poll(&p, 1, 10) == 1 && (p.revents & POLLOUT) != 0 &&
          write(pty_.MasterFd(), notify.data(), notify.size()) < 0 && errno != EAGAIN) {
        break;
      }
    }
  });
  EXPECT_TRUE(WaitForAnnouncements(50));
  EXPECT_EQ(QzClose(), 1);
  const size_t seen = announcements_.size();
  stop = true;
  camera.join();
  QzDispatchMessages();
  EXPECT_EQ(announcements_.size(), seen) << "nothing is announced after QzClose";
  EXPECT_EQ(CountProcEntries("task"), threadsBefore);
}

TEST_F(SessionTest, CloseFromInsideTheHandler) {
  const int threadsBefore = ThreadsAtRest();
  ASSERT_EQ(Open(), 1);
  int32_t closeResult = -1;
  onAnnouncement_ = [&] { closeResult = QzClose(); };
  pty_.Write({0xFE, 0x30, 0x30, 0xEF, 0xFA, 0x31, 0xEF, 0xFB, 0x32, 0xEF});
  ASSERT_TRUE(PumpUntil([&] { return closeResult != -1; }));
  EXPECT_EQ(closeResult, 1);
  EXPECT_EQ(announcements_.size(), 1u);
  EXPECT_EQ(CountProcEntries("task"), threadsBefore);
  onAnnouncement_ = nullptr;
  EXPECT_EQ(Open(), 1) << "the port can be opened again";
}

// The reader waits for this thread to take its message while QzClose runs:
// the message is handled during the close, and a procedure that calls back
// into the library then sees a second close return and an open refused until
// the first close has released the port.
TEST_F(SessionTest, CallsFromAHandlerRunWhileClosing) {
  struct Case {
    const char* name;
    std::function<int32_t()> call;
    int32_t expected;
  };
  setenv("QZLINK_COM2", (::testing::TempDir() + "qzlink-no-such-device").c_str(), 1);
  const Case cases[] = {
      {"no call back", [] { return 7; }, 7},
      {"close again", [] { return QzClose(); }, 1},
      {"open another port", [this] { return QzOpen(window_, 2, 9600, 8, 0, 0); }, 0},
      {"open the same port", [this] { return QzOpen(window_, 1, 9600, 8, 0, 0); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    announcements_.clear();
    ASSERT_EQ(Open(), 1);
    int32_t nestedResult = -1;
    onAnnouncement_ = [&] { nestedResult = c.call(); };
    pty_.Write({0xFE, 0x30, 0x30, 0xEF});
    pollfd p{QzMessageWakeFd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1) << "the reader's message waits for this thread";
    EXPECT_EQ(QzClose(), 1);
    EXPECT_EQ(announcements_.size(), 1u) << "handled while closing";
    EXPECT_EQ(nestedResult, c.expected);
    onAnnouncement_ = nullptr;
    EXPECT_EQ(LastError(), Codes(ERR_NONE, 0));
    EXPECT_EQ(Open(), 1) << "COM1 is free again";
    EXPECT_EQ(QzClose(), 1);
  }
}

// The line is lost: the client learns it from QzGetLinkState and from every
// command, with the system code, until it closes.
TEST_F(SessionTest, HangUpStopsTheReaderAndFailsLaterWrites) {
  const int threadsBefore = ThreadsAtRest();
  EXPECT_EQ(QzGetLinkState(), 0);
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(QzGetLinkState(), 1);
  pty_.CloseMaster();
  // The reader records the hang-up and ends instead of waking forever.
  EXPECT_TRUE(
      PumpUntil([&] { return QzGetLinkState() < 0 && CountProcEntries("task") == threadsBefore; }));
  EXPECT_EQ(QzGetLinkState(), -EIO);
  EXPECT_EQ(LastError(), Codes(ERR_SYSTEM, EIO));
  for (const int32_t mode : {2, 3}) {  // every command, not only the first
    EXPECT_EQ(QzSetZooming(1, mode), 0) << mode;
    EXPECT_EQ(LastError(), Codes(ERR_SYSTEM, EIO)) << mode;
  }
  EXPECT_EQ(QzGetLinkState(), -EIO) << "still lost";
  EXPECT_EQ(QzClose(), 1);
  EXPECT_EQ(QzGetLinkState(), 0);
  EXPECT_EQ(LastError(), Codes(ERR_NONE, 0));
}

}  // namespace
}  // namespace qzlink
