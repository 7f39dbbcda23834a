// The control's members, error state, persistence, binding failures and
// events, against a recording stand-in for the library. Each test runs on its
// own thread, so that it starts with fresh per-thread shared state.
#include <gtest/gtest.h>

#include "axcontrol/library_binding.h"
#include "axcontrol/notify_window.h"
#include "axcontrol/qzlink_ctrl.h"
#include "axcontrol/tests/control_test_support.h"
#include "axcontrol/tests/fake_qzlinke.h"
#include "axcontrol/type_library.h"

namespace qzaxctrl::testing {
namespace {

FakeQzlinkeState& Lib() {
  return *FakeQzlinke();
}

ComPtr<IDispatch> NewControl(LibraryBinding& binding = QzlinkeBinding()) {
  ComPtr<QzlinkCtrl> ctrl = QzlinkCtrl::Create(binding);
  ctrl->InitNew();
  return ctrl.As<IDispatch>(IID_IDispatch);
}

int32_t Open(IDispatch* c) {
  return Value(c, "CommOpen", {MakeI4(1), MakeI4(9600), MakeI4(8), MakeI4(0), MakeI4(0)});
}

// Error code and detail as GetLastError hands them out.
std::pair<int32_t, int32_t> ErrorState(IDispatch* c) {
  int32_t detail = -99;
  const int32_t code = Value(c, "GetLastError", {MakeI4Ref(&detail)});
  EXPECT_EQ(code, Value(c, "ERRORCODE"));
  return {code, detail};
}

// Sends a library message to the thread's hidden window, as the reader does.
LRESULT Deliver(UINT msg, WPARAM wParam, LPARAM sequence) {
  return SendMessageA(Shared().hNotifyWnd, msg, wParam, sequence);
}

// Installs a procedure on the hidden window before any control hooks it,
// so that the tests see what reaches the previous procedure.
std::vector<UINT>* previousProcLog = nullptr;
LRESULT RecordingProc(HWND, UINT msg, WPARAM, LPARAM) {
  if (previousProcLog != nullptr)
    previousProcLog->push_back(msg);
  return 42;
}

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override { Lib().Reset(); }
};

TEST_F(ControlTest, CameraMethodsPassArgumentsAndSetTheErrorState) {
  struct Row {
    const char* method;
    std::vector<int32_t> args;
    int32_t libraryResult;
    const char* expectedCall;
    int32_t expectedCode;
    int32_t expectedDetail;
  };
  const Row rows[] = {
      {"SetZooming", {1, 2}, 0, "QzSetZooming(1,2)", -1, 9},
      {"SetZooming", {1, 2}, 1, "QzSetZooming(1,2)", 0, 0},
      {"GetZoomPosition", {3}, 0, "QzGetZoomPosition(3)", -1, 9},
      {"SetMotorSpeed", {1, 0, 900}, 7, "QzSetMotorSpeed(1,0,900)", 0, 0},
      {"SetPTAngle1", {1, 1, -300, 250}, 0, "QzSetPTAngle1(1,1,-300,250)", -1, 9},
      // The library spells these IrLight / IrCutFilter.
      {"SetIRLight", {2, 5}, 1, "QzSetIrLight(2,5)", 0, 0},
      {"GetIRCutFilter", {4}, 0, "QzGetIrCutFilter(4)", -1, 9},
  };
  OnFreshThread([&] {
    auto c = NewControl();
    for (const Row& row : rows) {
      SCOPED_TRACE(row.expectedCall);
      Lib().calls.clear();
      Lib().results.clear();
      Lib().results[std::string("Qz") + row.method] = row.libraryResult;
      Lib().results["QzSetIrLight"] = Lib().results["QzGetIrCutFilter"] = row.libraryResult;
      std::vector<VARIANT> args;
      for (int32_t a : row.args)
        args.push_back(MakeI4(a));
      EXPECT_EQ(Value(c.Get(), row.method, args), row.libraryResult);
      ASSERT_FALSE(Lib().calls.empty());
      EXPECT_EQ(Lib().calls[0], row.expectedCall);
      EXPECT_EQ(ErrorState(c.Get()), std::make_pair(row.expectedCode, row.expectedDetail));
    }
  });
}

TEST_F(ControlTest, CommOpenAndCommCloseErrorState) {
  OnFreshThread([] {
    auto c = NewControl();
    // A failed open keeps the library's code and detail.
    EXPECT_EQ(
        Value(c.Get(), "CommOpen", {MakeI4(99), MakeI4(9600), MakeI4(8), MakeI4(0), MakeI4(0)}), 0);
    EXPECT_EQ(ErrorState(c.Get()), std::make_pair(-1, 2));
    // A successful one clears the code only.
    EXPECT_EQ(Open(c.Get()), 1);
    EXPECT_EQ(ErrorState(c.Get()), std::make_pair(0, 2));
    EXPECT_EQ(Value(c.Get(), "CommClose"), 1);
    EXPECT_EQ(ErrorState(c.Get()), std::make_pair(0, 0));
    // Without a session: -2, both cleared, no library call.
    Value(c.Get(), "SetZooming", {MakeI4(1), MakeI4(2)});
    Lib().results["QzSetZooming"] = 0;
    Lib().errorDetail = 9;
    Value(c.Get(), "SetZooming", {MakeI4(1), MakeI4(2)});
    ASSERT_EQ(ErrorState(c.Get()), std::make_pair(-1, 9));
    Lib().calls.clear();
    EXPECT_EQ(Value(c.Get(), "CommClose"), -2);
    EXPECT_EQ(ErrorState(c.Get()), std::make_pair(0, 0));
    EXPECT_EQ(Lib().CountOf("QzClose"), 0);
  });
}

TEST_F(ControlTest, SecondCommOpenKeepsTheOpenSession) {
  OnFreshThread([] {
    auto c = NewControl();
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    ASSERT_EQ(Open(c.Get()), 1);
    EXPECT_EQ(Open(c.Get()), 0);
    EXPECT_EQ(Value(c.Get(), "ERRORCODE"), -3);
    // Events still flow and CommClose still closes the library's session.
    Deliver(kAckRxMessage, 1, 1);
    EXPECT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(Value(c.Get(), "CommClose"), 1);
    EXPECT_FALSE(Lib().open);
  });
}

TEST_F(ControlTest, PictureAndLastCommandIndexes) {
  OnFreshThread([] {
    auto c = NewControl();
    Lib().frames[5] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0x41, 0x42, 0x43, 0x44, 0xEF};
    // Before any message every index gives 0.
    for (int32_t i : {-1, 0, 5, 128}) {
      EXPECT_EQ(Value(c.Get(), "GetPicData", {MakeI4(i)}), 0) << i;
    }
    ASSERT_EQ(Open(c.Get()), 1);
    Deliver(kAckRxMessage, 1, 5);
    struct Row {
      int32_t index;
      int32_t picData;
    };
    for (const Row& row : {Row{-1, 0}, Row{0, 0xFE}, Row{9, 0xEF}, Row{10, 0}, Row{128, 0}}) {
      EXPECT_EQ(Value(c.Get(), "GetPicData", {MakeI4(row.index)}), row.picData) << row.index;
    }
    struct CmdRow {
      int32_t index;
      int32_t value;
      int calls;
    };
    for (const CmdRow& row :
         {CmdRow{-1, 0, 0}, CmdRow{0, 1, 1}, CmdRow{127, 128, 1}, CmdRow{128, 0, 0}}) {
      Lib().calls.clear();
      EXPECT_EQ(Value(c.Get(), "GetPicLastCmd", {MakeI4(row.index)}), row.value) << row.index;
      EXPECT_EQ(Lib().CountOf("QzPicLastCmdVB"), row.calls) << row.index;
    }
    // The 16-bit result: a byte of 255 stays 255 (it is not a signed char).
    Lib().results["QzPicLastCmdVB"] = 255 - 3;
    EXPECT_EQ(Value(c.Get(), "GetPicLastCmd", {MakeI4(3)}), 255);
  });
}

TEST_F(ControlTest, ErrorCodePutFailsByUserMode) {
  struct Row {
    int siteMode;  // -1: no site
    int expectedError;
  };
  for (const Row& row : {Row{0, 387}, Row{1, 382}, Row{-1, 382}}) {
    OnFreshThread([&] {
      ComPtr<QzlinkCtrl> ctrl = QzlinkCtrl::Create(QzlinkeBinding());
      ctrl->InitNew();
      if (row.siteMode >= 0)
        ctrl->SetClientSite(AmbientSite::Create(row.siteMode == 1).Get());
      auto c = ctrl.As<IDispatch>(IID_IDispatch);
      Lib().results["QzSetZooming"] = 0;
      Value(c.Get(), "SetZooming", {MakeI4(1), MakeI4(1)});
      const CallResult put = Call(c.Get(), "ERRORCODE", {MakeI4(5)}, DISPATCH_PROPERTYPUT);
      EXPECT_EQ(put.hr, DISP_E_EXCEPTION);
      EXPECT_EQ(ErrorCodeOf(put.error.scode), row.expectedError);
      EXPECT_EQ(Value(c.Get(), "ERRORCODE"), -1);
    });
  }
}

TEST_F(ControlTest, PropertyBagRoundTrip) {
  OnFreshThread([] {
    auto bag = MemoryPropertyBag::Create();
    ComPtr<QzlinkCtrl> first = QzlinkCtrl::Create(QzlinkeBinding());
    first->InitNew();
    Lib().results["QzSetZooming"] = 0;
    Lib().errorCode = 5;
    Value(first.As<IDispatch>(IID_IDispatch).Get(), "SetZooming", {MakeI4(1), MakeI4(1)});
    ASSERT_EQ(first->Save(bag.Get(), true, false), S_OK);
    ComPtr<QzlinkCtrl> loaded = QzlinkCtrl::Create(QzlinkeBinding());
    ASSERT_EQ(loaded->Load(bag.Get()), S_OK);
    EXPECT_EQ(Value(loaded.As<IDispatch>(IID_IDispatch).Get(), "ERRORCODE"), 5);

    // The default is left out and loads as 0; a 16-bit value loads widened.
    auto empty = MemoryPropertyBag::Create();
    ComPtr<QzlinkCtrl> fresh = QzlinkCtrl::Create(QzlinkeBinding());
    fresh->InitNew();
    fresh->Save(empty.Get(), true, false);
    EXPECT_FALSE(empty->Has("ErrorCode"));
    loaded->Load(empty.Get());
    EXPECT_EQ(Value(loaded.As<IDispatch>(IID_IDispatch).Get(), "ERRORCODE"), 0);
    const VARIANT narrow = MakeI2(-3);
    empty->Write("ErrorCode", &narrow);
    loaded->Load(empty.Get());
    EXPECT_EQ(Value(loaded.As<IDispatch>(IID_IDispatch).Get(), "ERRORCODE"), -3);
  });
}

TEST_F(ControlTest, EventsFollowTheSessionAndTheHook) {
  OnFreshThread([] {
    std::vector<UINT> previous;
    previousProcLog = &previous;
    SetWindowLongPtrA(NotifyWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    auto c = NewControl();
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    Lib().frames[2] = {0xFA, 0x30, 0x31, 0x00, 0xA5, 0x31, 0xEF};

    // Before CommOpen: nothing raised, the message still reaches the
    // previous procedure and its result comes back.
    EXPECT_EQ(Deliver(kNotifyRxMessage, 1, 2), 42);
    EXPECT_TRUE(sink->events.empty());

    ASSERT_EQ(Open(c.Get()), 1);
    EXPECT_EQ(Deliver(kAckRxMessage, 1, 1), 42);
    EXPECT_EQ(Deliver(kNotifyRxMessage, 3, 2), 42);
    EXPECT_EQ(Deliver(0x8010, 1, 1), 42);  // any other message passes through
    EXPECT_EQ(sink->events,
              (std::vector<Event>{{kDispidAckRxEvent, 1, 6}, {kDispidNotifyRxEvent, 3, 7}}));

    // A sequence number the library no longer holds: lBytes 0.
    Deliver(kNotifyRxMessage, 1, 77);
    EXPECT_EQ(sink->events.back(), (Event{kDispidNotifyRxEvent, 1, 0}));
    EXPECT_EQ(Value(c.Get(), "GetPicData", {MakeI4(0)}), 0);

    // After CommClose nothing is raised though the window stays hooked.
    Value(c.Get(), "CommClose");
    const size_t before = sink->events.size();
    Deliver(kAckRxMessage, 1, 1);
    EXPECT_EQ(sink->events.size(), before);
    EXPECT_EQ(previous, (std::vector<UINT>{kNotifyRxMessage, kAckRxMessage, kNotifyRxMessage,
                                           0x8010, kNotifyRxMessage, kAckRxMessage}));
    previousProcLog = nullptr;
  });
}

TEST_F(ControlTest, TerminateStopsEventsAndALateInstanceReceivesThemAtOnce) {
  OnFreshThread([] {
    auto first = NewControl();
    auto firstSink = Listen(first.Get(), kIidQzlinkCtrlEvents);
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    ASSERT_EQ(Open(first.Get()), 1);
    Value(first.Get(), "Terminate");
    Deliver(kAckRxMessage, 1, 1);
    EXPECT_TRUE(firstSink->events.empty());
    // Unhooked: CommOpen returns 0 without calling the library.
    Lib().calls.clear();
    EXPECT_EQ(Open(first.Get()), 0);
    EXPECT_TRUE(Lib().calls.empty());

    // The session is still open: a new instance gets its events at once.
    auto late = NewControl();
    auto lateSink = Listen(late.Get(), kIidQzlinkCtrlEvents);
    Deliver(kAckRxMessage, 1, 1);
    EXPECT_EQ(lateSink->events.size(), 1u);
    EXPECT_TRUE(firstSink->events.empty());
  });
}

TEST_F(ControlTest, TheLastInstanceReceivesAndAnOlderOneKeepsItsBytes) {
  OnFreshThread([] {
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0x41, 0x42, 0x43, 0x44, 0xEF};
    Lib().frames[2] = {0xFA, 0x30, 0x31, 0xEF};
    auto first = NewControl();
    auto firstSink = Listen(first.Get(), kIidQzlinkCtrlEvents);
    ASSERT_EQ(Open(first.Get()), 1);
    Deliver(kAckRxMessage, 1, 1);
    auto second = NewControl();
    auto secondSink = Listen(second.Get(), kIidQzlinkCtrlEvents);
    Deliver(kNotifyRxMessage, 1, 2);
    EXPECT_EQ(firstSink->events.size(), 1u);
    EXPECT_EQ(secondSink->events.size(), 1u);
    EXPECT_EQ(Value(first.Get(), "GetPicData", {MakeI4(5)}), 0x41);
    // A shorter frame after a longer one: only its own bytes count.
    Deliver(kNotifyRxMessage, 1, 1);
    Deliver(kNotifyRxMessage, 1, 2);
    EXPECT_EQ(Value(second.Get(), "GetPicData", {MakeI4(3)}), 0xEF);
    EXPECT_EQ(Value(second.Get(), "GetPicData", {MakeI4(4)}), 0);
  });
}

TEST_F(ControlTest, ReleasingAnOlderInstanceLeavesTheActiveOneReceiving) {
  OnFreshThread([] {
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    auto older = NewControl();
    auto newer = NewControl();
    auto sink = Listen(newer.Get(), kIidQzlinkCtrlEvents);
    ASSERT_EQ(Open(newer.Get()), 1);
    older.Reset();  // the container lets the older instance go: it terminates
    Deliver(kAckRxMessage, 1, 1);
    EXPECT_EQ(sink->events.size(), 1u);
    EXPECT_TRUE(Shared().bHooked);
  });
}

TEST_F(ControlTest, TerminateInsideAnEventHandlerOfAReleasedInstanceIsSafe) {
  OnFreshThread([] {
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    auto c = NewControl();
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    ASSERT_EQ(Open(c.Get()), 1);
    IDispatch* raw = c.Get();
    // Only oActiveCtrl holds the instance now; its handler lets go of it.
    sink->onEvent = [raw](const Event&) { Value(raw, "Terminate"); };
    c.Reset();
    Deliver(kAckRxMessage, 1, 1);
    EXPECT_EQ(sink->events.size(), 1u);
    EXPECT_FALSE(Shared().bHooked);
    EXPECT_EQ(Shared().oActiveCtrl, nullptr);
  });
}

TEST_F(ControlTest, CommCloseInAHandlerAnswersTheWaitingReaderFirst) {
  OnFreshThread([] {
    Lib().frames[1] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
    auto c = NewControl();
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    ASSERT_EQ(Open(c.Get()), 1);
    int32_t closed = 0;
    sink->onEvent = [&](const Event&) { closed = Value(c.Get(), "CommClose"); };
    // The reader: a thread that sends and waits for the window procedure.
    const HWND window = Shared().hNotifyWnd;
    std::thread reader([window] { SendMessageA(window, kAckRxMessage, 1, 1); });
    while (closed == 0) {
      QzMsgWaitForFd(QzMessageWakeFd(), 1000);
      QzDispatchMessages();
    }
    reader.join();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(Lib().closesWhileASenderWaits, 0);
  });
}

TEST_F(ControlTest, LongFramesAreCutAtTheBuffer) {
  OnFreshThread([] {
    auto c = NewControl();
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    std::vector<uint8_t> frame(200);
    for (size_t i = 0; i < frame.size(); ++i)
      frame[i] = static_cast<uint8_t>(i + 1);
    Lib().frames[1] = frame;
    ASSERT_EQ(Open(c.Get()), 1);
    Deliver(kAckRxMessage, 1, 1);
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].lBytes, 129);
    EXPECT_EQ(Value(c.Get(), "GetPicData", {MakeI4(128)}), 129);
    EXPECT_EQ(Value(c.Get(), "GetPicData", {MakeI4(129)}), 0);
  });
}

TEST_F(ControlTest, BindingFailuresAreAutomationErrors) {
  OnFreshThread([] {
    LibraryBinding missing("libqzlinke-not-installed.so", "QZLINKE.DLL");
    auto absent = NewControl(missing);
    const CallResult noLibrary = Call(absent.Get(), "SetZooming", {MakeI4(1), MakeI4(1)});
    EXPECT_EQ(noLibrary.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(ErrorCodeOf(noLibrary.error.scode), 53);
    EXPECT_EQ(noLibrary.error.description, "File not found: QZLINKE.DLL");

    auto c = NewControl();
    Lib().results["QzSetZooming"] = 0;
    Value(c.Get(), "SetZooming", {MakeI4(1), MakeI4(1)});
    struct Row {
      const char* method;
      const char* entry;
    };
    for (const Row& row :
         {Row{"SetDomeData", "QzSetDomeData"}, Row{"GetExtLightMode", "QzGetExtLightMode"},
          Row{"GetOperateStatus4", "QzGetOperateStatus4"}}) {
      std::vector<VARIANT> args = {MakeI4(1)};
      if (row.method[0] == 'S')
        args.push_back(MakeI4(1));
      const CallResult r = Call(c.Get(), row.method, args);
      EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
      EXPECT_EQ(ErrorCodeOf(r.error.scode), 453);
      EXPECT_EQ(r.error.description,
                std::string("Can't find DLL entry point ") + row.entry + " in QZLINKE.DLL");
    }
    // The error state stays as it was.
    EXPECT_EQ(ErrorState(c.Get()), std::make_pair(-1, 9));
  });
}

TEST_F(ControlTest, BindingFailureInTheWindowProcedureSkipsTheEventOnly) {
  OnFreshThread([] {
    std::vector<UINT> previous;
    previousProcLog = &previous;
    SetWindowLongPtrA(NotifyWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    LibraryBinding noMessages(FAKE_NOMSG_PATH, "QZLINKE.DLL");
    auto c = NewControl(noMessages);
    auto sink = Listen(c.Get(), kIidQzlinkCtrlEvents);
    ASSERT_EQ(Open(c.Get()), 1);
    EXPECT_EQ(Deliver(kAckRxMessage, 1, 1), 42);
    EXPECT_TRUE(sink->events.empty());
    EXPECT_EQ(previous, std::vector<UINT>{kAckRxMessage});
    previousProcLog = nullptr;
  });
}

}  // namespace
}  // namespace qzaxctrl::testing
