// The camera link without any window, on Qt Core alone: against the
// simulated camera it runs the connect sequence, recalls a preset and reads
// the Adjust values with the frames the application sends (the lists of the
// main dialog's tests), and it stops a move left running across a lost line.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTest>

#include "ui/link/camera_link.h"

namespace qtr90x {

namespace {

// qtr90x-camsim on a pseudo-terminal (--fast), reachable as COM1.
class Simulator {
 public:
  explicit Simulator(const QStringList& options) {
    static int counter = 0;
    link_ =
        QDir::tempPath() +
        QStringLiteral("/qtr90x-link-%1-%2").arg(QCoreApplication::applicationPid()).arg(counter++);
    process_.start(
        QStringLiteral(CAMSIM_PATH),
        QStringList{QStringLiteral("--fast"), QStringLiteral("--link"), link_} + options);
    QElapsedTimer timer;
    timer.start();
    while (process_.waitForStarted(5000) && !process_.canReadLine() && timer.elapsed() < 5000)
      process_.waitForReadyRead(100);
    ready_ = process_.readLine().startsWith("ready ");
    qputenv("QZLINK_COM1", link_.toLocal8Bit());
  }
  ~Simulator() {
    process_.terminate();
    process_.waitForFinished(3000);
  }
  bool Ready() const { return ready_; }
  // One control line; its first reply line.
  QString Control(const QString& line) {
    process_.readAll();
    process_.write((line + '\n').toLocal8Bit());
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 3000)
      process_.waitForReadyRead(50);
    return QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  // The key=value fields of camera 1 in `state`.
  QMap<QString, QString> Camera() {
    Control(QStringLiteral("state 1"));  // the line counters
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 3000)
      process_.waitForReadyRead(50);
    QMap<QString, QString> fields;
    for (const QString& token : QString::fromLocal8Bit(process_.readLine()).split(' ')) {
      const qsizetype equals = token.indexOf('=');
      if (equals > 0)
        fields.insert(token.left(equals), token.mid(equals + 1).trimmed());
    }
    return fields;
  }

 private:
  QProcess process_;
  QString link_;
  bool ready_ = false;
};

// The frames the library sent since `offset` of its trace (QZLINK_TRACE),
// each from its command byte on ("8F 31", "A0 31", ...).
QStringList SentSince(qint64 offset) {
  QFile trace(qEnvironmentVariable("QZLINK_TRACE"));
  QStringList commands;
  if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset))
    return commands;
  while (!trace.atEnd()) {
    const QStringList fields = QString::fromLatin1(trace.readLine()).trimmed().split(' ');
    if (fields.size() > 8 && fields[2] == QLatin1String("send"))
      commands << fields.mid(7, fields.size() - 8).join(' ');
  }
  return commands;
}

qint64 TraceEnd() {
  return QFile(qEnvironmentVariable("QZLINK_TRACE")).size();
}

// Every sequence over and every call answered.
bool Idle(const CameraLink& link) {
  return !link.Engine().SequenceActive() && link.Engine().CallsInFlight() == 0;
}

const QStringList kAdjustRead{"52 30", "52 31", "B4 32", "79", "73", "B8", "75"};

}  // namespace

class CameraLinkTest : public QObject {
  Q_OBJECT

 private slots:
  // What changes the drives a move left running across a lost line stops.
  void MovesInProgressKeepTheStopsOfWhatRuns_data() {
    QTest::addColumn<QList<LibraryCall>>("sent");
    QTest::addColumn<QList<LibraryCall>>("stops");
    using F = LibraryFunction;
    const LibraryCall panStop1 = MakeCall(F::kQzSetPanTilt2, 1, 0);
    const LibraryCall zoomStop2 = MakeCall(F::kQzSetZooming, 2, 0);
    const LibraryCall focusStop1 = MakeCall(F::kQzSetFocusMode, 1, 1);
    QTest::newRow("nothing moved") << QList<LibraryCall>{} << QList<LibraryCall>{};
    QTest::newRow("a pan, stopped")
        << QList{MakeCall(F::kQzSetPanTilt2, 1, 3), panStop1} << QList<LibraryCall>{};
    QTest::newRow("a pan, then its direction changed")
        << QList{MakeCall(F::kQzSetPanTilt2, 1, 3), MakeCall(F::kQzSetPanTilt2, 1, 5)}
        << QList{panStop1};
    QTest::newRow("camera 2 zooms, camera 1 focuses near")
        << QList{MakeCall(F::kQzSetZooming, 2, 2), MakeCall(F::kQzSetFocusMode, 1, 2)}
        << QList{focusStop1, zoomStop2};
    QTest::newRow("focus far, then auto")
        << QList{MakeCall(F::kQzSetFocusMode, 1, 3), MakeCall(F::kQzSetFocusMode, 1, 0)}
        << QList<LibraryCall>{};
    QTest::newRow("Home and presets move on their own")
        << QList{MakeCall(F::kQzGotoHomePosition, 1), MakeCall(F::kQzGoToPreset, 1, 2)}
        << QList<LibraryCall>{};
  }
  void MovesInProgressKeepTheStopsOfWhatRuns() {
    QFETCH(QList<LibraryCall>, sent);
    QFETCH(QList<LibraryCall>, stops);
    MovesInProgress moves;
    for (const LibraryCall& call : sent)
      moves.Sent(call);
    QCOMPARE(moves.Empty(), stops.isEmpty());
    const std::vector<LibraryCall> taken = moves.TakeStops();
    QCOMPARE(QList<LibraryCall>(taken.begin(), taken.end()), stops);
    QVERIFY(moves.Empty());
  }

  void ConnectRecallAndAdjustReadSendTheApplicationsFrames_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("connect");
    const QStringList head{"8F 30", "8F 31", "90 30", "94 31", "86 30", "A0 31", "87"};
    QTest::newRow("QT-R7, pedestal initialised")
        << QStringList{"--model", "QT-R7"} << head + QStringList{"8B 30"};
    QTest::newRow("QT-R90x cascade of 3, pedestal initialised")
        << QStringList{"--cameras", "3"} << head + QStringList{"77", "B6", "8B 30", "74 31 31"};
  }
  void ConnectRecallAndAdjustReadSendTheApplicationsFrames() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, connect);
    Simulator camera(options);
    QVERIFY(camera.Ready());
    const qint64 start = TraceEnd();
    CameraLink link;
    int changes = 0;
    QObject::connect(&link, &CameraLink::LinkStateChanged, [&] { ++changes; });
    QVERIFY(link.Open(1));
    QVERIFY(link.Connected());
    QCOMPARE(changes, 1);
    // The connect sequence, then the read of the page shown first (Adjust),
    // which ends here as no page shows it.
    QTRY_VERIFY_WITH_TIMEOUT(
        SentSince(start).size() >= connect.size() + kAdjustRead.size() && Idle(link), 5000);
    QCOMPARE(SentSince(start), connect + kAdjustRead);
    QCOMPARE(link.SelectedCamera(), 1);
    QVERIFY(link.Camera().cameraPower);
    QVERIFY(!link.Engine().Cursor().Shown());

    // A preset stored and recalled, each with its completion.
    QVector<bool> done;
    const qint64 recall = TraceEnd();
    QVERIFY(link.SendCall(MakeCall(LibraryFunction::kQzSetPresetMemory, 1, 1),
                          [&](bool executed) { done << executed; }));
    QVERIFY(link.SendCall(MakeCall(LibraryFunction::kQzGoToPreset, 1, 1),
                          [&](bool executed) { done << executed; }));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 3000);
    QCOMPARE(done, (QVector<bool>{true, true}));
    QCOMPARE(SentSince(recall), (QStringList{"89 31", "8A 31"}));

    // The Adjust values, read again, are the camera's.
    const qint64 read = TraceEnd();
    link.StartQuery(1);
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(read).size() == kAdjustRead.size() && Idle(link), 3000);
    QCOMPARE(SentSince(read), kAdjustRead);
    const QMap<QString, QString> state = camera.Camera();
    QCOMPARE(link.Camera().panSpeed, state.value(QStringLiteral("panSpeed")).toInt());
    QCOMPARE(link.Camera().tiltSpeed, state.value(QStringLiteral("tiltSpeed")).toInt());
    QCOMPARE(link.Camera().zoomSpeed, state.value(QStringLiteral("zoomSpeed")).toInt());
    QCOMPARE(link.Camera().alarmOutput != 0, state.value(QStringLiteral("alarm")) == "on");
    QCOMPARE(link.Camera().externalLight != 0, state.value(QStringLiteral("extlight")) == "on");

    QVERIFY(link.Close());
    QVERIFY(!link.Connected());
    QVERIFY(link.SendCall(MakeCall(LibraryFunction::kQzGoToPreset, 1, 1),
                          [&](bool executed) { done << executed; }) == false);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 3, 1000);
    QCOMPARE(done.last(), false);
  }

  // A pan runs when the line goes; its stop cannot be written then. When the
  // line is back, that stop goes out first, before the connect sequence.
  void AMoveLeftRunningAcrossALostLineStopsWhenItIsBack() {
    Simulator camera({});
    QVERIFY(camera.Ready());
    CameraLink link;
    QVERIFY(link.Open(1));
    QTRY_VERIFY_WITH_TIMEOUT(Idle(link) && link.Camera().cameraPower, 5000);
    QVERIFY(link.SendCommand(MakeCall(LibraryFunction::kQzSetPanTilt2, 1, 3)));  // right
    QTRY_VERIFY_WITH_TIMEOUT(Idle(link), 2000);

    QCOMPARE(camera.Control(QStringLiteral("unplug")), QStringLiteral("ok"));
    QTRY_VERIFY_WITH_TIMEOUT(link.LinkLost(), 3000);
    QVERIFY(!link.Connected());
    QVERIFY(!link.SendCommand(MakeCall(LibraryFunction::kQzSetPanTilt2, 1, 0)));  // the release
    QVERIFY(!link.Moves().Empty());

    const qint64 back = TraceEnd();
    QVERIFY(camera.Control(QStringLiteral("replug")).startsWith(QLatin1String("ok ")));
    QTRY_VERIFY_WITH_TIMEOUT(link.Connected(), 4000);
    QTRY_VERIFY_WITH_TIMEOUT(Idle(link) && !SentSince(back).isEmpty(), 5000);
    QCOMPARE(SentSince(back).value(0), QStringLiteral("60 30 30"));
    QCOMPARE(SentSince(back).count(QStringLiteral("60 30 30")), 1);
    QVERIFY(link.Moves().Empty());
    const QString pan = camera.Camera().value(QStringLiteral("pan"));
    QTest::qWait(300);  // a span: a move still running would change the camera meanwhile
    QCOMPARE(camera.Camera().value(QStringLiteral("pan")), pan);
  }
};

}  // namespace qtr90x

QTEST_GUILESS_MAIN(qtr90x::CameraLinkTest)
#include "camera_link_test.moc"
