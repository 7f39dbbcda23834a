// Direction buttons and the send-on-release slider, against the simulator.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "camlink/qzlink.h"
#include "core/engine/private_messages.h"
#include "resources/bitmap_ids.h"
#include "resources/control_ids.h"
#include "tests/gui_test_support.h"
#include "ui/common/bitmaps.h"
#include "ui/main/direction_button.h"
#include "ui/pages/action_slider.h"

namespace qtr90x::testing {

class DirectionButtonTest : public QObject {
  Q_OBJECT

 private:
  // A window with one direction button and an edit to take the focus away.
  struct Pad {
    explicit Pad(FakeHost* host, int controlId) {
      auto* layout = new QVBoxLayout(&window);
      button = new DirectionButton;
      button->SetControl(controlId, QStringLiteral("Button"));
      button->SetHost(host);
      other = new QLineEdit;
      layout->addWidget(button);
      layout->addWidget(other);
      window.show();
      window.activateWindow();
      active = QTest::qWaitForWindowActive(&window);
    }
    QWidget window;
    bool active = false;
    DirectionButton* button;
    QLineEdit* other;
  };

  int PanTilt(const char* axis) { return camera_->Camera().value(axis).toInt(); }
  int Zoom() { return camera_->Camera().value("zoom").toInt(nullptr, 16); }
  int Focus() { return camera_->Camera().value("focus").section(':', 1).toInt(nullptr, 16); }

  std::unique_ptr<SimulatedCamera> camera_;
  std::unique_ptr<LibrarySession> session_;
  FakeHost host_;

 private slots:
  void initTestCase() {
    camera_ = std::make_unique<SimulatedCamera>();
    QVERIFY(camera_->Ready());
    session_ = std::make_unique<LibrarySession>();
    QVERIFY(session_->Open());
    QzSetFocusMode(1, 1);  // manual focus, so that Near and Far drive it
    QVERIFY(session_->WaitForAnswers(1));
  }
  void cleanupTestCase() {
    session_.reset();
    camera_.reset();
  }

  void LeftClickMovesAndStops_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("direction");  // sign of the change
    QTest::newRow("D&L pans left") << ctl::kPadDownLeft << "pan" << -1;
    QTest::newRow("D&L tilts down") << ctl::kPadDownLeft << "tilt" << -1;
    QTest::newRow("U&R tilts up") << ctl::kPadUpRight << "tilt" << 1;
    QTest::newRow("R pans right") << ctl::kPadRight << "pan" << 1;
    QTest::newRow("Tele") << ctl::kZoomTele << "zoom" << 1;
    QTest::newRow("Wide") << ctl::kZoomWide << "zoom" << -1;
    QTest::newRow("Far") << ctl::kFocusFar << "focus" << 1;
    QTest::newRow("Near") << ctl::kFocusNear << "focus" << -1;
  }
  void LeftClickMovesAndStops() {
    QFETCH(int, id);
    QFETCH(QString, field);
    QFETCH(int, direction);
    auto read = [&] {
      return field == "zoom" ? Zoom() : field == "focus" ? Focus() : PanTilt(qPrintable(field));
    };
    if (direction < 0) {  // leave room to move back
      Pad setup(&host_, id == ctl::kZoomWide    ? ctl::kZoomTele
                        : id == ctl::kFocusNear ? ctl::kFocusFar
                                                : ctl::kPadUpRight);
      const int start = read();
      QTest::mousePress(setup.button, Qt::LeftButton);
      QVERIFY(session_->WaitForAnswers(1));
      QTRY_VERIFY_WITH_TIMEOUT(read() != start, kPatienceMs);
      QTest::mouseRelease(setup.button, Qt::LeftButton);
      QVERIFY(session_->WaitForAnswers(1));
    }
    Pad pad(&host_, id);
    const int before = read();
    const int commands = camera_->Commands();
    QTest::mousePress(pad.button, Qt::LeftButton);
    QVERIFY(session_->WaitForAnswers(1));
    QTRY_VERIFY_WITH_TIMEOUT(read() != before, kPatienceMs);  // moving
    QTest::mouseRelease(pad.button, Qt::LeftButton);
    QVERIFY(session_->WaitForAnswers(1));
    const int stopped = read();
    RunFor(60);                 // a move still running would change the camera meanwhile
    QCOMPARE(read(), stopped);  // the move has stopped
    QVERIFY2((stopped - before) * direction > 0,
             qPrintable(QString("%1 -> %2").arg(before).arg(stopped)));
    QCOMPARE(camera_->Commands() - commands, 2);  // exactly one start and one stop
  }

  void RightButtonOnFocusAndHomeDoesNothing_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("Near") << ctl::kFocusNear;
    QTest::newRow("Far") << ctl::kFocusFar;
    QTest::newRow("Home") << ctl::kPadHome;
  }
  void RightButtonOnFocusAndHomeDoesNothing() {
    QFETCH(int, id);
    Pad pad(&host_, id);
    host_.posted.clear();
    const int commands = camera_->Commands();
    QTest::mousePress(pad.button, Qt::RightButton);
    QTest::mouseRelease(pad.button, Qt::RightButton);
    RunFor(50);  // a command sent anyway would reach the camera meanwhile
    QCOMPARE(camera_->Commands(), commands);
    QVERIFY(host_.posted.isEmpty());
  }

  void InchingStartsOnlyAfterMoveGo_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("kind");
    QTest::newRow("U&R diagonal") << ctl::kPadUpRight << 2;
    QTest::newRow("L pan") << ctl::kPadLeft << 0;
    QTest::newRow("D tilt") << ctl::kPadDown << 1;
    QTest::newRow("Wide zoom") << ctl::kZoomWide << 3;
  }
  void InchingStartsOnlyAfterMoveGo() {
    QFETCH(int, id);
    QFETCH(int, kind);
    Pad pad(&host_, id);
    host_.posted.clear();
    const int commands = camera_->Commands();
    QTest::mousePress(pad.button, Qt::RightButton);
    RunFor(20);  // nothing goes out before the main dialog's speed; a command would show
    QCOMPARE(host_.Messages(um::kInchStart).size(), 1);
    QCOMPARE(int(host_.Messages(um::kInchStart)[0].lParam), kind);
    QVERIFY(pad.button->isDown());
    QCOMPARE(camera_->Commands(), commands);  // the main dialog sends the speed first
    PostMessageTo(pad.button, um::kMoveGo, 0, 1);
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(camera_->Commands(), commands + 1);
    QTest::mouseRelease(pad.button, Qt::RightButton);
    RunFor(20);  // nor before the restored speed; a stop sent early would show
    QCOMPARE(host_.Messages(um::kInchStop).size(), 1);
    QCOMPARE(camera_->Commands(), commands + 1);  // the stop waits for the restored speed
    PostMessageTo(pad.button, um::kMoveGo, 0, 0);
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(camera_->Commands(), commands + 2);
    QVERIFY(!pad.button->IsMoving());
  }

  // A held button whose window or focus goes elsewhere stops the camera.
  void LosingTheFocusWhileHeldStops_data() {
    QTest::addColumn<bool>("inching");
    QTest::newRow("left button held") << false;
    QTest::newRow("inching") << true;
  }
  void LosingTheFocusWhileHeldStops() {
    QFETCH(bool, inching);
    Pad pad(&host_, ctl::kPadRight);
    host_.posted.clear();
    const int commands = camera_->Commands();
    if (inching) {
      QTest::mousePress(pad.button, Qt::RightButton);
      PostMessageTo(pad.button, um::kMoveGo, 0, 1);
    } else {
      QTest::mousePress(pad.button, Qt::LeftButton);
    }
    QVERIFY(session_->WaitForAnswers(1));
    pad.other->setFocus();  // a window pops up, the operator switches away...
    QVERIFY(session_->WaitForAnswers(1));
    const int pan = PanTilt("pan");
    RunFor(60);  // a move still running would change the camera meanwhile
    QCOMPARE(PanTilt("pan"), pan);
    QCOMPARE(camera_->Commands(), commands + 2);
    if (inching) {
      QCOMPARE(host_.Messages(um::kInchStop).size(), 1);  // speeds restored
      PostMessageTo(pad.button, um::kMoveGo, 0, 0);       // the main dialog's late stop
      RunFor(50);  // a second stop would reach the camera meanwhile
      QCOMPARE(camera_->Commands(), commands + 2);
    } else {
      QTest::mouseRelease(pad.button, Qt::LeftButton);  // the release arrives after all
      RunFor(50);  // a second stop would reach the camera meanwhile
      QCOMPARE(camera_->Commands(), commands + 2);
    }
  }

  // Every left release stops the camera, also on a button that is inching.
  void EveryLeftReleaseStops_data() {
    QTest::addColumn<bool>("inching");
    QTest::addColumn<bool>("moveGo");  // the inching move had started
    QTest::addColumn<int>("sent");     // commands in all
    QTest::newRow("left button alone") << false << false << 2;
    QTest::newRow("left on an inching move") << true << true << 3;
    QTest::newRow("left while the inching speed is set") << true << false << 2;
  }
  void EveryLeftReleaseStops() {
    QFETCH(bool, inching);
    QFETCH(bool, moveGo);
    QFETCH(int, sent);
    Pad pad(&host_, ctl::kPadRight);
    const int commands = camera_->Commands();
    if (inching) {
      QTest::mousePress(pad.button, Qt::RightButton);
    }
    if (moveGo) {
      PostMessageTo(pad.button, um::kMoveGo, 0, 1);
      QVERIFY(session_->WaitForAnswers(1));
    }
    QTest::mousePress(pad.button, Qt::LeftButton);
    QVERIFY(session_->WaitForAnswers(1));
    QTest::mouseRelease(pad.button, Qt::LeftButton);
    QVERIFY(session_->WaitForAnswers(1));
    const int pan = PanTilt("pan");
    RunFor(60);                     // a move still running would change the camera meanwhile
    QCOMPARE(PanTilt("pan"), pan);  // stopped
    QVERIFY(!pad.button->IsMoving());
    if (inching) {
      QTest::mouseRelease(pad.button, Qt::RightButton);
      PostMessageTo(pad.button, um::kMoveGo, 0, 0);  // the speed restored
      RunFor(50);  // a second stop would reach the camera meanwhile
    }
    QCOMPARE(camera_->Commands() - commands, sent);
  }

  void ALateMoveGoCannotRestartACancelledInch() {
    Pad pad(&host_, ctl::kPadLeft);
    const int commands = camera_->Commands();
    QTest::mousePress(pad.button, Qt::RightButton);
    QTest::mouseRelease(pad.button, Qt::RightButton);  // let go before the speed answer
    PostMessageTo(pad.button, um::kMoveGo, 0, 1);
    PostMessageTo(pad.button, um::kMoveGo, 0, 0);
    RunFor(60);  // a restarted move would reach the camera meanwhile
    QCOMPARE(camera_->Commands(), commands);
  }

  void BitmapsLoadWithTheKeyColourReplaced() {
    DirectionButton button;
    button.SetControl(ctl::kPadUpLeft, QStringLiteral("U&&L"));
    button.SetKeyColour(qRgb(255, 0, 255));
    QVERIFY(button.LoadBitmaps(bmp::kUpLeft[0], bmp::kUpLeft[1], bmp::kUpLeft[2], bmp::kUpLeft[3]));
    QCOMPARE(button.sizeHint(), QSize(24, 24));
    QVERIFY(!button.LoadBitmaps(bmp::kUp[0], 999));  // a missing image fails
    const QImage raw = LoadBitmapImage(bmp::kUpLeft[0]);
    QCOMPARE(raw.pixel(3, 3), qRgb(255, 0, 255));  // drawn with the key colour
    const QImage mapped = ReplaceKeyColour(raw, qRgb(255, 0, 255), qRgb(1, 2, 3));
    QCOMPARE(mapped.pixel(3, 3), qRgb(1, 2, 3));
    QCOMPARE(button.accessibleName(), QStringLiteral("U&L"));
    QCOMPARE(button.toolTip(), QStringLiteral("U&L"));
  }
};

// The slider sends on releases only, never on paging, Home/End, the wheel or
// a refresh, and a held arrow key's repeated releases send nothing.
class ActionSliderTest : public QObject {
  Q_OBJECT

 private slots:
  void SendsOnReleasesOnly_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("sends");
    QTest::newRow("click on the thumb, unchanged") << "click" << 1;
    QTest::newRow("arrow key") << "arrow" << 1;
    QTest::newRow("held arrow key") << "held arrow" << 1;
    QTest::newRow("held arrow key, repeats unflagged") << "unflagged repeats" << 1;
    QTest::newRow("two separate presses") << "two presses" << 2;
    QTest::newRow("page up and down") << "page" << 0;
    QTest::newRow("home and end") << "home end" << 0;
    QTest::newRow("wheel") << "wheel" << 0;
    QTest::newRow("refresh") << "refresh" << 0;
  }
  void SendsOnReleasesOnly() {
    QFETCH(QString, action);
    QFETCH(int, sends);
    ActionSlider slider;
    slider.setRange(8, 800);
    slider.setValue(100);
    slider.resize(200, 30);
    slider.show();
    slider.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&slider));
    slider.setFocus();
    QSignalSpy spy(&slider, &ActionSlider::Released);
    if (action == "click") {
      const QPoint thumb(slider.ThumbCentreX(100), slider.height() / 2);
      QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
      QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb);
    } else if (action == "arrow") {
      QTest::keyClick(&slider, Qt::Key_Right);
    } else if (action == "held arrow") {
      for (int i = 0; i < 5; ++i) {
        QTest::sendKeyEvent(QTest::Press, &slider, Qt::Key_Right, QString(), {}, 0);
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(&slider, &repeat);
      }
      QTest::keyRelease(&slider, Qt::Key_Right);
    } else if (action == "unflagged repeats") {
      // Some window systems deliver a held key as plain release and press
      // pairs, without the auto-repeat flag.
      QTest::keyPress(&slider, Qt::Key_Right);
      for (int i = 0; i < 5; ++i) {
        QTest::keyRelease(&slider, Qt::Key_Right);
        QTest::keyPress(&slider, Qt::Key_Right);
      }
      QTest::keyRelease(&slider, Qt::Key_Right);
    } else if (action == "two presses") {
      QTest::keyClick(&slider, Qt::Key_Right);
      QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, kPatienceMs);  // the first release has sent
      QTest::keyClick(&slider, Qt::Key_Right);
    } else if (action == "page") {
      QTest::keyClick(&slider, Qt::Key_PageUp);
      QTest::keyClick(&slider, Qt::Key_PageDown);
    } else if (action == "home end") {
      QTest::keyClick(&slider, Qt::Key_Home);
      QTest::keyClick(&slider, Qt::Key_End);
    } else if (action == "wheel") {
      QWheelEvent wheel(QPointF(50, 10), slider.mapToGlobal(QPointF(50, 10)), QPoint(),
                        QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(&slider, &wheel);
    } else {
      slider.setValue(300);
    }
    // An arrow key's release sends once no repeat follows: the span is well
    // beyond that gap, so whatever the actions send has been sent, and a
    // send too many would show.
    RunFor(100);
    QCOMPARE(spy.size(), sends);
    if (action == "click") {
      QCOMPARE(spy[0][0].toInt(), 100);
    }
    if (action == "held arrow") {
      QCOMPARE(spy[0][0].toInt(), 105);
    }
  }
};

QObject* MakeDirectionButtonTest() {
  return new DirectionButtonTest;
}
QObject* MakeActionSliderTest() {
  return new ActionSliderTest;
}

}  // namespace qtr90x::testing

#include "direction_button_test.moc"
