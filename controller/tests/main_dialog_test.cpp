// The main dialog against the simulated camera: first start, the connect
// sequence of each model (checked frame by frame in the library's trace),
// power-on at connect, a port without a camera, the single instance, the
// exit paths and the faults of the dialog's own making.
#include <sys/stat.h>
#include <QAbstractSlider>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "app/controller_app.h"
#include "app/single_instance.h"
#include "core/settings/settings.h"
#include "resources/control_ids.h"
#include "resources/menu_ids.h"
#include "tests/gui_test_support.h"
#include "ui/common/message_box.h"
#include "ui/gamepad/gamepad_control.h"
#include "ui/main/main_dialog.h"
#include "ui/pages/action_slider.h"
#include "ui/pages/adjust_page.h"
#include "ui/pages/system_page.h"
#include "ui/tools/debug_window.h"
#include "ui/tools/input_command_window.h"
#include "ui/tools/preset_name_dialog.h"

namespace qtr90x::testing {

namespace {

// The frames the library sent since `offset` of its trace file (QZLINK_TRACE),
// each as its bytes from the command byte on ("8F 31", "A0 31", ...).
QStringList SentSince(qint64 offset) {
  QFile trace(qEnvironmentVariable("QZLINK_TRACE"));
  QStringList commands;
  if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset)) {
    return commands;
  }
  while (!trace.atEnd()) {
    const QStringList fields = QString::fromLatin1(trace.readLine()).trimmed().split(' ');
    // date time "send" FF 30 <address> 00 <command ...> EF
    if (fields.size() > 8 && fields[2] == QLatin1String("send")) {
      commands << fields.mid(7, fields.size() - 8).join(' ');
    }
  }
  return commands;
}

qint64 TraceEnd() {
  return QFile(qEnvironmentVariable("QZLINK_TRACE")).size();
}

struct Box {
  QString text;
  QString details;
  bool dialogVisible;
};

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QVector<Box> boxes_;
  QWidget* dialogForBoxes_ = nullptr;

  // Waits until the connect sequence has shown the camera (when connected)
  // and every sequence since has ended with the wait cursor.
  static bool Settled(MainDialog& dialog, int timeoutMs = kPatienceMs) {
    const auto* model = qobject_cast<QLabel*>(dialog.Control(ctl::kModelLine));
    const auto idle = [&] {
      return (!dialog.Connected() || !model->text().isEmpty()) &&
             !dialog.Engine().SequenceActive() && !dialog.Engine().Cursor().Shown() &&
             dialog.Engine().Cursor().State() == 0;
    };
    // Messages already posted start their sequences first: idle still once
    // they are delivered.
    return WaitUntil([&] { return idle() && (DeliverPosted(), idle()); }, timeoutMs);
  }
  // The simulator and the dialog connected to it, its connect sequence over.
  struct Running {
    explicit Running(const QStringList& options = {}) : camera(options) {}
    bool Start() {
      if (!camera.Ready()) {
        return false;
      }
      dialog = std::make_unique<MainDialog>();
      dialog->show();
      return Settled(*dialog);
    }
    SimulatedCamera camera;
    std::unique_ptr<MainDialog> dialog;
  };

  // The dialog with its window title drawn above it (a grab has no title
  // bar), and the debug window beside it.
  static void SaveWithCaption(MainDialog& dialog, const QString& path) {
    dialog.Debug()->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.Debug()));
    const QPixmap body = dialog.grab();
    const QPixmap log = dialog.Debug()->grab();
    const int caption = 26;
    QPixmap shot(body.width() + log.width() + 8, caption + std::max(body.height(), log.height()));
    shot.fill(Qt::white);
    QPainter painter(&shot);
    painter.fillRect(0, 0, body.width(), caption, QColor(60, 60, 60));
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 0, body.width() - 16, caption), Qt::AlignVCenter,
                     dialog.windowTitle());
    painter.drawPixmap(0, caption, body);
    painter.drawPixmap(body.width() + 8, caption, log);
    painter.end();
    QVERIFY(shot.save(path));
    dialog.Debug()->hide();
  }

  static QString Registry() {
    QFile file(qEnvironmentVariable("QZLINK_REGISTRY"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("QZLINK_REGISTRY", (dir_->path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir_->path().toLocal8Bit());
    boxes_.clear();
    SetMessageBoxHook(
        [this](QWidget*, const QString& text, QMessageBox::Icon, const QString& details) {
          boxes_ << Box{text, details, dialogForBoxes_ != nullptr && dialogForBoxes_->isVisible()};
        });
  }
  void cleanup() {
    SetMessageBoxHook(nullptr);
    dialogForBoxes_ = nullptr;
  }

  // A settings file that cannot be read in full or cannot be saved: the
  // operator is told once, after the dialog is shown, what and why; a named
  // pipe must not hold up the start.
  void SettingsThatCannotBeKeptAreToldOnce_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("textPart");
    QTest::newRow("damaged") << "damaged"
                             << "registry.reg.corrupt-";
    QTest::newRow("read-only") << "read-only"
                               << "registry.reg is read-only (mode 0444)";
    QTest::newRow("directory") << "directory"
                               << "registry.reg is a directory";
    QTest::newRow("named pipe") << "fifo"
                                << "registry.reg is a named pipe (FIFO)";
  }
  void SettingsThatCannotBeKeptAreToldOnce() {
    QFETCH(QString, kind);
    QFETCH(QString, textPart);
    // The application remembers what it told for the whole process: a fresh
    // store path per row gives each row something new to tell.
    const QString path = dir_->path() + "/" + QTest::currentDataTag() + "/registry.reg";
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    qputenv("QZLINK_REGISTRY", path.toLocal8Bit());
    const QByteArray local = path.toLocal8Bit();
    if (kind == "directory") {
      QVERIFY(QDir().mkpath(path));
    } else if (kind == "fifo") {
      QCOMPARE(mkfifo(local.constData(), 0600), 0);
    } else {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(kind == "damaged" ? "this is no registry file\n"
                                   : "Windows Registry Editor Version 5.00\n");
      file.close();
      if (kind == "read-only") {
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ReadOther));
      }
    }
    SimulatedCamera camera;
    QVERIFY(camera.Ready());
    for (int round = 0; round < 2; ++round) {
      MainDialog dialog;
      dialogForBoxes_ = &dialog;
      const PaintWatch painted(&dialog);
      dialog.show();
      QVERIFY(Settled(dialog));
      // What is told, is told once the dialog has been painted.
      QTRY_VERIFY_WITH_TIMEOUT(painted.Count() > 0, kPatienceMs);
      DeliverPosted();
      if (round == 1) {
        // Names set in the dialog that cannot be stored are not told again.
        QTimer::singleShot(0, [] {
          auto* names = dynamic_cast<PresetNameDialog*>(QApplication::activeModalWidget());
          QVERIFY(names != nullptr);
          names->Edit(0)->setText(QStringLiteral("Gate"));
          names->accept();
        });
        dialog.RunCommand(cmd::kPresetName);  // Tools -> Preset Name...
      }
    }
    QCOMPARE(boxes_.size(), 1);
    QVERIFY(boxes_[0].dialogVisible);
    QVERIFY2(boxes_[0].text.contains(textPart), qPrintable(boxes_[0].text));
    if (kind == "damaged") {
      QVERIFY(boxes_[0].details.contains(QLatin1String("registry.reg")));
      QCOMPARE(
          QDir(QFileInfo(path).path()).entryList({QStringLiteral("registry.reg.corrupt-*")}).size(),
          1);
    }
    if (kind == "read-only") {
      QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
  }

  // Every box is captioned with the application's name, not the window's
  // title.
  void MessageBoxesCarryTheApplicationsName() {
    SetMessageBoxHook(nullptr);
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("QT-R90x Controler (COM1)"));
    owner.show();
    QString caption;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr);
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      caption = box->windowTitle();
      box->accept();
    });
    ShowMessageBox(&owner, QStringLiteral("text"), QMessageBox::Warning);
    QCOMPARE(caption, QStringLiteral("QT-R90x Controler"));
  }

  // A first start on an empty registry, and what its exit stores.
  void FirstStartOnAnEmptyRegistryAndItsExit() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QCOMPARE(dialog.PortNumber(), 1);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("QT-R90x Controler (COM1)"));
    QVERIFY(dialog.Connected());
    QVERIFY(!dialog.Control(ctl::kDebug)->isVisibleTo(&dialog));  // Debug
    QStringList tools;
    for (QAction* entry : dialog.ToolsMenu()->actions()) {
      // The gamepad's (there with SDL2) and the network's entries come after.
      if (entry->objectName() != QLatin1String("gamepad") &&
          entry->objectName() != QLatin1String("networkControl")) {
        tools << entry->text().section('\t', 0, 0);
      }
    }
    QCOMPARE(tools, QStringList{QStringLiteral("&Preset Name...")});
    QVERIFY(!dialog.DetailMode());  // starts compact
    QVERIFY(Registry().contains(
        QStringLiteral("[HKEY_CURRENT_USER\\Software\\Orveda\\QTR90xControler\\1.0\\Gen]")));
    QVERIFY(boxes_.isEmpty());
    run.dialog.reset();  // exit while connected: the settings and the names shown are stored
    const QString stored = Registry();
    QVERIFY(stored.contains(QStringLiteral("\"PortTableID\"=dword:00000000")));
    QVERIFY(stored.contains(QStringLiteral("\"DispSendCmd\"=dword:00000000")));
    QVERIFY(stored.contains(QStringLiteral("\"Preset9\"=\"9\"")));
  }

  void ConnectSendsExactlyItsColumn_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("modelLine");
    QTest::addColumn<int>("cameras");
    QTest::addColumn<bool>("nightModeEnabled");

    const QStringList head{"8F 30", "8F 31", "90 30", "94 31", "86 30", "A0 31", "87"};
    // The Adjust page's read follows every connect.
    const QStringList adjustRead{"52 30", "52 31", "B4 32", "79", "73", "B8", "75"};
    QTest::newRow("QT-R7, pedestal initialised")
        << QStringList{"--model", "QT-R7"} << head + QStringList{"8B 30"} + adjustRead
        << "Model : QT-R7" << 1 << false;
    QTest::newRow("QT-R7, pedestal not initialised")
        << QStringList{"--model", "QT-R7", "--pedestal", "uninitialised"}
        << head + QStringList{"58 30", "91 33", "91 35", "8B 30"} + adjustRead << "Model : QT-R7"
        << 1 << false;
    QTest::newRow("QT-R90x cascade of 3, pedestal initialised")
        << QStringList{"--cameras", "3"}
        << head + QStringList{"77", "B6", "8B 30", "74"} + adjustRead << "Model : QT-R90x" << 3
        << true;
    QTest::newRow("QT-R90xN, pedestal not initialised")
        << QStringList{"--model", "QT-R90xN", "--pedestal", "uninitialised"}
        << head + QStringList{"58 30", "91 33", "91 35", "77", "B6", "8B 30", "74"} + adjustRead
        << "Model : QT-R90xN" << 1 << true;
  }
  void ConnectSendsExactlyItsColumn() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QFETCH(QString, modelLine);
    QFETCH(int, cameras);
    QFETCH(bool, nightModeEnabled);
    SimulatedCamera camera(options);
    QVERIFY(camera.Ready());
    const qint64 start = TraceEnd();
    MainDialog dialog;
    dialog.show();
    QVERIFY(Settled(dialog));
    RunFor(100);  // anything sent late would show now

    QStringList sent = SentSince(start);
    // Date and time carry the PC's clock: compare their command bytes only.
    for (QString& frame : sent) {
      if (frame.startsWith(QLatin1String("91 33")) || frame.startsWith(QLatin1String("91 35"))) {
        frame = frame.left(5);
      } else if (frame.startsWith(QLatin1String("74"))) {
        QCOMPARE(frame, QStringLiteral("74 31 31"));  // detection property 17
        frame = frame.left(2);
      }
    }
    QCOMPARE(sent, expected);

    QCOMPARE(qobject_cast<QLabel*>(dialog.Control(ctl::kModelLine))->text(), modelLine);
    auto* cameraList = qobject_cast<QComboBox*>(dialog.Control(ctl::kCameraCombo));
    QCOMPARE(cameraList->count(), cameras);
    QVERIFY(cameraList->isEnabled());
    QCOMPARE(cameraList->currentIndex(), 0);
    QCOMPARE(dialog.Control(ctl::kNightMode)->isEnabled(), nightModeEnabled);
    QVERIFY(dialog.Control(ctl::kPadUpLeft)->isEnabled());  // the pad
    QVERIFY(dialog.Control(ctl::kPresetSet)->isEnabled());  // Set
    QVERIFY(!dialog.Control(ctl::kPresetGo)->isEnabled());  // Go: no preset stored
    QVERIFY(qobject_cast<QRadioButton*>(dialog.Control(ctl::kHost))->isChecked());  // Host
    QCOMPARE(qobject_cast<QComboBox*>(dialog.Control(ctl::kPresetCombo))->itemText(0),
             QStringLiteral("1"));
    QVERIFY(!dialog.Engine().Cursor().Shown());
  }

  void PowerOffAtConnectWaitsForThePowerAndReadsTheStatusAgain() {
    SimulatedCamera camera({"--power", "off", "--power-delay", "300"});
    QVERIFY(camera.Ready());
    const qint64 start = TraceEnd();
    MainDialog dialog;
    dialog.show();
    // The acknowledgement of the power-on starts the timer.
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().PowerOnTimerRunning(); }, 3000));
    QVERIFY(Settled(dialog));
    QVERIFY(!dialog.Engine().PowerOnTimerRunning());
    const QStringList sent = SentSince(start).mid(0, 8);
    // The power notification sends the sequence back to its status step.
    QCOMPARE(sent,
             (QStringList{"8F 30", "8F 31", "90 30", "94 31", "86 30", "A0 31", "86 30", "A0 31"}));
    QCOMPARE(SentSince(start).value(8), QStringLiteral("87"));
    QVERIFY(dialog.Camera().cameraPower);
    QVERIFY(dialog.Control(ctl::kPadUpLeft)->isEnabled());
    QCOMPARE(camera.Camera().value(QStringLiteral("power")), QStringLiteral("on"));
  }

  void NoCameraOnThePortShowsTheDialogFirstThenTheReason() {
    qputenv("QZLINK_COM1", (dir_->path() + QStringLiteral("/no-such-port")).toLocal8Bit());
    MainDialog dialog;
    dialogForBoxes_ = &dialog;
    QVERIFY(boxes_.isEmpty());  // nothing before the dialog is on the screen
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return !boxes_.isEmpty(); }, 3000));
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].text, QStringLiteral("Failed to open COM1"));
    QVERIFY(boxes_[0].dialogVisible);
    QVERIFY2(boxes_[0].details.contains(QLatin1String("No such device")),
             qPrintable(boxes_[0].details));
    QVERIFY(!dialog.Connected());
    QVERIFY(!dialog.Control(ctl::kCameraCombo)->isEnabled());
    QVERIFY(!dialog.Control(ctl::kCameraLabel)->isEnabled());
    // The start-up connect sequence ran into the closed session and ended.
    QVERIFY(Settled(dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("QT-R90x Controler (COM1)"));
  }

  // After "Failed to open COMn" the pad, zoom, focus and the pages are
  // disabled, as for a lost line; the title names the port as always.
  void AFailedOpenDisablesTheCameraControls_data() {
    QTest::addColumn<bool>("atStartup");
    QTest::newRow("at start-up") << true;
    QTest::newRow("choosing a port without a device") << false;
  }
  void AFailedOpenDisablesTheCameraControls() {
    QFETCH(bool, atStartup);
    SimulatedCamera camera;
    QVERIFY(camera.Ready());
    if (atStartup) {
      qputenv("QZLINK_COM1", (dir_->path() + QStringLiteral("/no-such-port")).toLocal8Bit());
    }
    qputenv("QZLINK_COM2", (dir_->path() + QStringLiteral("/no-such-port")).toLocal8Bit());
    MainDialog dialog;
    dialog.show();
    QVERIFY(Settled(dialog));
    if (!atStartup) {
      QVERIFY(dialog.Control(ctl::kPadUpLeft)->isEnabled());
      dialog.RunCommand(cmd::kPortCom1 + 1);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!boxes_.isEmpty(), 3000);
    QCOMPARE(boxes_.last().text, QStringLiteral("Failed to open COM%1").arg(atStartup ? 1 : 2));
    QVERIFY(Settled(dialog));
    for (int id : {ctl::kPadUpLeft, ctl::kPadHome, ctl::kZoomTele, ctl::kFocusNear, ctl::kOnePushAf,
                   ctl::kPresetCombo}) {
      QVERIFY2(!dialog.Control(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    QVERIFY(!dialog.Adjust()->isEnabled());
    QCOMPARE(dialog.windowTitle(),
             QStringLiteral("QT-R90x Controler (COM%1)").arg(atStartup ? 1 : 2));
  }

  void SecondInstanceShowsAaaAndLeavesTheFirstAlone() {
    SingleInstance first(QStringLiteral("QTR90x"));
    QCOMPARE(first.Acquire(), InstanceCheck::kFirst);
    ControllerApp second;
    QCOMPARE(second.Run(), 0);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].text, QStringLiteral("aaa"));
    QVERIFY(QFile::exists(first.LockPath()));
  }

  void LockOfACrashedInstanceIsTakenOver() {
    SingleInstance probe(QStringLiteral("QTR90x"));
    QFile stale(probe.LockPath());
    QVERIFY(stale.open(QIODevice::WriteOnly));
    // The lock of a process that no longer exists (pid, application, host).
    stale.write("2147483646\nQTR90xControler\n\n");
    stale.close();
    SingleInstance again(QStringLiteral("QTR90x"));
    QCOMPARE(again.Acquire(), InstanceCheck::kFirst);
  }

  void EscapeHandsTheCameraBackAndTheCloseBoxDoesNot_data() {
    QTest::addColumn<bool>("escape");
    QTest::addColumn<bool>("held");  // a pad button held meanwhile
    QTest::newRow("Escape") << true << false;
    QTest::newRow("close box") << false << false;
    QTest::newRow("Escape while a button is held") << true << true;
  }
  void EscapeHandsTheCameraBackAndTheCloseBoxDoesNot() {
    QFETCH(bool, escape);
    QFETCH(bool, held);
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    const qint64 start = TraceEnd();
    QStringList expected;
    if (held) {
      QTest::mousePress(dialog.Control(ctl::kPadRight), Qt::LeftButton);  // R
      QVERIFY(QTest::qWaitFor([&] { return SentSince(start).size() == 1; }, 2000));
      // The move stops while the camera still takes commands from here.
      expected << QStringLiteral("60 31 30") << QStringLiteral("60 30 30");
    }
    if (escape) {
      QTest::keyClick(dialog.Control(ctl::kExit), Qt::Key_Escape);
      expected << QStringLiteral("90 31");
    } else {
      dialog.close();
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(SentSince(start), expected);
  }

  void PresetNamesAreNotWrittenOverBeforeTheyWereRead() {
    // Camera 1 on COM1 has its names; the camera never answers the preset
    // query, so the names are not loaded when the operator changes the port.
    PresetNames names{};
    for (int i = 0; i < 9; ++i) {
      qsnprintf(names[i].data(), names[i].size(), "Spot %d", i + 1);
    }
    QCOMPARE(SavePresetNames(1, 1, names), 0);
    SimulatedCamera camera;
    QVERIFY(camera.Ready());
    camera.Control(QStringLiteral("noanswer cmd 8B"));
    MainDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().Step() >= 10; }, 3000));
    dialog.RunCommand(cmd::kPortCom1 + 1);  // Port -> COM 2 (no such device here)
    PresetNames after{};
    QCOMPARE(LoadPresetNames(1, 1, &after), 0);
    QCOMPARE(QString::fromUtf8(after[0].data()), QStringLiteral("Spot 1"));
  }

  void IgnoredNightModeClickPutsTheBoxBack() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    auto* nightMode = qobject_cast<QCheckBox*>(dialog.Control(ctl::kNightMode));
    const bool before = nightMode->isChecked();
    // A page read that never ends keeps a sequence running.
    run.camera.Control(QStringLiteral("noanswer cmd 52"));
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);  // Detail reads the page
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().SequenceActive(); }, 2000));
    const qint64 start = TraceEnd();
    nightMode->click();
    QCOMPARE(nightMode->isChecked(), before);
    RunFor(50);  // a Night Mode command sent anyway would show meanwhile
    QVERIFY(!SentSince(start).contains(QStringLiteral("B5 30")));
  }

  void CtrlTabRunsRoundThePages() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);  // Detail: full size
    auto* tab = qobject_cast<QTabWidget*>(dialog.Control(ctl::kTab));
    QVERIFY(QTest::qWaitForWindowActive(&dialog) || true);
    const int order[] = {1, 2, 0};
    for (int expected : order) {
      QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
      QCOMPARE(tab->currentIndex(), expected);
      QVERIFY(Settled(dialog));
    }
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tab->currentIndex(), 2);
  }

  void DeveloperSwitchesShowTheToolsAndSurviveAnExit_data() {
    QTest::addColumn<int>("dispCommandWindow");
    QTest::addColumn<int>("dispSendCmd");
    QTest::newRow("both on") << 1 << 1;
    QTest::newRow("both off") << 0 << 0;
  }
  void DeveloperSwitchesShowTheToolsAndSurviveAnExit() {
    QFETCH(int, dispCommandWindow);
    QFETCH(int, dispSendCmd);
    GeneralSettings stored;
    stored.dispCommandWindow = static_cast<std::uint8_t>(dispCommandWindow);
    stored.dispSendCmd = static_cast<std::uint8_t>(dispSendCmd);
    QCOMPARE(SaveGeneralSettings(stored), 0);
    {
      Running run;
      QVERIFY(run.Start());
      MainDialog& dialog = *run.dialog;
      QCOMPARE(dialog.Control(ctl::kDebug)->isVisibleTo(&dialog), dispCommandWindow != 0);
      const auto added = [&](const char* name) {
        const QList<QAction*> entries = dialog.ToolsMenu()->actions();
        return int(std::any_of(entries.begin(), entries.end(), [&](QAction* entry) {
          return entry->objectName() == QLatin1String(name);
        }));
      };
      QCOMPARE(dialog.ToolsMenu()->actions().size(), (dispSendCmd != 0 ? 2 : 1) +
                                                         (dialog.Gamepad() != nullptr ? 1 : 0) +
                                                         added("networkControl"));
      // Answers reach the debug window only with DispCommandWindow.
      const QString rows = dialog.Debug()->Rows().join('\n');
      QCOMPARE(rows.contains(QLatin1String("ack\tFE 30 31 30 30")), dispCommandWindow != 0);
      // Ctrl+S opens the Input Command window even without its menu entry,
      // at the main window's top-left corner.
      QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
      QVERIFY(dialog.CommandWindow()->isVisible());
      QCOMPARE(dialog.CommandWindow()->pos(), dialog.frameGeometry().topLeft());
    }
    GeneralSettings after;
    QCOMPARE(LoadGeneralSettings(&after), 0);
    QCOMPARE(int(after.dispCommandWindow), dispCommandWindow);
    QCOMPARE(int(after.dispSendCmd), dispSendCmd);
  }

  void InchingSetsTheSlowSpeedFirstAndRestoresItBeforeTheStop() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    const QString speed = run.camera.Camera().value(QStringLiteral("panSpeed"));
    const qint64 start = TraceEnd();
    QWidget* right = dialog.Control(ctl::kPadRight);
    QTest::mousePress(right, Qt::RightButton);
    QVERIFY(QTest::qWaitFor([&] { return SentSince(start).size() == 2; }, 2000));
    QCOMPARE(run.camera.Camera().value(QStringLiteral("panSpeed")).toInt(nullptr, 16), 8);
    QTest::mouseRelease(right, Qt::RightButton);
    QVERIFY(QTest::qWaitFor([&] { return SentSince(start).size() == 4; }, 2000));
    const QStringList sent = SentSince(start);
    QCOMPARE(sent[0], QStringLiteral("50 30 30 38"));   // slowest pan speed
    QCOMPARE(sent[1], QStringLiteral("60 31 30"));      // right
    QVERIFY(sent[2].startsWith(QLatin1String("50 ")));  // the speed read from the camera
    QCOMPARE(sent[3], QStringLiteral("60 30 30"));      // stop
    QCOMPARE(run.camera.Camera().value(QStringLiteral("panSpeed")), speed);
  }

  // With a slow camera, Home clicked while the Adjust page is read: each
  // answer is decoded by its own command, so the page shows the camera.
  void HomeDuringTheAdjustReadLeavesThePageAsTheCameraIs() {
    Running run({QStringLiteral("--reply-delay"), QStringLiteral("60")});
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    // New values, set behind the application's back (raw frames are not
    // decoded): only the read can show them.
    for (const char* frame :
         {"FF 30 31 00 50 31 41 34 EF", "FF 30 31 00 51 30 42 34 EF", "FF 30 31 00 B4 31 35 EF",
          "FF 30 31 00 78 31 EF", "FF 30 31 00 72 31 EF", "FF 30 31 00 B7 30 34 EF"}) {
      const QByteArray bytes = QByteArray::fromHex(QByteArray(frame).replace(' ', ""));
      QVERIFY(dialog.SendRawCommand(
          {reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())}));
    }
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().CallsInFlight() == 0; }, 3000));
    QTest::mouseClick(dialog.Control(ctl::kDetail),
                      Qt::LeftButton);  // Detail: the Adjust read starts
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().Step() == 1; }, 2000));
    QTest::mouseClick(dialog.Control(ctl::kPadHome), Qt::LeftButton);  // Home, while a step waits
    QVERIFY(Settled(dialog));
    const QMap<QString, QString> camera = run.camera.Camera();
    AdjustPage* page = dialog.Adjust();
    QCOMPARE(page->PanSpeed()->value(), camera.value(QStringLiteral("panSpeed")).toInt());
    QCOMPARE(page->TiltSpeed()->value(), camera.value(QStringLiteral("tiltSpeed")).toInt());
    QCOMPARE(page->ZoomSpeed()->value(), camera.value(QStringLiteral("zoomSpeed")).toInt());
    QCOMPARE(FindControl<QCheckBox>(page, ctl::adjust::kExternalLight)->isChecked(),
             camera.value(QStringLiteral("extlight")) == QLatin1String("on"));
    QCOMPARE(FindControl<QCheckBox>(page, ctl::adjust::kAlarmOutput)->isChecked(),
             camera.value(QStringLiteral("alarm")) == QLatin1String("on"));
    QCOMPARE(FindControl<QComboBox>(page, ctl::adjust::kElectronicZoom)->currentText(),
             QStringLiteral("x %1").arg(camera.value(QStringLiteral("ezoom"))));
    QCOMPARE(camera.value(QStringLiteral("panSpeed")), QStringLiteral("420"));
  }

  // The line goes (the simulator's terminal is unplugged): the dialog shows
  // it lost, opens it again every 2 s, and when it is back reads the camera
  // that was selected. A port change stops the tries.
  void ALostLineIsShownAndComesBackByItself() {
    Running run({"--cameras", "3"});
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    auto* cameras = qobject_cast<QComboBox*>(dialog.Control(ctl::kCameraCombo));
    cameras->setCurrentIndex(1);
    emit cameras->activated(1);
    QVERIFY(Settled(dialog));
    QCOMPARE(dialog.SelectedCamera(), 2);
    QAction* connect = nullptr;
    for (QAction* action : dialog.findChildren<QAction*>()) {
      if (action->text() == QLatin1String("&Connect")) {
        connect = action;
      }
    }
    QVERIFY(connect != nullptr && connect->isChecked());

    QCOMPARE(run.camera.Control(QStringLiteral("unplug")), QStringList{QStringLiteral("ok")});
    QVERIFY(QTest::qWaitFor([&] { return dialog.windowTitle().contains("no connection"); }, 3000));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("QT-R90x Controler (COM1 - no connection)"));
    QVERIFY(!connect->isChecked());
    QVERIFY(!dialog.Control(ctl::kPadUpLeft)->isEnabled());
    QVERIFY(dialog.Debug()->Rows().contains(
        QStringLiteral("error\tthe line to the camera is lost (the device hung up or was "
                       "unplugged); opening it again every 2 s")));
    QVERIFY(boxes_.isEmpty());
    const QString shots = qEnvironmentVariable("QZ_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
      SaveWithCaption(dialog, shots + QStringLiteral("/lost-line.png"));
    }

    QVERIFY(run.camera.Control(QStringLiteral("replug")).value(0).startsWith("ok /dev/pts/"));
    QVERIFY(QTest::qWaitFor([&] { return dialog.Connected(); }, 4000));
    QVERIFY(Settled(dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("QT-R90x Controler (COM1)"));
    QVERIFY(connect->isChecked());
    QCOMPARE(dialog.SelectedCamera(), 2);
    QCOMPARE(cameras->currentIndex(), 1);
    QVERIFY(dialog.Control(ctl::kPadUpLeft)->isEnabled());

    // Lost again; File -> Connect fails while the line is away, and the
    // tries go on: the replug reconnects by itself.
    QCOMPARE(run.camera.Control(QStringLiteral("unplug")), QStringList{QStringLiteral("ok")});
    QTRY_VERIFY_WITH_TIMEOUT(dialog.windowTitle().contains("no connection"), 3000);
    dialog.RunCommand(cmd::kConnect);
    QCOMPARE(boxes_.size(), 1);
    QCOMPARE(boxes_[0].text, QStringLiteral("Failed to open COM1"));
    QVERIFY(!dialog.Connected());
    QVERIFY(run.camera.Control(QStringLiteral("replug")).value(0).startsWith("ok "));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Connected(), 4000);
    QVERIFY(Settled(dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("QT-R90x Controler (COM1)"));
    boxes_.clear();

    // Lost again, then the operator chooses another port: no more tries.
    QCOMPARE(run.camera.Control(QStringLiteral("unplug")), QStringList{QStringLiteral("ok")});
    QVERIFY(QTest::qWaitFor([&] { return dialog.windowTitle().contains("no connection"); }, 3000));
    dialog.RunCommand(cmd::kPortCom1 + 1);
    boxes_.clear();
    QVERIFY(run.camera.Control(QStringLiteral("replug")).value(0).startsWith("ok "));
    RunFor(2500);  // longer than the 2 s between tries: a try would reconnect meanwhile
    QVERIFY(!dialog.Connected());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("QT-R90x Controler (COM2)"));
  }

  // A direction button is held when the line goes: its stop cannot reach
  // the camera then, so it is the first thing sent when the line is back,
  // whether the button was let go during the outage or after it.
  void AMoveHeldAcrossALostLineStopsWhenTheLineIsBack_data() {
    QTest::addColumn<bool>("releasedWhileLost");
    QTest::newRow("released while the line is lost") << true;
    QTest::newRow("released after the line is back") << false;
  }
  void AMoveHeldAcrossALostLineStopsWhenTheLineIsBack() {
    QFETCH(bool, releasedWhileLost);
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QWidget* right = dialog.Control(ctl::kPadRight);
    const qint64 start = TraceEnd();
    QTest::mousePress(right, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(SentSince(start), QStringList{QStringLiteral("60 31 30")}, 2000);

    QCOMPARE(run.camera.Control(QStringLiteral("unplug")), QStringList{QStringLiteral("ok")});
    QTRY_VERIFY_WITH_TIMEOUT(dialog.windowTitle().contains("no connection"), 3000);
    if (releasedWhileLost) {
      QTest::mouseRelease(right, Qt::LeftButton);
    }
    const qint64 lost = TraceEnd();
    QVERIFY(run.camera.Control(QStringLiteral("replug")).value(0).startsWith("ok "));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Connected(), 4000);
    QVERIFY(Settled(dialog));
    if (!releasedWhileLost) {
      QTest::mouseRelease(right, Qt::LeftButton);
      RunFor(50);  // a second stop would be sent meanwhile
    }
    const QStringList sent = SentSince(lost);
    QCOMPARE(sent.value(0), QStringLiteral("60 30 30"));
    QCOMPARE(sent.count(QStringLiteral("60 30 30")), 1);
    QVERIFY(!sent.contains(QStringLiteral("60 31 30")));
    const QString pan = run.camera.Camera().value(QStringLiteral("pan"));
    RunFor(300);  // a move still running would change the camera meanwhile
    QCOMPARE(run.camera.Camera().value(QStringLiteral("pan")), pan);
  }

  // The camera answers the Adjust read's first command only after 2.5 s:
  // the read is given up at its bound, the operator goes on, and the late
  // answer is listed and decoded for nobody.
  void ALateAnswerIsGivenUpAndDecodedForNobody() {
    GeneralSettings stored;
    stored.dispCommandWindow = 1;
    QCOMPARE(SaveGeneralSettings(stored), 0);
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QCOMPARE(run.camera.Control(QStringLiteral("late 2500 cmd 52")),
             QStringList{QStringLiteral("ok")});
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);  // Detail: the Adjust read
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().SequenceActive(); }, 1000));
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Engine().SequenceActive(); }, 2400));
    QVERIFY(clock.elapsed() < 2000);  // given up at its bound, not at the answer
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Engine().Cursor().Shown(); }, 500));
    QVERIFY(dialog.Debug()->Rows().contains(
        QStringLiteral("error\tno answer from the camera, given up: QzGetMotorSpeed(1, 0)")));
    qobject_cast<QRadioButton*>(dialog.Control(ctl::kLocal))->click();  // Local works
    QVERIFY(QTest::qWaitFor(
        [&] {
          return dialog.Debug()->Rows().contains(QStringLiteral(
              "ack\tlate answer, decoded for nobody (QzGetMotorSpeed(1, 0) was given up)"));
        },
        3000));
    QVERIFY(Settled(dialog));
    QCOMPARE(run.camera.Camera().value(QStringLiteral("mode")), QStringLiteral("local"));
    QCOMPARE(dialog.Adjust()->PanSpeed()->value(),
             run.camera.Camera().value(QStringLiteral("panSpeed")).toInt());
  }

  void LocalMakesTheWindowCompactAndTheControlsInoperable() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);  // Detail
    QVERIFY(Settled(dialog));
    QVERIFY(dialog.DetailMode());
    qobject_cast<QRadioButton*>(dialog.Control(ctl::kLocal))->click();  // Local
    QVERIFY(!dialog.DetailMode());
    QVERIFY(Settled(dialog));
    const auto operable = [&](bool expected) {
      for (int id : {ctl::kPadUpLeft, ctl::kPadHome, ctl::kZoomTele, ctl::kDetail, ctl::kTab}) {
        QVERIFY2(dialog.Control(id)->isEnabled() == expected, qPrintable(QString::number(id)));
      }
    };
    QCOMPARE(run.camera.Camera().value(QStringLiteral("mode")), QStringLiteral("local"));
    operable(false);
    QVERIFY(dialog.Control(ctl::kHost)->isEnabled());  // Host stays usable
    qobject_cast<QRadioButton*>(dialog.Control(ctl::kHost))->click();
    QVERIFY(Settled(dialog));
    QCOMPARE(run.camera.Camera().value(QStringLiteral("mode")), QStringLiteral("host"));
    operable(true);
  }

  void CameraPowerOffLeavesWhatPowersItOnAgain() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);  // Detail
    qobject_cast<QTabWidget*>(dialog.Control(ctl::kTab))->setCurrentIndex(1);
    QVERIFY(Settled(dialog));
    auto* power = FindControl<QCheckBox>(dialog.System(), ctl::sys::kCameraPower);
    QVERIFY(power != nullptr && power->isChecked());
    power->click();
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Camera().cameraPower; }, 3000));
    QVERIFY(Settled(dialog));
    QCOMPARE(run.camera.Camera().value(QStringLiteral("power")), QStringLiteral("off"));
    QVERIFY(!dialog.Control(ctl::kPadUpLeft)->isEnabled());
    QVERIFY(!dialog.Adjust()->isEnabled());
    QVERIFY(power->isEnabled());
    QVERIFY(dialog.Control(ctl::kTab)->isEnabled());
    power->click();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Camera().cameraPower; }, 3000));
    QVERIFY(Settled(dialog));
    QCOMPARE(run.camera.Camera().value(QStringLiteral("power")), QStringLiteral("on"));
    QVERIFY(dialog.Control(ctl::kPadUpLeft)->isEnabled());
    QVERIFY(dialog.Adjust()->isEnabled());
  }

  void ChoosingACameraReadsItAndKeepsEachCamerasNames() {
    PresetNames first{};
    qsnprintf(first[0].data(), first[0].size(), "Door");
    QCOMPARE(SavePresetNames(1, 1, first), 0);
    Running run({"--cameras", "2", "--model", "QT-R90x,QT-R7"});
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    auto* presets = qobject_cast<QComboBox*>(dialog.Control(ctl::kPresetCombo));
    QCOMPARE(presets->itemText(0), QStringLiteral("Door"));
    auto* cameras = qobject_cast<QComboBox*>(dialog.Control(ctl::kCameraCombo));
    const qint64 start = TraceEnd();
    cameras->setCurrentIndex(1);
    emit cameras->activated(1);
    QVERIFY(QTest::qWaitFor([&] { return dialog.Camera().unitName == "QT-R7"; }, 3000));
    QVERIFY(Settled(dialog));
    QCOMPARE(dialog.SelectedCamera(), 2);
    QCOMPARE(qobject_cast<QLabel*>(dialog.Control(ctl::kModelLine))->text(),
             QStringLiteral("Model : QT-R7"));
    QCOMPARE(presets->itemText(0), QStringLiteral("1"));
    QCOMPARE(SentSince(start).value(0), QStringLiteral("90 30"));
    PresetNames stored{};
    QCOMPARE(LoadPresetNames(1, 1, &stored), 0);
    QCOMPARE(QString::fromUtf8(stored[0].data()), QStringLiteral("Door"));
  }

  // Names set in the Preset Name Settings dialog fill the list at once, keep
  // its selection and are stored under the selected camera.
  void PresetNamesSetInTheDialogAreShownAndStored() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    auto* presets = qobject_cast<QComboBox*>(dialog.Control(ctl::kPresetCombo));
    presets->setCurrentIndex(2);
    QTimer::singleShot(0, [] {
      auto* names = dynamic_cast<PresetNameDialog*>(QApplication::activeModalWidget());
      QVERIFY(names != nullptr);
      names->Edit(2)->setText(QStringLiteral("Loading bay"));
      names->accept();
    });
    dialog.RunCommand(cmd::kPresetName);  // Tools -> Preset Name...
    QCOMPARE(presets->itemText(2), QStringLiteral("Loading bay"));
    QCOMPARE(presets->currentIndex(), 2);
    PresetNames stored{};
    QCOMPARE(LoadPresetNames(1, 1, &stored), 0);
    QCOMPARE(QString::fromUtf8(stored[2].data()), QStringLiteral("Loading bay"));
    QCOMPARE(QString::fromUtf8(stored[0].data()), QStringLiteral("1"));
  }

  // Tab runs from the dialog's controls into the visible page and back, and
  // round the dialog alone when it is compact.
  void TabHandsTheFocusBetweenTheDialogAndThePage() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QWidget* upLeft = dialog.Control(ctl::kPadUpLeft);
    QWidget* exitButton = dialog.Control(ctl::kExit);
    const auto press = [&](bool back) {
      QTest::keyClick(QApplication::focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab,
                      back ? Qt::ShiftModifier : Qt::NoModifier);
      DeliverPosted();  // the hand-off is a posted message
      return QApplication::focusWidget();
    };
    // Compact: round the dialog.
    upLeft->setFocus();
    QCOMPARE(press(true), exitButton);
    QCOMPARE(press(false), upLeft);

    // Full size: the tab control, the page's controls, back to U&L.
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);
    QVERIFY(Settled(dialog));
    upLeft->setFocus();
    QWidget* pageLast = FindControl(dialog.Adjust(), ctl::adjust::kElectronicZoom);
    QWidget* pageFirst = FindControl(dialog.Adjust(), ctl::adjust::kPanSpeed);
    QCOMPARE(press(true), pageLast);
    QCOMPARE(press(false), upLeft);
    auto* tab = qobject_cast<QTabWidget*>(dialog.Control(ctl::kTab));
    tab->tabBar()->setFocus();
    QCOMPARE(press(false), pageFirst);
    QCOMPARE(press(true), static_cast<QWidget*>(tab->tabBar()));
  }

  // Every button, list and slider of the whole dialog, its pages included,
  // has a name that assistive technology reads.
  void EveryControlHasAnAccessibleName() {
    Running run;
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);  // Detail: the pages too
    const AccessibleNames names = CheckAccessibleNames(&dialog, true);
    QVERIFY2(names.unnamed.isEmpty(), qPrintable(names.unnamed.join(", ")));
    QVERIFY(names.controls > 30);
  }

  // Pictures of the dialog, compact and full size, for the documentation.
  void Screenshots() {
    const QString out = qEnvironmentVariable("QZ_SCREENSHOT_DIR");
    if (out.isEmpty()) {
      QSKIP("QZ_SCREENSHOT_DIR names no folder");
    }
    PresetNames names{};
    const char* const labels[] = {"Entrance", "Gate", "Car park", "Lobby", "", "", "", "", ""};
    for (int i = 0; i < 9; ++i) {
      qsnprintf(names[i].data(), names[i].size(), "%s", labels[i]);
    }
    QCOMPARE(SavePresetNames(1, 1, names), 0);
    Running run({"--cameras", "3"});
    QVERIFY(run.Start());
    MainDialog& dialog = *run.dialog;
    QVERIFY(dialog.grab().save(out + QStringLiteral("/main-dialog-compact.png")));
    QTest::mouseClick(dialog.Control(ctl::kDetail), Qt::LeftButton);
    QVERIFY(Settled(dialog));
    QVERIFY(dialog.grab().save(out + QStringLiteral("/main-dialog-full.png")));
  }
};

QObject* MakeMainDialogTest() {
  return new MainDialogTest;
}

}  // namespace qtr90x::testing

#include "main_dialog_test.moc"
