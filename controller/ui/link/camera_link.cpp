#include "ui/link/camera_link.h"

#include "core/link/debug_line_type.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaMethod>
#include <QTimerEvent>
#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "core/ports/open_failure.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/link/message_event.h"

namespace qtr90x {

namespace {

// An event that only gives the wait cursor its turn.
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The line's state is looked at once a second while connected (a memory
// read in the library, nothing on the line); a lost line is opened again
// every 2 s.
constexpr int kLinkWatchMs = 1000;
constexpr int kLinkRetryMs = 2000;

bool IsGamepadPost(const EngineAction& action) {
  const auto* post = std::get_if<act::Post>(&action);
  return post != nullptr && post->target == MessageTarget::kGamepad;
}

}  // namespace

// --- moves in progress -------------------------------------------------------------------

void MovesInProgress::Sent(const LibraryCall& call) {
  if (call.camera < 0 || call.camera >= static_cast<int>(moving_.size()))
    return;
  std::array<bool, kDrives>& drives = moving_[static_cast<std::size_t>(call.camera)];
  const int code = call.args[0];
  switch (call.function) {
    case LibraryFunction::kQzSetPanTilt2:  // 0 stops, 1..8 move
      drives[kPanTilt] = code != 0;
      break;
    case LibraryFunction::kQzSetZooming:  // 0 stops, 1 wide, 2 tele
      drives[kZoom] = code != 0;
      break;
    case LibraryFunction::kQzSetFocusMode:  // 2 near, 3 far; auto or manual stops
      drives[kFocus] = code == 2 || code == 3;
      break;
    default:
      break;
  }
}

std::vector<LibraryCall> MovesInProgress::TakeStops() {
  std::vector<LibraryCall> stops;
  for (std::size_t camera = 0; camera < moving_.size(); ++camera) {
    const int address = static_cast<int>(camera);
    const std::array<bool, kDrives>& drives = moving_[camera];
    // The stops the buttons and the gamepad send on their release.
    if (drives[kPanTilt])
      stops.push_back(MakeCall(LibraryFunction::kQzSetPanTilt2, address, 0));
    if (drives[kZoom])
      stops.push_back(MakeCall(LibraryFunction::kQzSetZooming, address, 0));
    if (drives[kFocus])
      stops.push_back(MakeCall(LibraryFunction::kQzSetFocusMode, address, 1));
  }
  Clear();
  return stops;
}

bool MovesInProgress::Empty() const {
  return std::all_of(moving_.begin(), moving_.end(), [](const auto& drives) {
    return std::none_of(drives.begin(), drives.end(), [](bool on) { return on; });
  });
}

// --- the link ------------------------------------------------------------------------------

CameraLink::CameraLink(QObject* parent)
    : QObject(parent),
      libraryWindow_([this](UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
        return OnLibraryMessage(msg, wParam, lParam, handled);
      }) {
  deadlineTimer_.setSingleShot(true);
  deadlineTimer_.setTimerType(Qt::PreciseTimer);
  connect(&deadlineTimer_, &QTimer::timeout, this,
          [this] { Run([](SequenceEngine& e, EngineActions& out) { e.OnDeadline(out); }); });
  linkWatch_.setInterval(kLinkWatchMs);
  connect(&linkWatch_, &QTimer::timeout, this, &CameraLink::CheckLink);
  linkRetry_.setInterval(kLinkRetryMs);
  connect(&linkRetry_, &QTimer::timeout, this, &CameraLink::RetryLink);
}

CameraLink::~CameraLink() {
  Shutdown();
}

bool CameraLink::Open(int port, bool startupAttempt) {
  // A failed attempt on the line that is lost does not end its retries: the
  // line may come back a moment later.
  const bool onLostLine = linkLost_ && port == portNumber_;
  if (!onLostLine)
    StopLinkRetries();
  portNumber_ = port;
  connected_ = port_.Open(libraryWindow_.Handle(), port);
  int systemCode = 0;
  const int error = connected_ ? 0 : port_.LastError(&systemCode);
  openFailureReason_ = QString::fromStdString(qtr90x::OpenFailureReason(error, systemCode));
  if (connected_) {
    StopLinkRetries();
    SendStopsOfLostMoves();
  }
  Run([&](SequenceEngine& e, EngineActions& out) {
    e.OnConnectionAttempt(port, connected_, startupAttempt, out);
  });
  if (connected_) {
    linkWatch_.start();
  } else {
    // No camera control works without a session, as on a lost line.
    Show(act::CameraControls{false});
  }
  ChangeLinkState();
  return connected_;
}

bool CameraLink::Close() {
  StopLinkRetries();
  if (!connected_)
    return true;
  // A held button or stick stops before the line goes.
  if (view_ != nullptr)
    view_->StopMoves();
  if (!port_.Close())
    return false;
  connected_ = false;
  linkWatch_.stop();
  Run([](SequenceEngine& e, EngineActions& out) { e.OnConnectionClosed(out); });
  ChangeLinkState();
  return true;
}

void CameraLink::Shutdown() {
  // Answers that arrive while the session closes find the link going.
  shuttingDown_ = true;
  linkWatch_.stop();
  linkRetry_.stop();
  deadlineTimer_.stop();
  if (connected_) {
    port_.Close();
    connected_ = false;
  }
  if (powerOnTimerQtId_ != 0) {
    killTimer(powerOnTimerQtId_);
    powerOnTimerQtId_ = 0;
  }
}

void CameraLink::SelectCamera(int camera) {
  Run([&](SequenceEngine& e, EngineActions& out) { e.OnCameraSelected(camera - 1, out); });
}

// --- commands ----------------------------------------------------------------------------

bool CameraLink::SendCommand(const LibraryCall& call, AnswerFollowUp followUp) {
  bool sent = false;
  if (followUp == AnswerFollowUp::kGamepadAnswered) {
    sent = SendPaced(call, nullptr);
  } else {
    EngineActions out;
    sent = engine_.SendOperatorCall(call, followUp, out);
    if (sent) {
      moves_.Sent(call);
      movesPort_ = portNumber_;
    }
    Execute(out);
  }
  if (sent)
    emit OperatorCommandSent(call);
  return sent;
}

bool CameraLink::SendCall(const LibraryCall& call, std::function<void(bool executed)> done) {
  if (!done)
    done = [](bool) {};
  return SendPaced(call,
                   [done = std::move(done)](bool executed, const QByteArray&) { done(executed); });
}

bool CameraLink::SendCallAnswered(const LibraryCall& call, AnsweredDone done) {
  if (!done)
    done = [](bool, const QByteArray&) {};
  return SendPaced(call, std::move(done));
}

bool CameraLink::SendPaced(const LibraryCall& call, AnsweredDone done) {
  // Recorded before the frame goes out: its answer may be handled first.
  paced_.push_back(done);
  EngineActions out;
  const bool sent = engine_.SendOperatorCall(call, AnswerFollowUp::kGamepadAnswered, out);
  if (sent) {
    moves_.Sent(call);
    movesPort_ = portNumber_;
    Execute(out);
    return true;
  }
  paced_.pop_back();
  // Not sent: the batch's last answer report is this call's own (those
  // before it are of older calls given up to make room).
  std::optional<act::Post> own;
  const auto last = std::find_if(out.rbegin(), out.rend(), IsGamepadPost);
  if (last != out.rend()) {
    own = std::get<act::Post>(*last);
    out.erase(std::next(last).base());
  }
  Execute(out);
  if (own) {
    if (done)
      QTimer::singleShot(0, this, [done] { done(false, {}); });
    else if (view_ != nullptr)
      PostMessageTo(view_->PostTarget(*own), own->message, own->wParam, own->lParam);
  }
  return false;
}

bool CameraLink::SendRawCommand(std::span<const std::uint8_t> bytes) {
  bool sent = false;
  Run([&](SequenceEngine& e, EngineActions& out) { sent = e.SendRawCommand(bytes, out); });
  return sent;
}

std::size_t CameraLink::FetchFrame(
    int sequence, std::span<std::uint8_t, QzlinkPort::kFrameCapacity> frame) const {
  return port_.FetchFrame(sequence, frame);
}

void CameraLink::SetRefreshIdle() {
  Run([](SequenceEngine& e, EngineActions& out) { e.OnPageRefreshed(out); });
}

void CameraLink::SetWaitCursorState(WaitCursorRequest state) {
  engine_.Cursor().Request(state);
  Execute(EngineActions{});
}

void CameraLink::HandleMessage(int message, std::intptr_t wParam, std::intptr_t lParam) {
  if (SequenceEngine::HandlesMessage(message)) {
    Run([&](SequenceEngine& e, EngineActions& out) {
      e.HandleMessage(message, wParam, lParam, out);
    });
  }
}

void CameraLink::AtMessageStart() {
  const WaitCursorStep step = engine_.Cursor().AtMessageStart();
  if (view_ != nullptr && (step == WaitCursorStep::kBegin || step == WaitCursorStep::kEnd))
    view_->ShowWaitCursor(step);
}

// --- messages ----------------------------------------------------------------------------

bool CameraLink::event(QEvent* e) {
  if (shuttingDown_)
    return QObject::event(e);
  AtMessageStart();
  if (e->type() == kWakeEvent) {
    wakePosted_ = false;
    return true;
  }
  const int type = static_cast<int>(e->type());
  if (SequenceEngine::HandlesMessage(type)) {
    if (const auto* m = dynamic_cast<const MessageEvent*>(e))
      HandleMessage(m->Message(), m->WParam(), m->LParam());
    return true;
  }
  return QObject::event(e);
}

void CameraLink::timerEvent(QTimerEvent* e) {
  if (e->timerId() != powerOnTimerQtId_ || powerOnTimerQtId_ == 0) {
    QObject::timerEvent(e);
    return;
  }
  killTimer(powerOnTimerQtId_);
  powerOnTimerQtId_ = 0;
  Run([](SequenceEngine& eng, EngineActions& out) { eng.OnPowerOnTimer(out); });
}

LRESULT CameraLink::OnLibraryMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (shuttingDown_) {
    *handled = msg == kAckRxMessage;
    return 0;
  }
  AtMessageStart();
  *handled = msg == kAckRxMessage && wParam == 1;
  if (msg != kAckRxMessage && msg != kNotifyRxMessage)
    return 0;
  std::array<std::uint8_t, QzlinkPort::kFrameCapacity> bytes{};
  const std::size_t length = port_.FetchFrame(static_cast<int>(lParam), bytes);
  const std::span<const std::uint8_t> frame(bytes.data(), length);
  const auto asBytes = [&] {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(length));
  };
  if (msg == kAckRxMessage && wParam == 1) {
    answerInHand_ = asBytes();
    Run([&](SequenceEngine& e, EngineActions& out) { e.OnAnswer(frame, out); });
    answerInHand_.clear();
    if (isSignalConnected(QMetaMethod::fromSignal(&CameraLink::AnswerReceived)))
      emit AnswerReceived(asBytes());
  } else if (msg == kNotifyRxMessage) {
    const int kind = static_cast<int>(wParam);
    Run([&](SequenceEngine& e, EngineActions& out) { e.OnNotification(kind, frame, out); });
    if (isSignalConnected(QMetaMethod::fromSignal(&CameraLink::NotificationReceived)))
      emit NotificationReceived(kind, asBytes());
  }
  return 0;
}

// --- the engine's actions ----------------------------------------------------------------

void CameraLink::Execute(const EngineActions& actions) {
  for (const EngineAction& action : actions) {
    if (const auto* post = std::get_if<act::Post>(&action)) {
      Apply(*post);
    } else if (std::holds_alternative<act::StartPowerOnTimer>(action)) {
      if (powerOnTimerQtId_ == 0)
        powerOnTimerQtId_ = startTimer(kPowerOnTimerMs, Qt::PreciseTimer);
    } else if (std::holds_alternative<act::StopPowerOnTimer>(action)) {
      if (powerOnTimerQtId_ != 0) {
        killTimer(powerOnTimerQtId_);
        powerOnTimerQtId_ = 0;
      }
    } else {
      Show(action);
    }
  }
  // A requested begin or end of the wait cursor takes effect at the next
  // message; make sure one comes.
  const int state = engine_.Cursor().State();
  if ((state == 1 || state == 2) && !wakePosted_) {
    wakePosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
  }
  ArmDeadline();
  // A command that failed because the line is gone: handled once the
  // library's handler (if this runs inside one) has returned.
  if (connected_ && port_.LinkState() < 0)
    QTimer::singleShot(0, this, &CameraLink::CheckLink);
}

void CameraLink::Apply(const act::Post& post) {
  if (post.target == MessageTarget::kMainDialog) {
    PostMessageTo(this, post.message, post.wParam, post.lParam);
    return;
  }
  if (post.target == MessageTarget::kGamepad && !paced_.empty()) {
    AnsweredDone done = std::move(paced_.front());
    paced_.pop_front();
    if (done) {
      const bool executed = post.wParam != 0;
      QByteArray answer = post.lParam != 0 ? answerInHand_ : QByteArray();
      QTimer::singleShot(0, this, [done = std::move(done), executed, answer = std::move(answer)] {
        done(executed, answer);
      });
      return;
    }
  }
  QObject* target = view_ != nullptr ? view_->PostTarget(post) : nullptr;
  if (target == nullptr &&
      (post.message == um::kRefreshPage || post.message == um::kSensorChanged)) {
    // No page shows these values: the read ends as a page ends it once it
    // has shown them.
    QMetaObject::invokeMethod(
        this,
        [this] {
          SetRefreshIdle();
          SetWaitCursorState(WaitCursorRequest::kEnd);
        },
        Qt::QueuedConnection);
    return;
  }
  PostMessageTo(target, post.message, post.wParam, post.lParam);
}

void CameraLink::Show(const EngineAction& action) {
  if (view_ != nullptr && !shuttingDown_)
    view_->Show(action);
}

void CameraLink::ArmDeadline() {
  const std::optional<Micros> deadline = engine_.NextDeadline();
  if (!deadline || shuttingDown_) {
    deadlineTimer_.stop();
    return;
  }
  // Whole milliseconds, rounded up, so the timer never fires before it is due.
  const Micros wait = std::max<Micros>(0, *deadline - SteadyMicros());
  deadlineTimer_.start(static_cast<int>((wait + kMicrosPerMilli - 1) / kMicrosPerMilli));
}

// --- the line's watch --------------------------------------------------------------------

void CameraLink::CheckLink() {
  const int state = connected_ ? port_.LinkState() : 1;
  if (state < 0)
    LoseLink(-state);
}

void CameraLink::LoseLink(int systemCode) {
  // The session is closed at once, so that the device can be opened again
  // as soon as it is back; what waited for an answer is given up. Nothing
  // written from now on reaches the camera: the moves running now are
  // stopped when the line is back, whatever the stops sent meanwhile.
  linkWatch_.stop();
  const MovesInProgress running = moves_;
  if (view_ != nullptr)
    view_->StopMoves();
  port_.Close();
  moves_ = running;
  connected_ = false;
  linkLost_ = true;
  Run([](SequenceEngine& e, EngineActions& out) { e.OnConnectionClosed(out); });
  Show(act::CameraControls{false});
  Show(act::DebugLine{kLineError, QString::fromUtf8(LoadString(str::kLinkLost))
                                      .replace(QStringLiteral("%s"),
                                               QString::fromStdString(LostLineReason(systemCode)))
                                      .toStdString()});
  ChangeLinkState();
  linkRetry_.start();
}

void CameraLink::RetryLink() {
  if (!port_.Open(libraryWindow_.Handle(), portNumber_))
    return;  // not back yet: the next try in 2 s
  StopLinkRetries();
  connected_ = true;
  linkWatch_.start();
  Show(act::DebugLine{kLineAck, LoadString(str::kLinkBack)});
  SendStopsOfLostMoves();
  // The connect sequence reads the camera again; the camera selected before
  // stays selected when the line still has it.
  Run([&](SequenceEngine& e, EngineActions& out) {
    e.OnConnectionAttempt(portNumber_, true, false, out);
  });
  ChangeLinkState();
}

void CameraLink::StopLinkRetries() {
  linkRetry_.stop();
  if (linkLost_) {
    linkLost_ = false;
    ChangeLinkState();
  }
}

void CameraLink::SendStopsOfLostMoves() {
  // Only the line the moves ran on has their cameras.
  if (movesPort_ != portNumber_) {
    moves_.Clear();
    return;
  }
  for (const LibraryCall& stop : moves_.TakeStops())
    SendCommand(stop);
}

void CameraLink::ChangeLinkState() {
  if (shuttingDown_)
    return;
  if (view_ != nullptr)
    view_->LinkChanged();
  emit LinkStateChanged();
}

}  // namespace qtr90x
