// The Adjust, System and Picture pages and the exposure sub-panels: what each
// control sends (checked in the simulator's state), the refresh rules, the
// brightness hand-shake and the keyboard conventions.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <functional>

#include "camlink/qzlink.h"
#include "core/engine/private_messages.h"
#include "resources/bitmap_ids.h"
#include "resources/control_ids.h"
#include "tests/gui_test_support.h"
#include "ui/pages/action_slider.h"
#include "ui/pages/adjust_page.h"
#include "ui/pages/auto_exposure_panel.h"
#include "ui/pages/manual_exposure_panel.h"
#include "ui/pages/picture_page.h"
#include "ui/pages/system_page.h"

namespace qtr90x::testing {

namespace {

template <typename W = QWidget>
W* Control(QWidget* page, int id) {
  W* w = page->findChild<W*>(QString::number(id));
  if (w == nullptr) {
    qFatal("no control %d", id);
  }
  return w;
}

// Moves a slider one step onto `value` with the arrow key, as an operator does.
void StepTo(QSlider* slider, int value) {
  slider->setValue(value - slider->singleStep());
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Right);
}

void Choose(QComboBox* list, int item) {
  list->setCurrentIndex(item);
  emit list->activated(item);
}

}  // namespace

class PagesTest : public QObject {
  Q_OBJECT

 private:
  // The three pages in a dialog, as the main dialog holds them.
  struct Pages {
    explicit Pages(FakeHost* host) {
      auto* layout = new QVBoxLayout(&window);
      for (TabPage* page : std::initializer_list<TabPage*>{adjust, system, picture}) {
        page->SetHost(host);
        layout->addWidget(page);
      }
      defaultButton = new QPushButton(QStringLiteral("Default"));
      defaultButton->setDefault(true);
      layout->addWidget(defaultButton);
      window.show();
      window.activateWindow();
      active = QTest::qWaitForWindowActive(&window);
    }
    QDialog window;
    bool active = false;
    AdjustPage* adjust = new AdjustPage;
    SystemPage* system = new SystemPage;
    PicturePage* picture = new PicturePage;
    QPushButton* defaultButton;
  };

  std::unique_ptr<SimulatedCamera> camera_;
  std::unique_ptr<LibrarySession> session_;
  FakeHost host_;

  QString Field(const char* name) { return camera_->Camera().value(name); }

 private slots:
  void initTestCase() {
    camera_ = std::make_unique<SimulatedCamera>();
    QVERIFY(camera_->Ready());
    session_ = std::make_unique<LibrarySession>();
    QVERIFY(session_->Open());
  }
  void cleanupTestCase() {
    session_.reset();
    camera_.reset();
  }
  void init() {
    host_.camera = CameraState{};
    host_.camera.unitName = "QT-R90x";
    host_.camera.cameraPower = true;
    host_.posted.clear();
    host_.waitCursor.clear();
    host_.followUps.clear();
  }

  void EveryControlSendsItsRow() {
    Pages pages(&host_);
    pages.system->SetClock([] { return QDateTime(QDate(2003, 12, 31), QTime(10, 20, 30)); });
    struct Row {
      const char* name;
      std::function<void()> act;
      const char* field;
      QString expected;  // a prefix of the field's value
    };
    QWidget* adjust = pages.adjust;
    QWidget* system = pages.system;
    QWidget* autoPanel = pages.picture->AutoPanel();
    QWidget* manualPanel = pages.picture->ManualPanel();
    const Row rows[] = {
        {"pan speed", [&] { StepTo(Control<QSlider>(adjust, ctl::adjust::kPanSpeed), 300); },
         "panSpeed", "300"},
        {"tilt speed", [&] { StepTo(Control<QSlider>(adjust, ctl::adjust::kTiltSpeed), 200); },
         "tiltSpeed", "200"},
        {"zoom speed", [&] { StepTo(Control<QSlider>(adjust, ctl::adjust::kZoomSpeed), 5); },
         "zoomSpeed", "5"},
        {"electronic zoom x 8",
         [&] { Choose(Control<QComboBox>(adjust, ctl::adjust::kElectronicZoom), 3); }, "ezoom",
         "8"},
        {"electronic zoom off",
         [&] { Choose(Control<QComboBox>(adjust, ctl::adjust::kElectronicZoom), 0); }, "ezoom",
         "1"},
        {"external light",
         [&] { Control<QCheckBox>(adjust, ctl::adjust::kExternalLight)->click(); }, "extlight",
         "on"},
        {"alarm output", [&] { Control<QCheckBox>(adjust, ctl::adjust::kAlarmOutput)->click(); },
         "alarm", "on"},
        {"date 2003-12-31", [&] { Control<QPushButton>(system, ctl::sys::kSetDate)->click(); },
         "clock", "031231-"},
        {"time 10:20:30", [&] { Control<QPushButton>(system, ctl::sys::kSetTime)->click(); },
         "clock", "031231-1020"},
        {"date format dd.MM.yy",
         [&] { Choose(Control<QComboBox>(system, ctl::sys::kDateFormat), 2); }, "date", "9"},
        {"time format hh:mm:ss",
         [&] { Choose(Control<QComboBox>(system, ctl::sys::kTimeFormat), 1); }, "time", "5"},
        {"noise reduction high",
         [&] { Choose(Control<QComboBox>(system, ctl::sys::kNoiseReduction), 2); }, "nr", "2"},
        {"LED off", [&] { Choose(Control<QComboBox>(system, ctl::sys::kLed), 4); }, "led", "2"},
        {"LED red", [&] { Choose(Control<QComboBox>(system, ctl::sys::kLed), 2); }, "led", "3"},
        {"LED orange", [&] { Choose(Control<QComboBox>(system, ctl::sys::kLed), 3); }, "led", "4"},
        {"lock WB", [&] { Control<QCheckBox>(pages.picture, ctl::picture::kLockWb)->click(); },
         "wb", "1"},
        {"manual exposure",
         [&] { Control<QRadioButton>(pages.picture, ctl::picture::kExposureManual)->click(); },
         "exposure", "manual"},
        {"iris", [&] { StepTo(Control<QSlider>(manualPanel, ctl::picture::kIris), 10); }, "iris",
         "10"},
        {"AGC", [&] { StepTo(Control<QSlider>(manualPanel, ctl::picture::kAgc), 100); }, "gain",
         "100"},
        {"shutter position 29",
         [&] { StepTo(Control<QSlider>(manualPanel, ctl::picture::kShutter), 29); }, "shutter",
         "25"},
        {"shutter position 4",
         [&] { StepTo(Control<QSlider>(manualPanel, ctl::picture::kShutter), 4); }, "shutter", "0"},
        {"shutter position 3",
         [&] {
           QSlider* s = Control<QSlider>(manualPanel, ctl::picture::kShutter);
           s->setValue(4);
           s->setFocus();
           QTest::keyClick(s, Qt::Key_Left);
         },
         "shutter", "128"},
        {"auto exposure",
         [&] { Control<QRadioButton>(pages.picture, ctl::picture::kExposureAuto)->click(); },
         "exposure", "auto"},
        {"flickerless", [&] { Control<QCheckBox>(autoPanel, ctl::picture::kFlickerless)->click(); },
         "shutterMode", "2"},
        {"flickerless off",
         [&] { Control<QCheckBox>(autoPanel, ctl::picture::kFlickerless)->click(); }, "shutterMode",
         "0"},
        {"backlight on",
         [&] {
           auto* list = Control<QComboBox>(autoPanel, ctl::picture::kBacklight);
           list->addItems({"Off", "On1", "On2"});
           Choose(list, 1);
         },
         "backlight", "1"},
        {"brightness", [&] { StepTo(Control<QSlider>(autoPanel, ctl::picture::kBrightness), 100); },
         "ae", "100"},
    };
    for (const Row& row : rows) {
      row.act();
      QVERIFY2(session_->WaitForAnswers(1), row.name);
      const QString value = Field(row.field);
      QVERIFY2(value.startsWith(row.expected),
               qPrintable(QString("%1: %2=%3").arg(row.name, row.field, value)));
      PostMessageTo(pages.picture->AutoPanel(), um::kAeValueReady);  // as the main dialog would
      DeliverPosted();
    }
  }

  void PostedActions_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("message");
    QTest::newRow("On Screen") << ctl::sys::kOnScreen << um::kOnScreenChanged;
    QTest::newRow("Camera Power On (off)") << ctl::sys::kCameraPower << um::kPowerOff;
  }
  void PostedActions() {
    QFETCH(int, id);
    QFETCH(int, message);
    Pages pages(&host_);
    auto* box = Control<QCheckBox>(pages.system, id);
    box->setChecked(true);
    box->click();
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(message).size(), 1, kPatienceMs);
  }

  void PowerBoxStaysUsableWithoutPower() {
    Pages pages(&host_);
    pages.system->SetCameraControlsEnabled(false);
    QVERIFY(Control(pages.system, ctl::sys::kCameraPower)->isEnabled());
    QVERIFY(!Control(pages.system, ctl::sys::kLed)->isEnabled());
    QVERIFY(!Control(pages.system, ctl::sys::kSetDate)->isEnabled());
  }

  // At most one brightness command is outstanding: its own answer re-arms
  // the slider.
  void BrightnessHandShake() {
    Pages pages(&host_);
    QzSetExposed(1, 0);
    QVERIFY(session_->WaitForAnswers(1));
    auto* panel = pages.picture->AutoPanel();
    auto* slider = Control<QSlider>(panel, ctl::picture::kBrightness);
    slider->setValue(16);
    slider->setFocus();
    const int commands = camera_->Commands();
    for (int i = 0; i < 5; ++i) {
      QTest::keyClick(slider, Qt::Key_Right);
    }
    QCOMPARE(host_.followUps, QVector<AnswerFollowUp>{AnswerFollowUp::kAutoExposureReady});
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(camera_->Commands(), commands + 1);
    QCOMPARE(Field("ae"), QStringLiteral("19"));  // the first position went out at once
    QTest::keyClick(slider, Qt::Key_Right);       // before the answer is handed on: dropped
    RunFor(20);  // a command sent anyway would reach the camera meanwhile
    QCOMPARE(camera_->Commands(), commands + 1);
    PostMessageTo(panel, um::kAeValueReady);
    QTRY_VERIFY_WITH_TIMEOUT(panel->BrightnessReady(), kPatienceMs);
    QTest::keyClick(slider, Qt::Key_Right);
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(Field("ae"), QString::number(slider->value()));
  }

  // The exposure mode goes out and the sub-panel's read is asked for at once.
  void ExposureModeStartsItsPanelsRead_data() {
    QTest::addColumn<int>("radio");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("kind");
    QTest::newRow("Manual") << ctl::picture::kExposureManual << 1 << 5;
    QTest::newRow("Auto") << ctl::picture::kExposureAuto << 0 << 4;
  }
  void ExposureModeStartsItsPanelsRead() {
    QFETCH(int, radio);
    QFETCH(int, target);
    QFETCH(int, kind);
    Pages pages(&host_);
    Control<QRadioButton>(pages.picture, radio)->click();
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(Field("exposure"), target == 1 ? QStringLiteral("manual") : QStringLiteral("auto"));
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kStartQuery).size(), 1, kPatienceMs);
    QCOMPARE(int(host_.Messages(um::kStartQuery)[0].lParam), kind);
    QWidget* panel = target == 1 ? static_cast<QWidget*>(pages.picture->ManualPanel())
                                 : pages.picture->AutoPanel();
    QVERIFY(panel->isVisible());
  }

  // "On2" cannot be sent: the wait cursor ends and the selection returns.
  void BacklightChoiceTheLibraryCannotSend() {
    Pages pages(&host_);
    host_.camera.backlight = 1;
    auto* panel = pages.picture->AutoPanel();
    PostMessageTo(panel, um::kRefreshPage);
    DeliverPosted();
    auto* list = Control<QComboBox>(panel, ctl::picture::kBacklight);
    QCOMPARE(list->count(), 3);
    host_.waitCursor.clear();
    Choose(list, 2);
    QCOMPARE(host_.waitCursor, (QVector<int>{2, 1}));
    QCOMPARE(list->currentIndex(), 1);
  }

  // A slow shutter value shows at the position that sends it back unchanged.
  void SlowShutterRoundTrip() {
    Pages pages(&host_);
    QzSetExposed(1, 1);
    QVERIFY(session_->WaitForAnswers(1));
    QzSetShutterSpeedx(1, 131);
    QVERIFY(session_->WaitForAnswers(1));
    host_.camera.shutterSpeed = Field("shutter").toInt();
    QCOMPARE(host_.camera.shutterSpeed, 131);
    auto* panel = pages.picture->ManualPanel();
    PostMessageTo(panel, um::kRefreshPage);
    DeliverPosted();
    auto* shutter = panel->Shutter();
    QCOMPARE(shutter->value(), 0);
    QzSetShutterSpeedx(1, 5);
    QVERIFY(session_->WaitForAnswers(1));
    shutter->setFocus();
    QTest::keyClick(shutter, Qt::Key_Right);  // 1 -> back to 0: within the slow range
    QTest::keyClick(shutter, Qt::Key_Left);
    RunFor(20);  // within the slow range the releases send nothing
    QCOMPARE(shutter->value(), 0);
    const QPoint thumb(shutter->ThumbCentreX(0), shutter->height() / 2);
    QTest::mouseClick(shutter, Qt::LeftButton, {}, thumb);  // release on the unchanged thumb
    RunFor(20);  // a command sent anyway would reach the camera meanwhile
    QCOMPARE(Field("shutter"), QStringLiteral("5"));  // nothing sent within the slow range
    shutter->SetLastValue(5);
    QTest::mouseClick(shutter, Qt::LeftButton, {}, thumb);
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(Field("shutter"), QStringLiteral("131"));
    QzSetExposed(1, 0);
    QVERIFY(session_->WaitForAnswers(1));
  }

  void AdjustRefresh_data() {
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("R90x x 12") << "QT-R90x" << 12 << 4 << true;
    QTest::newRow("R90x zoom 0 is off") << "QT-R90x" << 0 << 0 << true;
    QTest::newRow("R90x zoom 6 leaves the list") << "QT-R90x" << 6 << 2 << true;
    QTest::newRow("QT-R7") << "QT-R7" << 12 << 0 << false;
  }
  void AdjustRefresh() {
    QFETCH(QString, unit);
    QFETCH(int, zoom);
    QFETCH(int, item);
    QFETCH(bool, enabled);
    Pages pages(&host_);
    host_.camera.unitName = unit.toStdString();
    host_.camera.electronicZoom = zoom;
    host_.camera.panSpeed = 400;
    host_.camera.sensorInput = 1;
    host_.camera.externalLight = true;
    auto* list = Control<QComboBox>(pages.adjust, ctl::adjust::kElectronicZoom);
    list->setCurrentIndex(2);
    auto* notify = Control<QCheckBox>(pages.adjust, ctl::adjust::kNotifyDetection);
    notify->setChecked(true);
    PostMessageTo(pages.adjust, um::kRefreshPage);
    DeliverPosted();
    QCOMPARE(list->currentIndex(), item);
    QCOMPARE(list->isEnabled(), enabled);
    QCOMPARE(Control(pages.adjust, ctl::adjust::kExternalLight)->isEnabled(), enabled);
    QCOMPARE(notify->isChecked(), enabled);
    QCOMPARE(Control<QSlider>(pages.adjust, ctl::adjust::kPanSpeed)->value(), 400);
    const int image =
        Control(pages.adjust, ctl::adjust::kSensorIndicator)->property("bitmapId").toInt();
    QCOMPARE(image, enabled ? bmp::kSensorDetected : bmp::kSensorNotifyOff);
    QCOMPARE(host_.refreshIdle > 0, true);
    QCOMPARE(host_.waitCursor.last(), 1);
  }

  // The box and the sensor redraw the indicator; a power change while the
  // page is shown repaints it, and notification then counts as on only with
  // the power on.
  void SensorAndPowerChangesRedrawTheIndicator() {
    Pages pages(&host_);
    Control<QCheckBox>(pages.adjust, ctl::adjust::kNotifyDetection)->click();
    QCOMPARE(Control(pages.adjust, ctl::adjust::kSensorIndicator)->property("bitmapId").toInt(),
             bmp::kSensorNotDetected);
    host_.camera.sensorInput = 2;
    const int idle = host_.refreshIdle;
    PostMessageTo(pages.adjust, um::kSensorChanged);
    DeliverPosted();
    QCOMPARE(Control(pages.adjust, ctl::adjust::kSensorIndicator)->property("bitmapId").toInt(),
             bmp::kSensorDetected);
    QCOMPARE(host_.refreshIdle, idle + 1);
    // As the main dialog does when the camera is switched off and on again.
    for (const bool power : {false, true}) {
      host_.camera.cameraPower = power;
      pages.adjust->setEnabled(power);
      QCOMPARE(Control(pages.adjust, ctl::adjust::kSensorIndicator)->property("bitmapId").toInt(),
               power ? bmp::kSensorDetected : bmp::kSensorNotifyOff);
    }
    Control<QCheckBox>(pages.adjust, ctl::adjust::kNotifyDetection)->click();
    QCOMPARE(Control(pages.adjust, ctl::adjust::kSensorIndicator)->property("bitmapId").toInt(),
             bmp::kSensorNotifyOff);
  }

  void SystemRefresh_data() {
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("firstRead");
    QTest::addColumn<int>("ledState");
    QTest::addColumn<int>("ledItem");
    QTest::addColumn<int>("dateItem");
    QTest::addColumn<bool>("noiseEnabled");
    QTest::newRow("R90x LED off") << "QT-R90x" << 0 << 2 << 4 << 2 << true;
    QTest::newRow("R90x LED red") << "QT-R90x" << 0 << 3 << 2 << 2 << true;
    QTest::newRow("R90x LED state 0 leaves it") << "QT-R90x" << 0 << 0 << 1 << 2 << true;
    QTest::newRow("R90x LED state 5 leaves it") << "QT-R90x" << 0 << 5 << 1 << 2 << true;
    QTest::newRow("QT-R7 first read") << "QT-R7" << 1 << 0 << 0 << 2 << false;
    QTest::newRow("QT-R7 later read") << "QT-R7" << 0 << 0 << 1 << 0 << false;
  }
  void SystemRefresh() {
    QFETCH(QString, unit);
    QFETCH(int, firstRead);
    QFETCH(int, ledState);
    QFETCH(int, ledItem);
    QFETCH(int, dateItem);
    QFETCH(bool, noiseEnabled);
    Pages pages(&host_);
    host_.camera.unitName = unit.toStdString();
    host_.camera.ledState = ledState;
    host_.camera.dateDisplay = 9;
    host_.camera.timeDisplay = 6;
    host_.camera.noiseReduction = 1;
    auto* led = Control<QComboBox>(pages.system, ctl::sys::kLed);
    led->setCurrentIndex(1);
    auto* noise = Control<QComboBox>(pages.system, ctl::sys::kNoiseReduction);
    PostMessageTo(pages.system, um::kRefreshPage, firstRead);
    DeliverPosted();
    QCOMPARE(led->currentIndex(), ledItem);
    QCOMPARE(Control<QComboBox>(pages.system, ctl::sys::kDateFormat)->currentIndex(), dateItem);
    QCOMPARE(noise->isEnabled(), noiseEnabled);
    QCOMPARE(noise->currentIndex(), noiseEnabled ? 1 : 0);
    QVERIFY(Control<QCheckBox>(pages.system, ctl::sys::kCameraPower)->isChecked());
  }

  void PictureRefreshChainsIntoTheSubPanel_data() {
    QTest::addColumn<bool>("exposureAuto");
    QTest::addColumn<int>("kind");
    QTest::newRow("auto") << true << 4;
    QTest::newRow("manual") << false << 5;
  }
  void PictureRefreshChainsIntoTheSubPanel() {
    QFETCH(bool, exposureAuto);
    QFETCH(int, kind);
    Pages pages(&host_);
    host_.camera.exposureAuto = exposureAuto;
    PostMessageTo(pages.picture, um::kRefreshPage);
    DeliverPosted();
    QCOMPARE(host_.Messages(um::kStartQuery).size(), 1);
    QCOMPARE(int(host_.Messages(um::kStartQuery)[0].lParam), kind);
    QCOMPARE(pages.picture->ManualPanel()->isVisible(), !exposureAuto);
    QCOMPARE(pages.picture->AutoPanel()->isVisible(), exposureAuto);
    // Placed inside the group, 10 pixels below the "Auto" radio button.
    QWidget* shown = exposureAuto ? static_cast<QWidget*>(pages.picture->AutoPanel())
                                  : pages.picture->ManualPanel();
    QWidget* radio = Control(pages.picture, ctl::picture::kExposureAuto);
    QCOMPARE(shown->y(), radio->mapTo(pages.picture, QPoint(0, radio->height())).y() + 10);
  }

  // Tab leaves a page at its ends with UM_FOCUSHANDOFF, Escape posts
  // UM_PAGEESCAPE, Enter does nothing.
  void KeyboardConventions_data() {
    QTest::addColumn<int>("page");  // 0 Adjust, 1 System
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("Adjust") << 0 << ctl::adjust::kPanSpeed << ctl::adjust::kElectronicZoom;
    QTest::newRow("System") << 1 << ctl::sys::kOnScreen << ctl::sys::kLed;
  }
  void KeyboardConventions() {
    QFETCH(int, page);
    QFETCH(int, first);
    QFETCH(int, last);
    Pages pages(&host_);
    TabPage* tab = page == 0 ? static_cast<TabPage*>(pages.adjust) : pages.system;
    QWidget* firstControl = Control(tab, first);
    QWidget* lastControl = Control(tab, last);
    lastControl->setFocus();
    QTest::keyClick(lastControl, Qt::Key_Tab);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kFocusHandoff).size(), 1, kPatienceMs);
    QCOMPARE(int(host_.Messages(um::kFocusHandoff)[0].lParam), 0);
    firstControl->setFocus();
    QTest::keyClick(firstControl, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kFocusHandoff).size(), 2, kPatienceMs);
    QCOMPARE(int(host_.Messages(um::kFocusHandoff)[1].lParam), 1);
    QVERIFY(firstControl->hasFocus());  // no wrap inside the page
    PostMessageTo(tab, um::kFocusHandoff, 0, 1);
    QTRY_VERIFY_WITH_TIMEOUT(lastControl->hasFocus(), kPatienceMs);
    PostMessageTo(tab, um::kFocusHandoff, 0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(firstControl->hasFocus(), kPatienceMs);
    QTest::keyClick(firstControl, Qt::Key_Down);  // moves within the page
    bool clicked = false;
    connect(pages.defaultButton, &QPushButton::clicked, [&] { clicked = true; });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!clicked);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kPageEscape).size(), 1, kPatienceMs);
    QVERIFY(pages.window.isVisible());
  }

  // Ctrl+Tab and Ctrl+Shift+Tab pass through a page to the tab control,
  // which changes the page, wrapping round.
  void CtrlTabReachesTheTabControl() {
    QTabWidget tabs;
    auto* adjust = new AdjustPage;
    auto* picture = new PicturePage;
    adjust->SetHost(&host_);
    picture->SetHost(&host_);
    tabs.addTab(adjust, QStringLiteral("Adjust"));
    tabs.addTab(new SystemPage, QStringLiteral("System"));
    tabs.addTab(picture, QStringLiteral("Picture"));
    tabs.setCurrentIndex(2);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowActive(&tabs));
    QWidget* brightness = Control(picture->AutoPanel(), ctl::picture::kBrightness);
    brightness->setFocus();
    QTest::keyClick(brightness, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs.currentIndex(), 0);
    QWidget* pan = Control(adjust, ctl::adjust::kPanSpeed);
    pan->setFocus();
    QTest::keyClick(pan, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs.currentIndex(), 2);
    DeliverPosted();  // a hand-off would be a posted message
    QVERIFY(host_.Messages(um::kFocusHandoff).isEmpty());
  }

  // The Picture page's tab order runs radio -> sub-panel -> Lock WB.
  void PictureFocusRunsThroughTheSubPanel() {
    Pages pages(&host_);
    auto* autoRadio = Control<QRadioButton>(pages.picture, ctl::picture::kExposureAuto);
    autoRadio->setFocus();
    QTest::keyClick(autoRadio, Qt::Key_Tab);
    QTRY_VERIFY_WITH_TIMEOUT(
        Control(pages.picture->AutoPanel(), ctl::picture::kFlickerless)->hasFocus(), kPatienceMs);
    QWidget* brightness = Control(pages.picture->AutoPanel(), ctl::picture::kBrightness);
    brightness->setFocus();
    QTest::keyClick(brightness, Qt::Key_Tab);
    QTRY_VERIFY_WITH_TIMEOUT(Control(pages.picture, ctl::picture::kLockWb)->hasFocus(),
                             kPatienceMs);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(brightness->hasFocus(), kPatienceMs);
    QWidget* flickerless = Control(pages.picture->AutoPanel(), ctl::picture::kFlickerless);
    flickerless->setFocus();
    QTest::keyClick(flickerless, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(autoRadio->hasFocus(), kPatienceMs);
    QTest::keyClick(autoRadio, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kFocusHandoff).size(), 1, kPatienceMs);
    QCOMPARE(int(host_.Messages(um::kFocusHandoff)[0].lParam), 1);
    QTest::keyClick(flickerless, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kPageEscape).size(), 1, kPatienceMs);
  }
};

QObject* MakePagesTest() {
  return new PagesTest;
}

}  // namespace qtr90x::testing

#include "pages_test.moc"
