// The library against the simulated camera over a real pseudo-terminal,
// driven the way the controller drives it: one command per answer.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "camlink/qzlink.h"
#include "testsupport/link_test_support.h"

extern char** environ;

namespace qzlink::testing {
namespace {

// qtr90x-camsim as a child process; its standard input takes control commands.
class SimulatedLine {
 public:
  explicit SimulatedLine(std::vector<std::string> options) {
    link_ = ::testing::TempDir() + "qzlink-camsim-" + std::to_string(getpid()) + "-" +
            std::to_string(counter_++);
    options.insert(options.begin(), {CAMSIM_PATH, "--fast", "--link", link_});
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    std::vector<char*> argv;
    for (std::string& option : options) {
      argv.push_back(option.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, CAMSIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    control_ = toChild[1];
    output_ = fromChild[0];
    ready_ = pid_ > 0 && ReadLine(10000).rfind("ready ", 0) == 0;
  }

  ~SimulatedLine() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    close(control_);
    close(output_);
  }

  bool Ready() const { return ready_; }
  const std::string& Link() const { return link_; }

  // Sends a control command and returns the simulator's reply line, "ok" once
  // the command is in force ("" when none came; errors go to its stderr).
  std::string Control(const std::string& line) const {
    const std::string text = line + "\n";
    if (write(control_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      return "";
    }
    return ReadLine(5000);
  }

 private:
  std::string ReadLine(int timeoutMs) const {
    std::string line;
    char c = 0;
    pollfd p{output_, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0 && read(output_, &c, 1) == 1 && c != '\n') {
      line += c;
    }
    return line;
  }

  static inline int counter_ = 0;
  pid_t pid_ = -1;
  int control_ = -1;
  int output_ = -1;
  std::string link_;
  bool ready_ = false;
};

struct Received {
  UINT message;
  WPARAM wParam;
  Bytes bytes;
};

std::vector<Received>* gInbox = nullptr;

// Fetches each announced frame inside the handler, as a client must.
LRESULT ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == AckRxMessage || msg == NotifyRxMessage) {
    uint8_t frame[64] = {};
    const int32_t length = QzGetMsg(static_cast<int32_t>(lParam), frame);
    gInbox->push_back({msg, wParam, Bytes(frame, frame + length)});
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char item[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(item, sizeof item, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += item;
  }
  return text;
}

// An answer's data characters read as hex digits, as the controller reads
// them: the bytes between the completion code and the terminator.
int64_t AnswerValue(const Bytes& answer) {
  int64_t value = 0;
  for (size_t i = 5; i + 1 < answer.size(); ++i) {
    const char c = static_cast<char>(answer[i]);
    value = value * 16 + (std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10);
  }
  return value;
}

std::string AnswerText(const Bytes& answer) {
  return answer.size() > 6 ? std::string(answer.begin() + 5, answer.end() - 1) : "";
}

std::string CompletionCode(const Bytes& answer) {
  return answer.size() >= 6
             ? std::string{static_cast<char>(answer[3]), static_cast<char>(answer[4])}
             : "";
}

class CamsimEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    gInbox = &inbox_;
    window_ = QzCreateMessageWindow(&ClientProc);
  }
  void TearDown() override {
    QzClose();
    DestroyWindow(window_);
    gInbox = nullptr;
  }

  void Connect(const SimulatedLine& line) {
    ASSERT_TRUE(line.Ready());
    setenv("QZLINK_COM1", line.Link().c_str(), 1);
    ASSERT_EQ(QzOpen(window_, 1, 9600, 8, 0, 0), 1);
  }

  // Makes a command call and waits for its answer.
  Bytes Ask(const std::function<int32_t()>& call) {
    const size_t answersBefore = CountAnswers();
    EXPECT_EQ(call(), 1);
    EXPECT_TRUE(PumpUntil([&] { return CountAnswers() > answersBefore; }, 3000))
        << "no answer to " << LastCommand();
    for (auto it = inbox_.rbegin(); it != inbox_.rend(); ++it) {
      if (it->message == AckRxMessage) {
        return it->bytes;
      }
    }
    return {};
  }

  // Waits for a notification whose hex text contains `text`.
  bool AwaitNotification(const std::string& text, int timeoutMs = 3000) {
    return PumpUntil(
        [&] {
          for (const Received& r : inbox_) {
            if (r.message == NotifyRxMessage && Hex(r.bytes).find(text) != std::string::npos) {
              return true;
            }
          }
          return false;
        },
        timeoutMs);
  }

  size_t CountAnswers() const {
    size_t n = 0;
    for (const Received& r : inbox_) {
      n += r.message == AckRxMessage;
    }
    return n;
  }

  static std::string LastCommand() {
    uint8_t frame[64] = {};
    return Hex(Bytes(frame, frame + QzGetLastCmdstr(frame)));
  }

  HWND window_ = nullptr;
  std::vector<Received> inbox_;
};

struct ConnectCase {
  const char* model;
  bool pedestalInitialised;
  bool powerOn;
  int commands;  // commands of the connect sequence, the status re-read not counted
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ConnectCase& c, std::ostream* os) {
  *os << c.model
      << (c.pedestalInitialised ? ", pedestal initialised" : ", pedestal not initialised")
      << (c.powerOn ? ", power on" : ", power off");
}

class ConnectSequence : public CamsimEndToEnd, public ::testing::WithParamInterface<ConnectCase> {};

// The connect sequence of the controller, every column of its step table.
TEST_P(ConnectSequence, RunsOneCommandPerAnswerToTheEnd) {
  const ConnectCase& c = GetParam();
  SimulatedLine line({"--model", c.model, "--cameras", "2", "--power", c.powerOn ? "on" : "off",
                      "--pedestal", c.pedestalInitialised ? "initialised" : "uninitialised"});
  Connect(line);
  const int cam = 1;
  int commands = 0;
  auto step = [&](const std::function<int32_t()>& call) {
    ++commands;
    const Bytes answer = Ask(call);
    EXPECT_EQ(CompletionCode(answer), "00") << LastCommand() << " -> " << Hex(answer);
    return answer;
  };

  step([] { return QzSetCascade(0, 0); });
  const Bytes cascade = step([] { return QzSetCascade(0, 1); });
  ASSERT_GE(cascade.size(), 3u);
  EXPECT_EQ(cascade[2], '2') << "the camera count travels in the third byte";
  step([&] { return QzSetCmdMode(cam, 0); });
  step([&] { return QzSetNotify(cam, 1); });
  int64_t status = AnswerValue(step([&] { return QzGetExtendedOperateStatus(cam); }));
  EXPECT_EQ((status & (1 << 5)) == 0, c.powerOn) << "power bit";
  EXPECT_EQ((status & (1 << 4)) == 0, c.pedestalInitialised) << "pedestal bit";

  // Power on: acknowledged at once, confirmed by a notification later, also
  // when the power was already on.
  step([&] { return QzSetCameraPower(cam, 1); });
  ASSERT_TRUE(AwaitNotification("00 A0 31")) << "no power-on notification";
  if (!c.powerOn) {
    status = AnswerValue(Ask([&] { return QzGetExtendedOperateStatus(cam); }));
    EXPECT_EQ(status & (1 << 5), 0) << "power is on after the notification";
  }
  EXPECT_EQ(AnswerText(step([&] { return QzGetUnitName(cam); })), c.model);

  const bool r7 = std::string(c.model) == "QT-R7";
  if (!c.pedestalInitialised) {
    step([&] { return QzPedestalInitialize(cam, 0); });
    ASSERT_TRUE(AwaitNotification("00 58 30")) << "no pedestal notification";
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    step([&] { return QzSetDate(cam, local.tm_year - 100, local.tm_mon + 1, local.tm_mday); });
    step([&] { return QzSetTime(cam, local.tm_hour, local.tm_min, local.tm_sec); });
  }
  if (!r7) {
    EXPECT_EQ(AnswerValue(step([&] { return QzGetIrLight(cam); })), 0);
    step([&] { return QzGetIrCutFilter(cam); });
  }
  const Bytes presets = step([&] { return QzGetExtendPreset(cam); });
  EXPECT_EQ(AnswerText(presets).size(), 3u) << "registered presets as three digits";
  if (!r7) {
    step([&] { return QzSetSensorInputDetectProp(cam, 17); });
  }
  EXPECT_EQ(commands, c.commands);
}

INSTANTIATE_TEST_SUITE_P(Columns, ConnectSequence,
                         ::testing::Values(ConnectCase{"QT-R7", true, true, 8},
                                           ConnectCase{"QT-R7", false, true, 11},
                                           ConnectCase{"QT-R90x", true, true, 11},
                                           ConnectCase{"QT-R90xN", false, true, 14},
                                           ConnectCase{"QT-R90x", true, false, 11}),
                         [](const ::testing::TestParamInfo<ConnectCase>& param) {
                           std::string name = param.param.model;
                           name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                           return name + (param.param.pedestalInitialised ? "_ped" : "_noped") +
                                  (param.param.powerOn ? "_on" : "_off");
                         });

TEST_F(CamsimEndToEnd, RefusalsArriveAsCompletionCodes) {
  SimulatedLine line({"--model", "QT-R7"});
  Connect(line);
  struct Case {
    std::function<int32_t()> call;
    const char* code;
  };
  const Case cases[] = {
      {[] { return QzSetMotorSpeed(1, 0, 900); }, "50"},  // pan speed outside 8 to 800
      {[] { return QzSetMotorSpeed(1, 1, 700); }, "50"},  // tilt speed outside 8 to 622
      {[] { return QzGetIrLight(1); }, "90"},             // the QT-R7 has no IR light
      {[] { return QzSetMotorSpeed(1, 0, 800); }, "00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompletionCode(Ask(c.call)), c.code) << LastCommand();
  }
  ASSERT_EQ(line.Control("inject 31 next"), "ok");
  EXPECT_EQ(CompletionCode(Ask([] { return QzGetZoomPosition(1); })), "31");
  EXPECT_EQ(CompletionCode(Ask([] { return QzGetZoomPosition(1); })), "00");
}

TEST_F(CamsimEndToEnd, ACascadeOfThreeAnswersForEachAddress) {
  SimulatedLine line({"--model", "QT-R90x", "--cameras", "3"});
  Connect(line);
  EXPECT_EQ(Ask([] { return QzSetCascade(0, 1); })[2], '3');
  for (int cam = 1; cam <= 3; ++cam) {
    const Bytes answer = Ask([cam] { return QzGetUnitName(cam); });
    EXPECT_EQ(answer[2], '0' + cam);
    EXPECT_EQ(AnswerText(answer), "QT-R90x");
  }
  // No camera at address 4: the line stays silent. The cascade answers in
  // order, so once camera 1 has answered a later query, no answer to camera 4
  // is on its way.
  const size_t before = CountAnswers();
  EXPECT_EQ(QzGetUnitName(4), 1);
  EXPECT_EQ(Ask([] { return QzGetUnitName(1); })[2], '1');
  EXPECT_EQ(CountAnswers(), before + 1);
}

TEST_F(CamsimEndToEnd, SettersAndQueriesRoundTrip) {
  SimulatedLine line({"--model", "QT-R90x"});
  Connect(line);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetZoomPosition(1, 0x3C); })), "00");
  EXPECT_EQ(AnswerValue(Ask([] { return QzGetZoomPosition(1); })), 0x3C);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetIrLight(1, 4); })), "00");
  EXPECT_EQ(AnswerValue(Ask([] { return QzGetIrLight(1); })), 4);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetElectronicZoom(1, 12); })), "00");
  const int64_t zoom = AnswerValue(Ask([] { return QzGetElectronicZoom(1); }));
  EXPECT_EQ(zoom % 16 + zoom / 16 * 10, 12);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetMotorSpeed(1, 0, 300); })), "00");
  EXPECT_EQ(AnswerValue(Ask([] { return QzGetMotorSpeed(1, 0); })), 300);
}

TEST_F(CamsimEndToEnd, SensorChangesAreAnnouncedAsDetect) {
  SimulatedLine line({"--model", "QT-R90x"});
  Connect(line);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetNotify(1, 1); })), "00");
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetSensorInputDetectProp(1, 17); })), "00");
  ASSERT_EQ(line.Control("sensor 1 1"), "ok");
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (const Received& r : inbox_) {
          if (r.message == NotifyRxMessage && r.wParam == 5) {
            return true;
          }
        }
        return false;
      },
      3000));
  EXPECT_EQ(AnswerValue(Ask([] { return QzGetSensorInputTerminalStat(1); })) & 1, 1);
}

}  // namespace
}  // namespace qzlink::testing
