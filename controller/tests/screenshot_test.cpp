// Pictures of every page, sub-panel and tool window for the documentation,
// with the values read from the simulated camera. Runs only when
// QZ_SCREENSHOT_DIR names the folder to write to.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>

#include "camlink/qzlink.h"
#include "core/engine/private_messages.h"
#include "core/link/answer_decoders.h"
#include "resources/bitmap_ids.h"
#include "resources/control_ids.h"
#include "tests/gui_test_support.h"
#include "ui/main/direction_button.h"
#include "ui/pages/adjust_page.h"
#include "ui/pages/auto_exposure_panel.h"
#include "ui/pages/manual_exposure_panel.h"
#include "ui/pages/picture_page.h"
#include "ui/pages/system_page.h"
#include "ui/tools/about_box.h"
#include "ui/tools/debug_window.h"
#include "ui/tools/input_command_window.h"
#include "ui/tools/preset_name_dialog.h"

namespace qtr90x::testing {

class ScreenshotTest : public QObject {
  Q_OBJECT

 private:
  QString dir_;
  std::unique_ptr<SimulatedCamera> camera_;
  std::unique_ptr<LibrarySession> session_;
  FakeHost host_;

  // Reads the camera as the main dialog's sequences do: each query's answer
  // decoded by its own row of the call list.
  void ReadCamera() {
    using F = LibraryFunction;
    std::vector<LibraryCall> queries = {MakeCall(F::kQzGetMotorSpeed, 1, 0),
                                        MakeCall(F::kQzGetMotorSpeed, 1, 1)};
    for (F function :
         {F::kQzGetExtendedOperateStatus, F::kQzGetUnitName, F::kQzGetZoomSpeed,
          F::kQzGetExternalLight, F::kQzGetAlarmOutput, F::kQzGetElectronicZoom,
          F::kQzGetSensorInputTerminalStat, F::kQzGetNoiseReduction, F::kQzGet4ByteStatus,
          F::kQzGet2ByteStatus, F::kQzGetAEVal, F::kQzGetBacklight, F::kQzGetIris, F::kQzGetAGCGain,
          F::kQzGetShutterSpeed}) {
      queries.push_back(MakeCall(function, 1));
    }
    for (const LibraryCall& query : queries) {
      SentFrame sent;
      QVERIFY(host_.port.Send(query, sent));
      QVERIFY(session_->WaitForAnswers(1));
      const QByteArray& bytes = session_->Frames().last().bytes;
      DecodeAnswer(query,
                   AnswerFrame({reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<std::size_t>(bytes.size())}),
                   host_.camera);
    }
  }

  // Makes settings through the library, each answered before the next.
  void Set(std::initializer_list<std::function<void()>> settings) {
    for (const auto& set : settings) {
      set();
      QVERIFY(session_->WaitForAnswers(1));
    }
  }

  void Save(QWidget* w, const QString& name) {
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    DeliverPosted();  // the refresh posted to a page
    QVERIFY(w->grab().save(dir_ + '/' + name));
  }

  // A page as the tab control shows it.
  void SavePage(TabPage* page, const QString& caption, const QString& name) {
    QTabWidget tabs;
    page->SetHost(&host_);
    tabs.addTab(page, caption);
    tabs.show();
    PostMessageTo(page, um::kRefreshPage, 1);
    Save(&tabs, name);
  }

 private slots:
  void initTestCase() {
    dir_ = qEnvironmentVariable("QZ_SCREENSHOT_DIR");
    if (dir_.isEmpty()) {
      QSKIP("QZ_SCREENSHOT_DIR not set");
    }
    QDir().mkpath(dir_);
    camera_ = std::make_unique<SimulatedCamera>();
    QVERIFY(camera_->Ready());
    session_ = std::make_unique<LibrarySession>();
    QVERIFY(session_->Open());
    // Some settings an operator might have made.
    Set({[] { QzSetMotorSpeed(1, 0, 420); }, [] { QzSetMotorSpeed(1, 1, 180); },
         [] { QzSetZoomSpeed(1, 5); }, [] { QzSetExternalLight(1, 1); },
         [] { QzSetElectronicZoom(1, 4); }, [] { QzSetSensorInputDetectProp(1, 17); },
         [] { QzSetOnScreen(1, 1); }, [] { QzSetOnScreen(1, 8); }, [] { QzSetOnScreen(1, 5); },
         [] { QzSetNoiseReduction(1, 1); }, [] { QzSetLed(1, 1); }, [] { QzSetAEVal(1, 128); },
         [] { QzSetBackLight(1, 1); }});
    const auto notifications = [&] {
      return std::count_if(session_->Frames().begin(), session_->Frames().end(),
                           [](const Frame& f) { return f.message == NotifyRxMessage; });
    };
    const auto before = notifications();
    camera_->Control(QStringLiteral("sensor 1 1"));
    QVERIFY(WaitUntil([&] { return notifications() > before; }));  // its detection told
  }
  void cleanupTestCase() {
    session_.reset();
    camera_.reset();
  }

  void Pages() {
    ReadCamera();
    auto* adjust = new AdjustPage;
    FindControl<QCheckBox>(adjust, ctl::adjust::kNotifyDetection)->setChecked(true);
    SavePage(adjust, QStringLiteral("Adjust"), QStringLiteral("page-adjust.png"));
    SavePage(new SystemPage, QStringLiteral("System"), QStringLiteral("page-system.png"));
    auto* picture = new PicturePage;
    picture->SetHost(&host_);
    PostMessageTo(picture->AutoPanel(), um::kRefreshPage);
    SavePage(picture, QStringLiteral("Picture"), QStringLiteral("page-picture-auto.png"));
    Set({[] { QzSetExposed(1, 1); }, [] { QzSetIris(1, 9); }, [] { QzSetShutterSpeedx(1, 12); }});
    ReadCamera();
    auto* manual = new PicturePage;
    manual->SetHost(&host_);
    PostMessageTo(manual->ManualPanel(), um::kRefreshPage);
    SavePage(manual, QStringLiteral("Picture"), QStringLiteral("page-picture-manual.png"));
  }

  void DirectionButtons() {
    QWidget pad;
    auto* grid = new QGridLayout(&pad);
    struct Button {
      int id;
      const char* caption;
      bmp::ButtonBitmaps images;
      int row;
      int column;
    };
    const Button buttons[] = {
        {ctl::kPadUpLeft, "U&&L", bmp::kUpLeft, 0, 0},
        {ctl::kPadUp, "U", bmp::kUp, 0, 1},
        {ctl::kPadUpRight, "U&&R", bmp::kUpRight, 0, 2},
        {ctl::kPadLeft, "L", bmp::kLeft, 1, 0},
        {ctl::kPadHome, "H", bmp::kHome, 1, 1},
        {ctl::kPadRight, "R", bmp::kRight, 1, 2},
        {ctl::kPadDownLeft, "D&&L", bmp::kDownLeft, 2, 0},
        {ctl::kPadDown, "D", bmp::kDown, 2, 1},
        {ctl::kPadDownRight, "D&&R", bmp::kDownRight, 2, 2},
        {ctl::kZoomTele, "Tele", bmp::kTele, 0, 4},
        {ctl::kZoomWide, "Wide", bmp::kWide, 1, 4},
        {ctl::kFocusNear, "Near", bmp::kNear, 0, 5},
        {ctl::kFocusFar, "Far", bmp::kFar, 1, 5},
    };
    for (const Button& b : buttons) {
      auto* button = new DirectionButton;
      button->SetControl(b.id, QString::fromLatin1(b.caption));
      button->SetKeyColour(qRgb(255, 0, 255));
      QVERIFY(button->LoadBitmaps(b.images[0], b.images[1], b.images[2], b.images[3]));
      button->setFixedSize(24, 24);
      grid->addWidget(button, b.row, b.column);
      if (b.id == ctl::kFocusFar) {
        button->setEnabled(false);
      }
      if (b.id == ctl::kPadRight) {
        button->setDown(true);
      }
    }
    grid->setColumnMinimumWidth(3, 16);
    Save(&pad, QStringLiteral("direction-buttons.png"));
  }

  void ToolWindows() {
    PresetNameDialog presets;
    PresetNames names{};
    const char* texts[] = {"Entrance", "Lobby", "Parking north", "4", "Loading dock",
                           "6",        "7",     "Roof",          "9"};
    for (int i = 0; i < 9; ++i) {
      std::snprintf(names[i].data(), 16, "%s", texts[i]);
    }
    presets.SetNames(names, 2);
    Save(&presets, QStringLiteral("preset-names.png"));

    InputCommandWindow command;
    command.SetHost(&host_);
    for (const char* text : {"FF 30 31 00 8E 31 EF", "ff 30 31 00 86 30 ef"}) {
      command.CommandText()->setEditText(QString::fromLatin1(text));
      QVERIFY(command.Send());
      QVERIFY(session_->WaitForAnswers(1));
    }
    command.CommandText()->setEditText(QStringLiteral("FF 30 31 00 87 EF"));
    Save(&command, QStringLiteral("input-command.png"));

    DebugWindow debug;
    const std::pair<const char*, int> lines[] = {
        {"FF 30 31 00 52 30 EF", 0},
        {"FE 30 31 30 30 31 41 34 EF", 1},
        {"FF 30 31 00 A5 3A 30 39 EF", 0},
        {"FE 30 31 39 30 EF", 4},
        {"the specified mode is wrong(code:90)", 4},
        {"FA 30 31 00 A0 31 EF", 6},
        {"FD 30 31 EF", 7},
        {"FC 30 31 EF", 8},
        {"F8 30 31 EF", 9},
        {"FB 30 31 30 31 EF", 11},
        {"FE 30 31 30 31 EF", 5},
        {"the fatal error of a system occurred(code:1)", 5},
    };
    for (const auto& [text, type] : lines) {
      debug.AddLine(QString::fromLatin1(text), type);
    }
    debug.show();
    debug.List()->setCurrentItem(debug.List()->topLevelItem(1));
    Save(&debug, QStringLiteral("debug-window.png"));

    AboutBox about;
    Save(&about, QStringLiteral("about-box.png"));
  }
};

QObject* MakeScreenshotTest() {
  return new ScreenshotTest;
}

}  // namespace qtr90x::testing

#include "screenshot_test.moc"
