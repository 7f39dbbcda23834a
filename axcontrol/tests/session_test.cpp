// The control over the real camera link library and a pseudo-terminal:
// events carry the frame the reader received, and CommClose from inside an
// event handler ends the session without waiting for itself.
#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>

#include "axcontrol/library_binding.h"
#include "axcontrol/qzlink_ctrl.h"
#include "axcontrol/tests/control_test_support.h"
#include "axcontrol/type_library.h"
#include "testsupport/link_test_support.h"

namespace qzaxctrl::testing {
namespace {

// Runs the thread's messages until done() or the time-out.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    pollfd p{QzMessageWakeFd(), POLLIN, 0};
    poll(&p, 1, 10);
    QzDispatchMessages();
  }
  return true;
}

class ControlSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Valid());
    pty_.BecomeComPort(3);
  }
  qzlink::testing::PtyPair pty_;
};

// The real library, named by its path (the control's library search is
// exercised through the module by the script tests).
LibraryBinding& RealLibrary() {
  static LibraryBinding binding(QZLINKE_PATH, "QZLINKE.DLL");
  return binding;
}

int32_t OpenCom3(IDispatch* c) {
  return Value(c, "CommOpen", {MakeI4(3), MakeI4(9600), MakeI4(8), MakeI4(0), MakeI4(0)});
}

TEST_F(ControlSessionTest, AnswersArriveAsEventsWithTheirBytes) {
  OnFreshThread([&] {
    auto ctrl = QzlinkCtrl::Create(RealLibrary());
    auto c = ctrl.As<IDispatch>(IID_IDispatch);
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    ASSERT_EQ(OpenCom3(c.Get()), 1) << Value(c.Get(), "ERRORCODE");
    EXPECT_EQ(Value(c.Get(), "SetZooming", {MakeI4(1), MakeI4(2)}), 1);
    EXPECT_EQ(pty_.ReadFrame(), (qzlink::testing::Bytes{0xFF, 0x30, 0x31, 0x00, 0xA2, 0x32, 0xEF}));
    // The plain-named status function is bound: a pseudo-terminal counts as
    // asserting CTS.
    EXPECT_EQ(Value(c.Get(), "GetCommModemStatus") & 0x10, 0x10);
    // The last command as bytes.
    EXPECT_EQ(Value(c.Get(), "GetLastCmdStr"), 7);
    EXPECT_EQ(Value(c.Get(), "GetPicLastCmd", {MakeI4(4)}), 0xA2);

    pty_.Write({0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF, 0xFD, 0x30, 0x31, 0xEF});
    ASSERT_TRUE(PumpUntil([&] { return sink->events.size() == 2; }));
    EXPECT_EQ(sink->events[0], (Event{kDispidAckRxEvent, 1, 6}));
    EXPECT_EQ(sink->events[1], (Event{kDispidNotifyRxEvent, 2, 4}));
    EXPECT_EQ(Value(c.Get(), "GetPicData", {MakeI4(0)}), 0xFD);

    EXPECT_EQ(Value(c.Get(), "CommClose"), 1);
    pty_.Write({0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF});
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(sink->events.size(), 2u);
    Value(c.Get(), "Terminate");
  });
}

TEST_F(ControlSessionTest, CommCloseInsideAnEventHandlerReturns) {
  OnFreshThread([&] {
    auto ctrl = QzlinkCtrl::Create(RealLibrary());
    auto c = ctrl.As<IDispatch>(IID_IDispatch);
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    int32_t closed = 0;
    sink->onEvent = [&](const Event&) {
      if (closed == 0)
        closed = Value(c.Get(), "CommClose");
    };
    ASSERT_EQ(OpenCom3(c.Get()), 1);
    // Two answers back to back: the second arrives while the first's
    // handler closes the session.
    pty_.Write({0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF, 0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF});
    ASSERT_TRUE(PumpUntil([&] { return closed != 0; }));
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(sink->events.size(), 1u);
    // The session is closed: a new one opens.
    EXPECT_EQ(OpenCom3(c.Get()), 1);
    EXPECT_EQ(Value(c.Get(), "CommClose"), 1);
    Value(c.Get(), "Terminate");
  });
}

}  // namespace
}  // namespace qzaxctrl::testing
