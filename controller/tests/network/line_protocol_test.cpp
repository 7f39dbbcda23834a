// What the network's commands put on the line, and what the line's answers
// and notifications mean to the network, as tables.
#include "ui/network/line_protocol.h"

#include <gtest/gtest.h>

namespace qtr90x::net {
namespace {

using F = LibraryFunction;
using qznet::CameraError;
using qznet::MoveVelocity;

std::string Describe(const std::vector<LibraryCall>& calls) {
  std::string text;
  for (const LibraryCall& call : calls)
    text += (text.empty() ? "" : " ") + DescribeCall(call);
  return text;
}

TEST(LineProtocol, PanTiltCodesFollowTheLibrarysDirections) {
  struct Case {
    double pan, tilt;
    int code;
  };
  const Case cases[] = {{0, 0, 0}, {0, 1, 1},  {0, -1, 2}, {1, 0, 3},   {-1, 0, 4},
                        {1, 1, 5}, {1, -1, 6}, {-1, 1, 7}, {-1, -1, 8}, {0.01, -0.5, 6}};
  for (const Case& c : cases)
    EXPECT_EQ(PanTiltCode(c.pan, c.tilt), c.code) << c.pan << "," << c.tilt;
}

// A sequence of moves and stops on one camera, each with the calls it sends.
TEST(LineProtocol, MovesSendSpeedsOnlyWhenTheyChangeAndStopWhatRuns) {
  struct Step {
    bool stop;
    MoveVelocity velocity;
    const char* calls;
  };
  const Step steps[] = {
      {false, {0.6, 0, 0, 0}, "QzSetMotorSpeed(1, 0, 483) QzSetPanTilt2(1, 3)"},
      {false, {0.6, 0, 0, 0}, "QzSetPanTilt2(1, 3)"},  // same speed: the direction only
      {false, {-0.6, 1, 0, 0}, "QzSetMotorSpeed(1, 1, 622) QzSetPanTilt2(1, 7)"},
      {false, {0, 0, 1, 0}, "QzSetPanTilt2(1, 0) QzSetZoomSpeed(1, 7) QzSetZooming(1, 2)"},
      {false, {0, 0, -0.3, 0.5}, "QzSetZoomSpeed(1, 2) QzSetZooming(1, 1) QzSetFocusMode(1, 3)"},
      {false, {0, 0, 0, -1}, "QzSetZooming(1, 0) QzSetFocusMode(1, 2)"},
      {true, {}, "QzSetPanTilt2(1, 0) QzSetFocusMode(1, 1)"},
      {true, {}, "QzSetPanTilt2(1, 0)"},  // a stop always stops pan and tilt
      {false, {0, 0, 0.3, 0}, "QzSetZooming(1, 2)"},
  };
  DriveState drives;
  int index = 0;
  for (const Step& step : steps) {
    const auto calls = step.stop ? StopCalls(1, drives) : MoveCalls(1, step.velocity, drives);
    EXPECT_EQ(Describe(calls), step.calls) << "step " << index;
    ++index;
  }
  EXPECT_TRUE(drives.zoom);
  EXPECT_FALSE(drives.panTilt);
}

TEST(LineProtocol, AnswerCodesMapToTheHubsErrors) {
  struct Case {
    QByteArray frame;
    CameraError error;
  };
  const Case cases[] = {
      {QByteArray::fromHex("FE303130303030EF"), CameraError::None},
      {QByteArray::fromHex("FE30313130EF"), CameraError::Busy},
      {QByteArray::fromHex("FE30313930EF"), CameraError::NotExecutable},
      {QByteArray::fromHex("FE30313530EF"), CameraError::Parameter},
      {QByteArray::fromHex("FE30313330EF"), CameraError::Parameter},  // preset not stored
      {QByteArray::fromHex("FE30313731EF"), CameraError::Failed},
      {QByteArray(), CameraError::NoAnswer},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOfAnswer(c.frame), c.error) << c.frame.toHex(' ').toStdString();
    if (c.error != CameraError::None) {
      EXPECT_FALSE(DescribeAnswerError(c.frame).isEmpty());
    }
  }
}

TEST(LineProtocol, NotificationsNameTheirCameraAndWhatHappened) {
  struct Case {
    int kind;
    QByteArray frame;
    int camera;
    const char* what;
    std::optional<bool> power;
    bool endsMove;
  };
  const Case cases[] = {
      {1, QByteArray::fromHex("FA303100A030EF"), 1, "power", false, false},
      {1, QByteArray::fromHex("FA303300A031EF"), 3, "power", true, false},
      {1, QByteArray::fromHex("FA3032008A33EF"), 2, "preset", std::nullopt, true},
      {1, QByteArray::fromHex("FA30310057EF"), 1, "home", std::nullopt, true},
      {1, QByteArray::fromHex("FA3031005830EF"), 1, "pedestal", std::nullopt, false},
      {1, QByteArray::fromHex("FA303100B131EF"), 1, "focus", std::nullopt, false},
      {2, QByteArray::fromHex("FD3031EF"), 1, "remote", std::nullopt, false},
      {4, QByteArray::fromHex("F83032EF"), 2, "global", std::nullopt, false},
  };
  for (const Case& c : cases) {
    const NetworkNotice notice = ReadNetworkNotice(c.kind, c.frame);
    const std::string label = c.frame.toHex(' ').toStdString();
    EXPECT_EQ(notice.camera, c.camera) << label;
    EXPECT_EQ(notice.kind.toStdString(), c.what) << label;
    EXPECT_EQ(notice.power, c.power) << label;
    EXPECT_EQ(notice.endsMove, c.endsMove) << label;
  }
}

TEST(LineProtocol, OperatorCallsThatStartAndStopDrives) {
  EXPECT_EQ(OperatorMove(MakeCall(F::kQzSetPanTilt2, 1, 4)), true);
  EXPECT_EQ(OperatorMove(MakeCall(F::kQzSetPanTilt2, 1, 0)), false);
  EXPECT_EQ(OperatorMove(MakeCall(F::kQzSetZooming, 2, 1)), true);
  EXPECT_EQ(OperatorMove(MakeCall(F::kQzSetFocusMode, 1, 3)), true);
  EXPECT_EQ(OperatorMove(MakeCall(F::kQzSetFocusMode, 1, 0)), false);
  EXPECT_EQ(OperatorMove(MakeCall(F::kQzGoToPreset, 1, 2)), std::nullopt);
}

}  // namespace
}  // namespace qtr90x::net
