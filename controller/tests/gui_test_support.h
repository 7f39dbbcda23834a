// Helpers of the GUI tests: a simulated camera line, a library session whose
// answers are pumped by the Qt event loop, and a fake main dialog.
#pragma once

#include <QEvent>
#include <QMap>
#include <QObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/link/camera_state.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"
#include "ui/link/qzlink_port.h"

namespace qtr90x::testing {

// qtr90x-camsim on a pseudo-terminal (--fast), reachable as COM1.
class SimulatedCamera {
 public:
  // `fast`: no line pacing and no reply delay (--fast); otherwise the
  // simulator keeps the time of a 9600 baud line.
  explicit SimulatedCamera(const QStringList& options = {}, bool fast = true);
  ~SimulatedCamera();

  bool Ready() const { return ready_; }
  // One control line; its reply lines.
  QStringList Control(const QString& line);
  // The key=value fields of camera 1 in `state`, and the line counters.
  QMap<QString, QString> Camera();
  int Commands();

 private:
  QProcess process_;
  QString link_;
  bool ready_ = false;
};

struct Frame {
  unsigned message;  // AckRxMessage or NotifyRxMessage
  int kind;
  int sequence;
  QByteArray bytes;
};

// The library session on COM1, its answers and notifications collected.
class LibrarySession {
 public:
  LibrarySession();
  ~LibrarySession();

  bool Open();
  // Runs the event loop until `count` more answers than before have arrived.
  bool WaitForAnswers(int count, int timeoutMs = 3000);
  int Answers() const;
  const QVector<Frame>& Frames() const;
  // The last command sent, as upper-case hex text.
  static QString LastCommand();

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  void* window_ = nullptr;
};

// Stands in for the main dialog: keeps the camera state, records what the
// pages post and report.
class FakeHost : public QObject, public PageHost {
 public:
  struct Posted {
    int message;
    std::intptr_t wParam;
    std::intptr_t lParam;
  };

  int SelectedCamera() const override { return 1; }
  const CameraState& Camera() const override { return camera; }
  QObject* MainWindow() override { return this; }
  void SetRefreshIdle() override { ++refreshIdle; }
  void SetWaitCursorState(WaitCursorRequest state) override {
    waitCursor << static_cast<int>(state);
  }
  // Sends through the library, as the main dialog's command path does.
  using PageHost::SendCommand;
  bool SendCommand(const LibraryCall& call, AnswerFollowUp followUp) override;
  bool SendRawCommand(std::span<const std::uint8_t> bytes) override;
  std::size_t FetchFrame(int sequence,
                         std::span<std::uint8_t, QzlinkPort::kFrameCapacity> frame) override;

  // Messages of one kind posted so far (after processing posted events).
  QVector<Posted> Messages(int message) const;

  CameraState camera;
  int refreshIdle = 0;
  QVector<int> waitCursor;
  QVector<AnswerFollowUp> followUps;  // of every command sent
  QVector<Posted> posted;
  QzlinkPort port;

 protected:
  bool event(QEvent* e) override;
};

// The buttons, lists and sliders below `top` (only those visible in it, with
// `visibleOnly`), and those among them without an accessible name (as
// "objectName ClassName").
struct AccessibleNames {
  int controls = 0;
  QStringList unnamed;
};
AccessibleNames CheckAccessibleNames(QWidget* top, bool visibleOnly);

// The control `id` (a ctl:: name) below `parent`: every control carries its
// id as its object name. Null when there is none.
template <typename W = QWidget>
W* FindControl(const QObject* parent, int id) {
  return parent->findChild<W*>(QString::number(id));
}

// Counts the paint events `widget` receives from now on.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
  int Count() const { return count_; }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    count_ += e->type() == QEvent::Paint ? 1 : 0;
    return false;
  }

 private:
  int count_ = 0;
};

// How long a wait on a condition may take before the test fails. Generous:
// the machine running the tests may be loaded, and a wait that is met ends
// at once, so the bound costs nothing when all is well.
inline constexpr int kPatienceMs = 10000;

// Runs the event loop (and the library's messages) until `done` holds or
// `timeoutMs` has passed; whether it holds.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kPatienceMs);

// Delivers the events posted so far, and those their handlers post in turn
// (a few rounds deep), without waiting on time: for the private messages,
// which are always posted.
void DeliverPosted();

// Runs the event loop for a fixed span. Only for spans that are themselves
// the point: that nothing happens within them (no frame sent late, no second
// release, no wake-up), or an input held that long. A wait for something to
// happen is WaitUntil or QTRY_* instead.
void RunFor(int ms);

}  // namespace qtr90x::testing
