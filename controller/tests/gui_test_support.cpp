#include "tests/gui_test_support.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "camlink/qzlink.h"

namespace qtr90x::testing {

namespace {

QVector<Frame>& Inbox() {
  static QVector<Frame> frames;
  return frames;
}

LRESULT SessionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == AckRxMessage || msg == NotifyRxMessage) {
    uint8_t frame[64] = {};
    const int length = QzGetMsg(static_cast<int32_t>(lParam), frame);
    Inbox().push_back({msg, static_cast<int>(wParam), static_cast<int>(lParam),
                       QByteArray(reinterpret_cast<const char*>(frame), length)});
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

SimulatedCamera::SimulatedCamera(const QStringList& options, bool fast) {
  static int counter = 0;
  link_ =
      QDir::tempPath() +
      QStringLiteral("/qtr90x-pages-%1-%2").arg(QCoreApplication::applicationPid()).arg(counter++);
  process_.setProgram(QStringLiteral(CAMSIM_PATH));
  process_.setArguments((fast ? QStringList{QStringLiteral("--fast")} : QStringList{}) +
                        QStringList{QStringLiteral("--link"), link_} + options);
  process_.start();
  if (!process_.waitForStarted(5000)) {
    return;
  }
  QElapsedTimer timer;
  timer.start();
  while (!process_.canReadLine() && timer.elapsed() < 5000) {
    process_.waitForReadyRead(100);
  }
  ready_ = process_.readLine().startsWith("ready ");
  qputenv("QZLINK_COM1", link_.toLocal8Bit());
}

SimulatedCamera::~SimulatedCamera() {
  process_.terminate();
  process_.waitForFinished(3000);
}

QStringList SimulatedCamera::Control(const QString& line) {
  process_.readAll();
  process_.write((line + '\n').toLocal8Bit());
  process_.waitForBytesWritten(1000);
  QStringList lines;
  QElapsedTimer timer;
  timer.start();
  // `state` prints the line counters and one line per camera; other
  // commands print one line.
  const int expected = line.startsWith(QStringLiteral("state")) ? 2 : 1;
  while (lines.size() < expected && timer.elapsed() < 3000) {
    if (!process_.canReadLine()) {
      process_.waitForReadyRead(50);
      continue;
    }
    lines << QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  return lines;
}

QMap<QString, QString> SimulatedCamera::Camera() {
  QMap<QString, QString> fields;
  const QStringList lines = Control(QStringLiteral("state 1"));
  for (const QString& line : lines) {
    for (const QString& token : line.split(' ')) {
      const int equals = token.indexOf('=');
      if (equals > 0) {
        fields.insert(token.left(equals), token.mid(equals + 1));
      }
    }
  }
  return fields;
}

int SimulatedCamera::Commands() {
  return Camera().value(QStringLiteral("commands")).toInt();
}

LibrarySession::LibrarySession() {
  Inbox().clear();
  window_ = QzCreateMessageWindow(SessionProc);
  notifier_ = std::make_unique<QSocketNotifier>(QzMessageWakeFd(), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] { QzDispatchMessages(); });
}

LibrarySession::~LibrarySession() {
  QzClose();
  DestroyWindow(static_cast<HWND>(window_));
}

bool LibrarySession::Open() {
  return QzOpen(static_cast<HWND>(window_), 1, 9600, 8, 0, 0) != 0;
}

int LibrarySession::Answers() const {
  int count = 0;
  for (const Frame& frame : Inbox()) {
    count += frame.message == AckRxMessage ? 1 : 0;
  }
  return count;
}

const QVector<Frame>& LibrarySession::Frames() const {
  return Inbox();
}

bool LibrarySession::WaitForAnswers(int count, int timeoutMs) {
  const int target = Answers() + count;
  QDeadlineTimer deadline(timeoutMs);
  while (Answers() < target && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QzDispatchMessages();
  }
  return Answers() >= target;
}

QString LibrarySession::LastCommand() {
  uint8_t bytes[64] = {};
  const int length = QzGetLastCmdstr(bytes);
  QStringList hex;
  for (int i = 0; i < length && i < 64; ++i) {
    hex << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
  }
  return hex.join(' ');
}

bool FakeHost::SendCommand(const LibraryCall& call, AnswerFollowUp followUp) {
  followUps << followUp;
  SentFrame sent;
  return port.Send(call, sent);
}

bool FakeHost::SendRawCommand(std::span<const std::uint8_t> bytes) {
  return port.SendRaw(bytes);
}

std::size_t FakeHost::FetchFrame(int sequence,
                                 std::span<std::uint8_t, QzlinkPort::kFrameCapacity> frame) {
  return port.FetchFrame(sequence, frame);
}

QVector<FakeHost::Posted> FakeHost::Messages(int message) const {
  QVector<Posted> out;
  for (const Posted& p : posted) {
    if (p.message == message) {
      out << p;
    }
  }
  return out;
}

bool FakeHost::event(QEvent* e) {
  if (e->type() >= QEvent::User) {
    if (auto* message = dynamic_cast<MessageEvent*>(e)) {
      posted << Posted{message->Message(), message->WParam(), message->LParam()};
      return true;
    }
  }
  return QObject::event(e);
}

AccessibleNames CheckAccessibleNames(QWidget* top, bool visibleOnly) {
  AccessibleNames result;
  for (QWidget* w : top->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                         (qobject_cast<QAbstractSlider*>(w) && !qobject_cast<QScrollBar*>(w));
    if (!control || (visibleOnly && !w->isVisibleTo(top))) {
      continue;
    }
    ++result.controls;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (a == nullptr || a->text(QAccessible::Name).isEmpty()) {
      result.unnamed << w->objectName() + ' ' + w->metaObject()->className();
    }
  }
  return result;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  QTimer tick;  // wakes the blocking wait below at least this often
  tick.start(5);
  while (!done()) {
    if (deadline.hasExpired()) {
      return done();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QzDispatchMessages();
  }
  return true;
}

void DeliverPosted() {
  // Each round delivers what was posted before it began.
  for (int round = 0; round < 8; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QzDispatchMessages();
  }
}

void RunFor(int ms) {
  QDeadlineTimer deadline(ms);
  WaitUntil([&] { return deadline.hasExpired(); }, ms + 1000);
}

}  // namespace qtr90x::testing
