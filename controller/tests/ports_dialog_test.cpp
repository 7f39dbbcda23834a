// The Ports dialog through the main dialog, against the simulated camera: a
// port mapped to the simulator's link by its by-id name, tested by the real
// application run as a child, then reconnected on OK; testing the port the
// application holds; the device list following a device folder; a target
// that cannot be stored. Writes docs/ports-dialog.png when
// QZ_SCREENSHOT_DIR names a folder.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cerrno>
#include <functional>
#include <memory>

#include "camlink/port_mapping.h"
#include "core/settings/settings.h"
#include "resources/control_ids.h"
#include "resources/menu_ids.h"
#include "tests/gui_test_support.h"
#include "ui/common/message_box.h"
#include "ui/main/main_dialog.h"
#include "ui/ports/ports_dialog.h"

namespace qtr90x::testing {

namespace {

// The by-id name under which the tests show the simulator's link.
const QString kById = QStringLiteral("usb-QZ_Simulated_Camera_QTR7-0001-if00-port0");

// Runs drive on the Ports dialog once the main dialog has opened it, and
// closes the dialog should drive leave it open.
void WhenPortsDialogOpens(MainDialog& main, std::function<void(PortsDialog&)> drive) {
  auto* poll = new QTimer(&main);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [&main, poll, drive] {
    auto* dialog = main.findChild<PortsDialog*>();
    if (dialog == nullptr || !dialog->isVisible()) {
      return;
    }
    poll->stop();
    poll->deleteLater();
    drive(*dialog);
    if (dialog->isVisible()) {
      dialog->reject();
    }
  });
  poll->start();
}

QTreeWidgetItem* DeviceItem(PortsDialog& dialog, const QString& path) {
  QTreeWidget* devices = dialog.DeviceList();
  for (int i = 0; i < devices->topLevelItemCount(); ++i) {
    if (devices->topLevelItem(i)->data(0, Qt::UserRole).toString() == path) {
      return devices->topLevelItem(i);
    }
  }
  return nullptr;
}

// True while some process holds the line's lock, as a session does.
bool LineHeld(const QString& path) {
  const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == EBUSY;  // opened for exclusive use
  }
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

void Click(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

}  // namespace

class PortsDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<SimulatedCamera> camera_;
  QString link_;  // the simulator's pseudo-terminal
  QString byId_;  // its by-id name in the test's device folder
  QStringList boxes_;

  QString Path(QStringView name) const { return dir_->path() + '/' + name.toString(); }
  QByteArray StoredBytes() const {
    QFile store(Path(u"registry.reg"));
    return store.open(QIODevice::ReadOnly) ? store.readAll() : QByteArray();
  }

  // The main dialog on its stored port, once its connect sequence is over.
  static bool Settled(MainDialog& dialog) {
    const auto idle = [&] {
      const auto* model = qobject_cast<QLabel*>(dialog.Control(ctl::kModelLine));
      return (!dialog.Connected() || !model->text().isEmpty()) &&
             !dialog.Engine().SequenceActive() && dialog.Engine().Cursor().State() == 0;
    };
    // Messages already posted start their sequences first: idle still once
    // they are delivered.
    return WaitUntil([&] { return idle() && (DeliverPosted(), idle()); });
  }

  static QString PortMenuTarget(MainDialog& dialog) {
    auto* entry = dialog.findChild<QAction*>(QStringLiteral("portTarget"));
    return entry != nullptr ? entry->text() : QString();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("QZLINK_REGISTRY", Path(u"registry.reg").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir_->path().toLocal8Bit());
    boxes_.clear();
    SetMessageBoxHook([this](QWidget*, const QString& text, QMessageBox::Icon, const QString&) {
      boxes_ << text;
    });
    // The simulator comes up as COM1 through the variable; the tests reach it
    // only through the stored mapping.
    camera_ = std::make_unique<SimulatedCamera>(
        QStringList{QStringLiteral("--model"), QStringLiteral("QT-R7"), QStringLiteral("--cameras"),
                    QStringLiteral("2")});
    QVERIFY(camera_->Ready());
    link_ = qEnvironmentVariable("QZLINK_COM1");
    qunsetenv("QZLINK_COM1");

    // A device folder with the simulator's link under a by-id name and a
    // built-in port.
    QVERIFY(QDir().mkpath(Path(u"dev/serial/by-id")));
    byId_ = Path(u"dev/serial/by-id/") + kById;
    QVERIFY(QFile::link(link_, byId_));
    QFile node(Path(u"dev/ttyS0"));
    QVERIFY(node.open(QIODevice::WriteOnly));
    PortsDialogSetup setup;
    setup.folders.dev = Path(u"dev").toStdString();
    setup.folders.byId = Path(u"dev/serial/by-id").toStdString();
    setup.folders.sysTty.clear();
    setup.probeProgram = QStringLiteral(QTR90X_PATH);
    // The tests run as root, whom file modes do not stop: the built-in port
    // stands for one the user may not open.
    setup.accessCheck = [](const std::string& path) {
      return path.find("ttyS") != std::string::npos ? EACCES : 0;
    };
    PortsDialog::SetSetupForTesting(setup);

    // The application's port is COM3, which is mapped to a device that is
    // not there.
    GeneralSettings general;
    general.portIndex = 2;
    QCOMPARE(SaveGeneralSettings(general), 0);
    QCOMPARE(qzlink::StorePortTarget(3, Path(u"no-such-adapter").toStdString()), std::string());
  }
  void cleanup() {
    SetMessageBoxHook(nullptr);
    PortsDialog::SetSetupForTesting({});
    camera_.reset();
  }

  void AssignTestAndReconnect() {
    MainDialog dialog;
    dialog.show();
    QVERIFY(Settled(dialog));
    QVERIFY(!dialog.Connected());
    QCOMPARE(dialog.PortNumber(), 3);
    QVERIFY(PortMenuTarget(dialog).contains(QStringLiteral("no-such-adapter")));
    const int commandsBefore = camera_->Commands();

    WhenPortsDialogOpens(dialog, [this](PortsDialog& ports) {
      QCOMPARE(ports.SelectedPort(), 3);  // the application's port comes first
      QTreeWidgetItem* device = DeviceItem(ports, byId_);
      QVERIFY(device != nullptr);
      QVERIFY(device->text(2).contains(QStringLiteral("QZ Simulated Camera QTR7-0001")));
      QCOMPARE(device->text(1), QStringLiteral("read and write"));
      QTreeWidgetItem* builtIn = DeviceItem(ports, Path(u"dev/ttyS0"));
      QVERIFY(builtIn != nullptr);
      QVERIFY(builtIn->text(1).startsWith(QStringLiteral("no permission")));
      Click(ports.DeviceList(), device);
      QCOMPARE(ports.TargetEdit()->text(), byId_);
      QCOMPARE(ports.PortList()->topLevelItem(2)->text(1), byId_);

      QTest::mouseClick(ports.TestButton(), Qt::LeftButton);
      // No reconnect while the test holds the port.
      QVERIFY(!ports.OkButton()->isEnabled());
      QVERIFY(QTest::qWaitFor([&] { return !ports.TestRunning(); }, 25000));
      QCOMPARE(ports.ResultLabel()->text(),
               QStringLiteral("COM3: 2 cameras on the line. Camera 1 is QT-R7."));
      QVERIFY(ports.OkButton()->isEnabled());

      const QString shots = qEnvironmentVariable("QZ_SCREENSHOT_DIR");
      if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        QVERIFY(ports.grab().save(shots + QStringLiteral("/ports-dialog.png")));
      }
      QTest::mouseClick(ports.OkButton(), Qt::LeftButton);
    });
    dialog.RunCommand(cmd::kPorts);
    if (QTest::currentTestFailed()) {
      return;
    }

    // OK stored the by-id name and reconnected the application's port.
    QCOMPARE(qzlink::StoredPortTarget(3), byId_.toStdString());
    QVERIFY(dialog.Connected());
    QVERIFY(Settled(dialog));
    QCOMPARE(qobject_cast<QLabel*>(dialog.Control(ctl::kModelLine))->text(),
             QStringLiteral("Model : QT-R7"));
    QVERIFY(camera_->Commands() > commandsBefore + 2);  // the probe's two and the connect sequence
    QCOMPARE(PortMenuTarget(dialog), QStringLiteral("COM3: ") + byId_);
  }

  void ThePortInUseADeviceComingAndABadTarget() {
    QCOMPARE(qzlink::StorePortTarget(3, byId_.toStdString()), std::string());
    MainDialog dialog;
    dialog.show();
    QVERIFY(Settled(dialog));
    QVERIFY(dialog.Connected());
    const QByteArray storeBefore = StoredBytes();
    QVERIFY(!storeBefore.isEmpty());  // it holds COM3's target

    // A line where nothing answers.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const QString silentLine = QString::fromLocal8Bit(ptsname(master));

    WhenPortsDialogOpens(dialog, [this, master, silentLine](PortsDialog& ports) {
      // The port this application holds answers from what it knows.
      QTest::mouseClick(ports.TestButton(), Qt::LeftButton);
      QVERIFY(!ports.TestRunning());
      QVERIFY(ports.ResultLabel()->text().startsWith(
          QStringLiteral("In use by this application: 2 cameras on the line.")));

      // An adapter plugged in shows up without anything being pressed.
      const QString plugged = Path(u"dev/ttyUSB4");
      QVERIFY(DeviceItem(ports, plugged) == nullptr);
      QFile adapter(plugged);
      QVERIFY(adapter.open(QIODevice::WriteOnly));
      adapter.close();
      QVERIFY(QTest::qWaitFor([&] { return DeviceItem(ports, plugged) != nullptr; }, 3000));

      // A missing device, tested by the child: the reason comes back.
      ports.SelectPort(5);
      QTest::keyClicks(ports.TargetEdit(), Path(u"ttyUSB9"));
      QTest::mouseClick(ports.TestButton(), Qt::LeftButton);
      QVERIFY(QTest::qWaitFor([&] { return !ports.TestRunning(); }, 25000));
      QVERIFY(ports.ResultLabel()->text().contains(QStringLiteral("No such device")));

      // A relative path cannot be a target: OK stays off until it is mended.
      ports.SelectPort(6);
      QTest::keyClicks(ports.TargetEdit(), QStringLiteral("ttyUSB0"));
      QVERIFY(!ports.OkButton()->isEnabled());
      QVERIFY(!ports.TestButton()->isEnabled());
      ports.TargetEdit()->selectAll();
      QTest::keyClicks(ports.TargetEdit(), QStringLiteral("/dev/ttyUSB0"));
      QVERIFY(ports.OkButton()->isEnabled());
      const AccessibleNames names = CheckAccessibleNames(&ports, false);
      QVERIFY(names.controls >= 4);  // Default, Test, OK, Cancel
      QVERIFY2(names.unnamed.isEmpty(), qPrintable(names.unnamed.join(", ")));

      // Cancel while a test waits for a line that never answers.
      ports.SelectPort(7);
      QTest::keyClicks(ports.TargetEdit(), silentLine);
      QTest::mouseClick(ports.TestButton(), Qt::LeftButton);
      // The child's query on the line: it has the port and waits for an answer.
      QVERIFY(QTest::qWaitFor(
          [&] {
            char sent[16];
            return ::read(master, sent, sizeof sent) > 0;
          },
          5000));
      QVERIFY(ports.TestRunning());
      ports.reject();
    });
    dialog.RunCommand(cmd::kPorts);
    if (QTest::currentTestFailed()) {
      return;
    }
    // The test ended with the dialog: its child let go of the line.
    QVERIFY(QTest::qWaitFor([&] { return !LineHeld(silentLine); }, 3000));
    ::close(master);
    // Cancel kept the store and the connection as they were.
    QCOMPARE(StoredBytes(), storeBefore);
    QVERIFY(dialog.Connected());
  }
};

QObject* MakePortsDialogTest() {
  return new PortsDialogTest;
}

}  // namespace qtr90x::testing

#include "ports_dialog_test.moc"
