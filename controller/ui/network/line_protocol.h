// What the network's commands are on the line, and what the line's answers
// and notifications mean to the network: pure translations, no I/O.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

#include "core/link/library_call.h"
#include "netcontrol/camera_hub.h"

namespace qtr90x::net {

// What this side last put on the line for a camera's drives: the speeds
// (so that a move at the same speeds sends only its direction) and which
// drives run (so that a stop stops zoom and focus only when they run).
struct DriveState {
  std::optional<int> panSpeed, tiltSpeed, zoomSpeed;
  bool panTilt = false, zoom = false, focus = false;
  bool Moving() const { return panTilt || zoom || focus; }
};

// Motor speed ranges of the pedestal and the lens.
inline constexpr int kPanSpeedMin = 8, kPanSpeedMax = 800;
inline constexpr int kTiltSpeedMin = 8, kTiltSpeedMax = 622;
inline constexpr int kZoomSpeedMax = 7;

// QzSetPanTilt2's code for a direction: 0 stop, 1 up, 2 down, 3 right,
// 4 left, 5 right-up, 6 right-down, 7 left-up, 8 left-down.
int PanTiltCode(double pan, double tilt);

// The calls of a move (velocity not zero) or a stop, given what runs;
// updates `drives` to what runs once they have gone out.
std::vector<LibraryCall> MoveCalls(int camera, const qznet::MoveVelocity& velocity,
                                   DriveState& drives);
std::vector<LibraryCall> StopCalls(int camera, DriveState& drives);

// The calls of every other command kind (not Move, Stop, Raw); empty for
// those.
std::vector<LibraryCall> CommandCalls(int camera, const qznet::CameraCommand& command);

// The queries that read what the network shows of a camera.
std::vector<LibraryCall> StateReadCalls(int camera);

// The verdict of an answer frame (empty: no answer came).
qznet::CameraError ErrorOfAnswer(const QByteArray& answer);
QString DescribeAnswerError(const QByteArray& answer);

// A notification as the network tells it.
struct NetworkNotice {
  int camera = 0;  // 1..9; 0 when it names none
  QString kind;    // "power", "preset", "home", "pedestal", "focus", "backlight",
                   // "sensor", "remote", "global", "notify"
  QString text;
  std::optional<bool> power;  // the camera power now
  bool endsMove = false;      // a preset or home move is over
};
NetworkNotice ReadNetworkNotice(int kind, const QByteArray& frame);

// Whether an operator call starts (true) or stops (false) a move of the
// camera's drives; nullopt for calls that are no drive.
std::optional<bool> OperatorMove(const LibraryCall& call);

}  // namespace qtr90x::net
