// The camera link: one library session on a COM port and everything that
// runs it without a window. It owns the port, the sequence engine that reads
// the camera one command per answer and decodes every answer, the window the
// library sends its answers and notifications to, the engine's deadline and
// PowerOnTimer, and the watch that notices a lost line and opens it again.
// It handles the engine's private messages itself and carries out what the
// engine returns; what is to be shown goes to its view (EngineView), when it
// has one. Qt Core only: the main dialog is its view, and a service drives
// it without any window.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "core/engine/private_messages.h"
#include "core/engine/sequence_engine.h"
#include "ui/link/engine_view.h"
#include "ui/link/library_window.h"
#include "ui/link/qzlink_port.h"

namespace qtr90x {

// The moves that went out and whose stop has not: a pan/tilt, zoom or focus
// drive per camera. A stop that cannot be written (the line is lost) leaves
// its move here, so that it is sent first thing when the line is back.
class MovesInProgress {
 public:
  // Notes a call that went out: a start marks its drive moving, a stop ends
  // it. Other calls change nothing.
  void Sent(const LibraryCall& call);
  // The stops of every drive still moving, oldest camera first; forgets them.
  std::vector<LibraryCall> TakeStops();
  bool Empty() const;
  void Clear() { moving_ = {}; }

 private:
  enum Drive : std::uint8_t { kPanTilt, kZoom, kFocus, kDrives };
  std::array<std::array<bool, kDrives>, 10> moving_{};  // by camera address 0..9
};

class CameraLink : public QObject {
  Q_OBJECT

 public:
  explicit CameraLink(QObject* parent = nullptr);
  ~CameraLink() override;
  CameraLink(const CameraLink&) = delete;
  CameraLink& operator=(const CameraLink&) = delete;

  // The window that shows this link, or null (nothing is shown). It must
  // outlive the link or be unset first.
  void SetView(EngineView* view) { view_ = view; }
  // DispCommandWindow: answers are listed as debug lines only when set.
  void SetDebugLogging(bool on) { engine_.SetDebugLogging(on); }

  // --- the line ------------------------------------------------------------------

  // Opens COM<port> (1..9) at 9600 baud, 8 data bits, no parity, one stop
  // bit. When it opens (or on the start-up attempt, whose failure is shown
  // later) the connect sequence is posted. A failed open disables the
  // camera controls; on a line that is lost it keeps the retries going.
  // True when the session is open.
  bool Open(int port, bool startupAttempt = false);
  // Closes the session: the view's moves stop first, the retries of a lost
  // line end. True when no session is open afterwards.
  bool Close();
  // The end of the link's life: the session closes and nothing more is
  // handled or shown.
  void Shutdown();

  bool Connected() const { return connected_; }
  // The line went and is being opened again every 2 s.
  bool LinkLost() const { return linkLost_; }
  // The port of the last Open (0 before any).
  int Port() const { return portNumber_; }
  // Why the last open failed, for people.
  QString OpenFailureReason() const { return openFailureReason_; }

  // --- the camera ----------------------------------------------------------------

  // The cascade address of every camera call (0 until the camera list is
  // known) and what the camera reported.
  int SelectedCamera() const { return engine_.SelectedCamera(); }
  const CameraState& Camera() const { return engine_.Camera(); }
  const SequenceEngine& Engine() const { return engine_; }
  // Selects camera `camera` (1..9) and reads it (the camera change sequence).
  void SelectCamera(int camera);

  // Sends an operator command: it waits for its own answer, which its row
  // decodes into CameraState; `followUp` is carried out once it has been
  // answered or given up. True when its frame went out.
  bool SendCommand(const LibraryCall& call, AnswerFollowUp followUp = AnswerFollowUp::kNone);
  // The same, with `done(executed)` called once (posted) when the camera has
  // answered (executed: completion code 00) or the call was given up or not
  // sent. Completions are reported in the order their calls were sent.
  bool SendCall(const LibraryCall& call, std::function<void(bool executed)> done);
  // The same, with the answer frame the call owned (empty when it was given
  // up or not sent).
  using AnsweredDone = std::function<void(bool executed, const QByteArray& answer)>;
  bool SendCallAnswered(const LibraryCall& call, AnsweredDone done);
  // Raw bytes, as the Input Command window sends them. True when written.
  bool SendRawCommand(std::span<const std::uint8_t> bytes);
  // Copies the frame the library filed under `sequence`; its length.
  std::size_t FetchFrame(int sequence,
                         std::span<std::uint8_t, QzlinkPort::kFrameCapacity> frame) const;

  // A page or sub-panel has shown its values: the refresh sequence is over.
  void SetRefreshIdle();
  // Requests the end or the begin of the wait cursor.
  void SetWaitCursorState(WaitCursorRequest state);
  // Starts sequence `kind` (UM_STARTQUERY).
  void StartQuery(int kind) { HandleMessage(um::kStartQuery, 0, static_cast<int>(kind)); }
  // One of the engine's private messages (SequenceEngine::HandlesMessage),
  // posted to the view instead of the link.
  void HandleMessage(int message, std::intptr_t wParam, std::intptr_t lParam);
  // Runs one engine event of the view's operator actions and carries out
  // what it returns: run([](SequenceEngine& e, EngineActions& out) {...}).
  template <typename Event>
  void Run(Event&& event) {
    EngineActions actions;
    event(engine_, actions);
    Execute(actions);
  }
  // Call at the start of every message the view receives: the wait cursor
  // begins, ends or stays as requested.
  void AtMessageStart();

  // Moves whose stop could not be written while the line was lost.
  const MovesInProgress& Moves() const { return moves_; }

 signals:
  // Opened, closed, lost, back.
  void LinkStateChanged();
  // Every answer (0x800A, wParam 1) and notification (0x800B, kind 1..5)
  // after the engine has handled it; only emitted while connected to.
  void AnswerReceived(const QByteArray& frame);
  void NotificationReceived(int kind, const QByteArray& frame);
  // An operator command of the view (a button, the gamepad) went out.
  void OperatorCommandSent(const qtr90x::LibraryCall& call);

 protected:
  bool event(QEvent* e) override;
  void timerEvent(QTimerEvent* e) override;

 private:
  LRESULT OnLibraryMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
  bool SendPaced(const LibraryCall& call, AnsweredDone done);
  void Execute(const EngineActions& actions);
  void Apply(const act::Post& post);
  void ArmDeadline();
  void Show(const EngineAction& action);
  void CheckLink();
  void LoseLink(int systemCode);
  void RetryLink();
  void StopLinkRetries();
  void SendStopsOfLostMoves();
  void ChangeLinkState();

  QzlinkPort port_;
  SequenceEngine engine_{port_};
  LibraryWindow libraryWindow_;
  EngineView* view_ = nullptr;
  QTimer deadlineTimer_;  // the engine's next deadline
  QTimer linkWatch_;      // looks at the line's state while connected
  QTimer linkRetry_;      // opens a lost line again
  int powerOnTimerQtId_ = 0;
  int portNumber_ = 0;
  bool connected_ = false;
  bool linkLost_ = false;
  bool shuttingDown_ = false;
  bool wakePosted_ = false;
  QString openFailureReason_;
  MovesInProgress moves_;
  int movesPort_ = 0;  // the port whose line the moves run on
  // Calls paced by their answers (AnswerFollowUp::kGamepadAnswered), oldest
  // first: the completion of a SendCall, or empty for the view's gamepad.
  std::deque<AnsweredDone> paced_;
  QByteArray answerInHand_;  // the answer being handled, for its call's completion
};

}  // namespace qtr90x
