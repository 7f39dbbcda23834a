// The library and qzcli through the system's ser2net, as users run them: the
// simulated camera on a pseudo-terminal, ser2net in front of it on a loopback
// port with telnet(rfc2217), and QZLINK_COM1 pointing at that port. Skipped
// when ser2net is not installed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "camlink/qzlink.h"
#include "testsupport/link_test_support.h"
#include "testsupport/ser2net_line.h"

namespace qzlink::testing {
namespace {

std::vector<Bytes>* gAnswers = nullptr;

LRESULT ClientProc(HWND, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == AckRxMessage) {
    uint8_t frame[64] = {};
    const int32_t length = QzGetMsg(static_cast<int32_t>(lParam), frame);
    gAnswers->emplace_back(frame, frame + length);
  }
  return 0;
}

std::string CompletionCode(const Bytes& answer) {
  return answer.size() >= 6 ? std::string(answer.begin() + 3, answer.begin() + 5) : "";
}

class Ser2netEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = FindSer2net();
    if (program_.empty()) {
      GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh installs it)";
    }
    work_ = ::testing::TempDir() + "qzlink-ser2net-" + std::to_string(getpid()) + "-" +
            std::to_string(counter_++);
    ASSERT_EQ(mkdir(work_.c_str(), 0700), 0);
    sim_ = std::make_unique<SimulatorProcess>(CAMSIM_PATH, work_ + "/cam");
    ASSERT_TRUE(sim_->Ready());
    server_ = std::make_unique<Ser2netServer>(program_, sim_->Link(), work_);
    ASSERT_TRUE(server_->Start());
    gAnswers = &answers_;
    window_ = QzCreateMessageWindow(&ClientProc);
  }
  void TearDown() override {
    QzClose();
    if (window_ != nullptr) {
      DestroyWindow(window_);
    }
    server_.reset();
    sim_.reset();
    gAnswers = nullptr;
    unsetenv("QZLINK_COM1");
    if (!work_.empty()) {
      std::system(("rm -rf '" + work_ + "'").c_str());
    }
  }

  int32_t Open(const char* options = "?modem=none") {
    setenv("QZLINK_COM1", server_->Address(options).c_str(), 1);
    return QzOpen(window_, 1, 9600, 8, 0, 0);
  }

  // Makes a command call and waits for its answer.
  Bytes Ask(int32_t (*call)()) {
    const size_t before = answers_.size();
    EXPECT_EQ(call(), 1);
    EXPECT_TRUE(PumpUntil([&] { return answers_.size() > before; }, 3000));
    return answers_.size() > before ? answers_.back() : Bytes{};
  }

  static inline int counter_ = 0;
  std::string program_;
  std::string work_;
  std::unique_ptr<SimulatorProcess> sim_;
  std::unique_ptr<Ser2netServer> server_;
  HWND window_ = nullptr;
  std::vector<Bytes> answers_;
};

TEST_F(Ser2netEndToEnd, ConnectSequenceRunsThroughTheServer) {
  ASSERT_EQ(Open(), 1);
  // The controller's opening steps, one command per answer.
  for (int32_t (*call)() : {+[] { return QzSetCascade(0, 0); }, +[] { return QzSetCascade(0, 1); },
                            +[] { return QzSetCmdMode(1, 0); }, +[] { return QzSetNotify(1, 1); },
                            +[] { return QzGetExtendedOperateStatus(1); }}) {
    EXPECT_EQ(CompletionCode(Ask(call)), "00");
  }
  const Bytes name = Ask([] { return QzGetUnitName(1); });
  EXPECT_NE(std::string(name.begin(), name.end()).find("QT-R90x"), std::string::npos);
  // A pseudo-terminal has no modem lines; with modem=none CTS counts as on.
  EXPECT_EQ(QzGetStatus() & 0x10, 0x10);
}

TEST_F(Ser2netEndToEnd, ServerReportsNoCtsForAPseudoTerminal) {
  // Without modem=none the server's report (every line low) means no camera.
  EXPECT_EQ(Open(""), 0);
  int32_t systemCode = 0;
  EXPECT_EQ(QzGetLastError(&systemCode), ERR_SYSTEM);
  EXPECT_EQ(systemCode, ENODEV);
}

TEST_F(Ser2netEndToEnd, SessionSurvivesAServerRestart) {
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetCascade(0, 1); })), "00");
  server_->Stop();
  // The reader sees the connection end; commands then fail with its code.
  ASSERT_TRUE(PumpUntil([] {
    int32_t code = 0;
    return QzGetLastError(&code) == ERR_SYSTEM;
  }));
  EXPECT_EQ(QzSetCascade(0, 1), 0);
  int32_t systemCode = 0;
  EXPECT_EQ(QzGetLastError(&systemCode), ERR_SYSTEM);
  EXPECT_NE(systemCode, 0);
  EXPECT_EQ(QzClose(), 1);
  ASSERT_TRUE(server_->Start());
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(CompletionCode(Ask([] { return QzSetCascade(0, 1); })), "00");
}

TEST_F(Ser2netEndToEnd, QzcliWorksThroughTheServer) {
  setenv("QZLINK_COM1", server_->Address().c_str(), 1);
  ChildProcess cli({QZCLI_PATH, "--port", "1", "--seconds", "0.3", "QzSetCascade", "0", "1", "--",
                    "QzGetUnitName", "1"});
  std::vector<std::string> lines;
  for (std::string line = cli.ReadLine(10000); !line.empty(); line = cli.ReadLine(10000)) {
    lines.push_back(line);
  }
  auto has = [&](const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
  };
  EXPECT_TRUE(has("send FF 30 30 00 8F 31 EF"));
  EXPECT_TRUE(has("recv ack #1 FE 30 31 30 30 EF"));
  EXPECT_TRUE(has("recv ack #2 FE 30 31 30 30 51 54 2D 52 39 30 78 EF"));
}

}  // namespace
}  // namespace qzlink::testing
