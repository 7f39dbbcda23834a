// qtr90x-camsim as a process: the pseudo-terminal, the link, control input,
// signals and exit statuses.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "camsim/tests/test_support.h"

extern char** environ;

namespace camsim {
namespace {

constexpr int kTimeoutMs = 10000;

// The simulator running with its standard streams on pipes.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
      ADD_FAILURE() << "pipe";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
      posix_spawn_file_actions_addclose(&actions, fd);
    }
    std::vector<char*> argv{const_cast<char*>(CAMSIM_BINARY)};
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, CAMSIM_BINARY, &actions, nullptr, argv.data(), environ) != 0) {
      ADD_FAILURE() << "posix_spawn " << CAMSIM_BINARY;
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    stderr_ = err[0];
  }

  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {stdin_, stdout_, stderr_}) {
      if (fd >= 0) {
        close(fd);
      }
    }
  }

  // The next line of standard output without the newline; empty on time-out
  // or end of stream.
  std::string ReadLine() {
    char buffer[4096];
    size_t newline;
    while ((newline = outPending_.find('\n')) == std::string::npos) {
      pollfd p{stdout_, POLLIN, 0};
      ssize_t n = poll(&p, 1, kTimeoutMs) > 0 ? read(stdout_, buffer, sizeof buffer) : 0;
      if (n <= 0) {
        return {};
      }
      outPending_.append(buffer, static_cast<size_t>(n));
    }
    std::string line = outPending_.substr(0, newline);
    outPending_.erase(0, newline + 1);
    return line;
  }

  // Standard output or error up to the end of the stream.
  std::string ReadAll(bool fromStderr) {
    int fd = fromStderr ? stderr_ : stdout_;
    std::string all = fromStderr ? "" : outPending_;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    for (ssize_t n; poll(&p, 1, kTimeoutMs) > 0 && (n = read(fd, buffer, sizeof buffer)) > 0;) {
      all.append(buffer, static_cast<size_t>(n));
    }
    return all;
  }

  void Control(const std::string& line) {
    std::string text = line + "\n";
    ASSERT_EQ(write(stdin_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  void CloseStdin() {
    close(stdin_);
    stdin_ = -1;
  }

  void Signal(int signal) { kill(pid_, signal); }

  // The exit status, or -1 when it did not exit normally in time.
  int Wait() {
    for (int i = 0; i < kTimeoutMs / 10; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(10000);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
  std::string outPending_;
};

// A client of the link, as a serial port user would open it.
class Client {
 public:
  explicit Client(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios settings;
    if (fd_ >= 0 && tcgetattr(fd_, &settings) == 0) {
      cfmakeraw(&settings);
      tcsetattr(fd_, TCSANOW, &settings);
    }
  }
  ~Client() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  bool IsOpen() const { return fd_ >= 0; }

  // Writes a frame and reads the frames that come back up to the count given,
  // as hex text.
  std::vector<std::string> Exchange(const Bytes& command, size_t frames = 1) {
    EXPECT_EQ(write(fd_, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    return ReadFrames(frames);
  }

  std::vector<std::string> ReadFrames(size_t frames) {
    std::vector<std::string> texts;
    Bytes frame;
    while (texts.size() < frames) {
      pollfd p{fd_, POLLIN, 0};
      uint8_t byte;
      if (poll(&p, 1, kTimeoutMs) <= 0 || read(fd_, &byte, 1) != 1) {
        ADD_FAILURE() << "no frame from the simulator";
        break;
      }
      frame.push_back(byte);
      if (byte == 0xEF) {
        texts.push_back(test::Text(frame));
        frame.clear();
      }
    }
    return texts;
  }

 private:
  int fd_;
};

class CamsimProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "camsim-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    link_ = dir_ + "/cam";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string dir_;
  std::string link_;
};

using Texts = std::vector<std::string>;

TEST_F(CamsimProcessTest, ServesTheLineUntilSigterm) {
  SimProcess sim({"--fast", "--cameras", "2", "--model", "QT-R90x,QT-R7", "--link", link_});
  std::string ready = sim.ReadLine();
  ASSERT_EQ(ready.rfind("ready " + link_ + " -> /dev/pts/", 0), 0u) << ready;
  {
    Client client(link_);
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Exchange(test::Command(0, 0x8F, "1")), Texts{"FE 30 32 30 30 EF"});
    EXPECT_EQ(client.Exchange(test::Command(2, 0x87)), Texts{"FE 30 32 30 30 51 54 2D 52 37 EF"});
  }
  // A client closing the terminal does not end the line for the next one.
  Client client(link_);
  client.Exchange(test::Command(1, 0x94, "1"));
  client.Exchange(test::Command(1, 0x74, "11"));
  sim.Control("sensor 1 1");
  EXPECT_EQ(sim.ReadLine(), "ok");
  EXPECT_EQ(client.ReadFrames(1), Texts{"FB 30 31 30 31 EF"});
  EXPECT_EQ(client.Exchange(test::Command(1, 0xA0, "1"), 2),
            (Texts{"FE 30 31 30 30 EF", "FA 30 31 00 A0 31 EF"}));

  sim.Control("bogus");
  sim.Control("state 1");
  EXPECT_EQ(sim.ReadLine().rfind("line cameras=2", 0), 0u);
  EXPECT_EQ(sim.ReadLine().rfind("camera 1 QT-R90x power=on", 0), 0u);

  // The end of the control input does not stop the line.
  sim.CloseStdin();
  EXPECT_EQ(client.Exchange(test::Command(1, 0x52, "0")), Texts{"FE 30 31 30 30 31 39 30 EF"});

  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_NE(sim.ReadAll(true).find("error: unknown control command 'bogus'"), std::string::npos);
  struct stat info;
  EXPECT_NE(lstat(link_.c_str(), &info), 0) << "the link is left behind";
}

// unplug: the client's terminal hangs up and the link goes, as a pulled USB
// adapter; replug: a new terminal behind the same link answers again.
TEST_F(CamsimProcessTest, UnplugAndReplugTheLine) {
  SimProcess sim({"--fast", "--link", link_});
  ASSERT_EQ(sim.ReadLine().rfind("ready ", 0), 0u);
  Client before(link_);
  ASSERT_TRUE(before.IsOpen());
  EXPECT_EQ(before.Exchange(test::Command(1, 0x52, "0")).size(), 1u);
  sim.Control("unplug");
  EXPECT_EQ(sim.ReadLine(), "ok");
  struct stat info;
  EXPECT_NE(lstat(link_.c_str(), &info), 0) << "the link outlived the unplug";
  EXPECT_EQ(Client(link_).IsOpen(), false);
  sim.Control("unplug");  // refused: nothing to pull
  sim.Control("replug");
  EXPECT_EQ(sim.ReadLine().rfind("ok /dev/pts/", 0), 0u);
  Client after(link_);
  ASSERT_TRUE(after.IsOpen());
  EXPECT_EQ(after.Exchange(test::Command(1, 0x52, "0")).size(), 1u);
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_NE(sim.ReadAll(true).find("error: the line is unplugged already"), std::string::npos);
}

TEST_F(CamsimProcessTest, ReplacesALinkPacesTheLineAndStopsOnSigint) {
  ASSERT_EQ(symlink("/nonexistent", link_.c_str()), 0);
  SimProcess sim({"--link", link_, "--model", "QT-R7"});
  ASSERT_FALSE(sim.ReadLine().empty());
  EXPECT_EQ(std::filesystem::read_symlink(link_).string().rfind("/dev/pts/", 0), 0u);
  Client client(link_);
  EXPECT_EQ(client.Exchange(test::Command(1, 0x87)), Texts{"FE 30 31 30 30 51 54 2D 52 37 EF"});
  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(CamsimProcessTest, BadStartsExitWithAMessage) {
  const std::vector<std::vector<std::string>> usage = {
      {"--cameras", "0", "--link", "x"}, {"--model", "QT-R8", "--link", "x"}, {"--speed"}, {}};
  for (const auto& args : usage) {
    SimProcess sim(args);
    EXPECT_EQ(sim.Wait(), 2);
    const std::string error = sim.ReadAll(true);
    EXPECT_EQ(error.rfind("qtr90x-camsim: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), error.size() - 1) << "one line: " << error;
  }
  SimProcess help({"--help"});
  EXPECT_EQ(help.Wait(), 0);
  EXPECT_NE(help.ReadAll(false).find("Control commands"), std::string::npos);

  // A regular file at the link path is left alone.
  { std::ofstream(link_) << "keep me"; }
  SimProcess sim({"--fast", "--link", link_});
  EXPECT_EQ(sim.Wait(), 1);
  EXPECT_NE(sim.ReadAll(true).find("not a symbolic link"), std::string::npos);
  std::string content;
  std::getline(std::ifstream(link_) >> std::ws, content);
  EXPECT_EQ(content, "keep me");
}

}  // namespace
}  // namespace camsim
