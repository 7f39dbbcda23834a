// Preset names, the Input Command window, the debug window, the About box,
// and the accessible names of every button.
#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include "camlink/qzlink.h"
#include "core/engine/private_messages.h"
#include "core/tools/debug_log.h"
#include "tests/gui_test_support.h"
#include "ui/common/message_box.h"
#include "ui/main/preset_combo.h"
#include "ui/pages/adjust_page.h"
#include "ui/pages/picture_page.h"
#include "ui/pages/system_page.h"
#include "ui/tools/about_box.h"
#include "ui/tools/debug_window.h"
#include "ui/tools/input_command_window.h"
#include "ui/tools/preset_name_dialog.h"

namespace qtr90x::testing {

class ToolWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SimulatedCamera> camera_;
  std::unique_ptr<LibrarySession> session_;
  FakeHost host_;
  QStringList boxes_;

  static PresetNames Names(std::initializer_list<const char*> texts) {
    PresetNames names{};
    int i = 0;
    for (const char* text : texts) {
      std::snprintf(names[i++].data(), 16, "%s", text);
    }
    return names;
  }

 private slots:
  void initTestCase() {
    SetMessageBoxHook([this](QWidget*, const QString& text, QMessageBox::Icon, const QString&) {
      boxes_ << text;
    });
    camera_ = std::make_unique<SimulatedCamera>();
    QVERIFY(camera_->Ready());
    session_ = std::make_unique<LibrarySession>();
    QVERIFY(session_->Open());
  }
  void cleanupTestCase() {
    SetMessageBoxHook(nullptr);
    session_.reset();
    camera_.reset();
  }
  void init() {
    boxes_.clear();
    host_.posted.clear();
  }

  void PresetNameChecks_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored");
    QTest::newRow("15 printable characters") << "Gate 1 (north)~" << true << "Gate 1 (north)~";
    QTest::newRow("empty becomes the number") << "" << true << "5";
    QTest::newRow("double-byte") << QString::fromUtf8("北門") << false << "Door";
    QTest::newRow("accented") << QString::fromUtf8("Café") << false << "Door";
  }
  void PresetNameChecks() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);
    PresetNameDialog dialog;
    dialog.SetNames(Names({"1", "2", "3", "4", "Door", "6", "7", "8", "9"}), 4);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QLineEdit* edit = dialog.Edit(4);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->selectedText(), QStringLiteral("Door"));
    edit->clear();
    edit->insert(typed);
    dialog.accept();
    QCOMPARE(dialog.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(dialog.isVisible(), !accepted);
    if (!accepted) {
      QCOMPARE(boxes_, QStringList{QString::fromUtf8("入力しなおし")});
      QVERIFY(edit->hasFocus());
      QCOMPARE(edit->selectedText(), typed);
    }
    QCOMPARE(QString::fromLatin1(dialog.Names()[4].data()), stored);
    QCOMPARE(QString::fromLatin1(dialog.Names()[0].data()), QStringLiteral("1"));
  }

  void ASixteenthCharacterCannotBeTyped() {
    PresetNameDialog dialog;
    dialog.show();
    QTest::keyClicks(dialog.Edit(0), QStringLiteral("ABCDEFGHIJKLMNOP"));
    QCOMPARE(dialog.Edit(0)->text(), QStringLiteral("ABCDEFGHIJKLMNO"));
  }

  void PresetComboRightPressAndTooltip() {
    PresetCombo combo;
    combo.SetHost(&host_);
    combo.addItem(QStringLiteral("A very long preset name"));
    combo.resize(40, 24);
    combo.show();
    QTest::mouseMove(&combo, QPoint(10, 10));
    QCOMPARE(combo.toolTip(), QStringLiteral("A very long preset name"));
    combo.resize(400, 24);
    QTest::mouseMove(&combo, QPoint(12, 10));
    QVERIFY(combo.toolTip().isEmpty());
    QTest::mousePress(&combo, Qt::RightButton, {}, QPoint(10, 10));
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kPresetNames).size(), 1, kPatienceMs);
  }

  // Sent frames are checked in the simulator: an LED command typed by hand.
  void CommandWindowSendsTypedHex() {
    InputCommandWindow window;
    window.SetHost(&host_);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QLineEdit* edit = window.CommandText()->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("ff 30 31 00 8e 33 ef"));
    QCOMPARE(edit->text(), QStringLiteral("FF 30 31 00 8E 33 EF"));
    QTest::keyClick(edit, Qt::Key_Return);  // Enter sends
    QVERIFY(session_->WaitForAnswers(1));
    QCOMPARE(camera_->Camera().value("led"), QStringLiteral("3"));
    QCOMPARE(window.CommandText()->count(), 1);
    QCOMPARE(window.CommandText()->itemText(0), QStringLiteral("FF3031008E33EF"));
    QVERIFY(boxes_.isEmpty());
  }

  void CommandWindowTexts_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("frame");  // empty: refused
    QTest::newRow("odd length") << "ABC"
                                << "AB C0";
    QTest::newRow("blanks only") << "   "
                                 << "";
    QTest::newRow("not hex") << "FF 3G"
                             << "";
  }
  void CommandWindowTexts() {
    QFETCH(QString, typed);
    QFETCH(QString, frame);
    InputCommandWindow window;
    window.SetHost(&host_);
    window.CommandText()->setEditText(typed);
    const bool sent = window.Send();
    QCOMPARE(sent, !frame.isEmpty());
    if (sent) {
      QCOMPARE(LibrarySession::LastCommand(), frame);
    } else {
      QCOMPARE(boxes_, QStringList{QStringLiteral("fail to send command")});
      QCOMPARE(window.CommandText()->count(), 0);
    }
  }

  void CommandHistoryKeeps50() {
    InputCommandWindow window;
    window.SetHost(&host_);
    for (int i = 1; i <= 51; ++i) {
      window.CommandText()->setEditText(QStringLiteral("00 %1").arg(i, 2, 16, QLatin1Char('0')));
      QVERIFY(window.Send());
    }
    QCOMPARE(window.CommandText()->count(), 50);
    QCOMPARE(window.CommandText()->itemText(0), QStringLiteral("0033"));
    QCOMPARE(window.CommandText()->itemText(49), QStringLiteral("0002"));  // "0001" pushed out
  }

  void CommandWindowEscapeHidesAndTellsTheOwner() {
    InputCommandWindow window;
    window.SetHost(&host_);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.CommandText()->setEditText(QStringLiteral("FF"));
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kCmdWndClose).size(), 1, kPatienceMs);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.CommandText()->currentText(), QStringLiteral("FF"));  // kept
  }

  void DebugWindowKeepsTheNewest1024Rows() {
    DebugWindow window;
    window.SetHost(&host_);
    window.show();
    for (int i = 0; i < 1025; ++i) {
      window.AddLine(QStringLiteral("line %1").arg(i), i % 12);
    }
    QTreeWidget* list = window.List();
    QCOMPARE(list->topLevelItemCount(), 1024);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("line 1"));
    for (int row : {0, 4, 10, 1023}) {
      const int type = (row + 1) % 12;
      const Rgb rgb = DebugTextColour(type);
      QCOMPARE(window.RowType(row), type);
      QCOMPARE(list->topLevelItem(row)->foreground(1).color(),
               QColor(rgb.red, rgb.green, rgb.blue));
    }
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("ack"));
    QCOMPARE(list->topLevelItem(10)->text(0), QStringLiteral("detect"));
    QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(list->palette().color(QPalette::Highlight), QColor(0, 0, 100));
    QCOMPARE(list->palette().color(QPalette::HighlightedText), QColor(255, 255, 255));
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kDebugClose).size(), 1, kPatienceMs);
    QVERIFY(!window.isVisible());
    QCOMPARE(list->topLevelItemCount(), 1024);  // hidden, not emptied
    window.Clear();
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(window.RowCount(), 0);
    window.AddLine(QStringLiteral("FA 30 31 00 A0 31 EF"), 6);  // logged while hidden
    QCOMPARE(list->topLevelItemCount(), 1);
    window.show();
    QTest::keyClick(list, Qt::Key_Return);  // Enter closes too
    QTRY_COMPARE_WITH_TIMEOUT(host_.Messages(um::kDebugClose).size(), 2, kPatienceMs);
    QVERIFY(!window.isVisible());
  }

  // A frame of 40 bytes, the longest the library hands out, arrives whole.
  void DebugWindowFetchesTheLongestFrame() {
    QByteArray frame = "\xFE\x30\x31\x30\x30";
    while (frame.size() < 44) {
      frame += 'A';
    }
    frame += '\xEF';
    QStringList first;
    QStringList second;
    for (int i = 0; i < frame.size(); ++i) {
      (i < 30 ? first : second) << QStringLiteral("%1").arg(quint8(frame[i]), 2, 16,
                                                            QLatin1Char('0'));
    }
    camera_->Control("stray " + first.join(' '));
    camera_->Control("stray " + second.join(' '));
    QVERIFY(session_->WaitForAnswers(1));
    const int sequence = session_->Frames().last().sequence;
    DebugWindow window;
    window.SetHost(&host_);
    int handed = 0;
    QByteArray bytes;
    window.AddMessage(sequence, 1, [&](int, const std::uint8_t* data, int length) {
      handed = length;
      bytes = QByteArray(reinterpret_cast<const char*>(data), length);
      return QStringLiteral("FE ...");
    });
    QCOMPARE(handed, kMaxMessageBytes);
    QCOMPARE(bytes, frame.left(kMaxMessageBytes));
    QCOMPARE(window.Rows(), QStringList{QStringLiteral("ack\tFE ...")});
  }

  // The version entry sits in the window's own context menu; a right press
  // on a direction button or the preset list pops up no menu there.
  void VersionInfoEntryAndRightButtons() {
    QWidget window;
    QAction* entry = InstallVersionInfoEntry(&window);
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->text(), QStringLiteral("The Version Info of QTR90xControler..."));
    QCOMPARE(entry->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
    QCOMPARE(window.contextMenuPolicy(), Qt::ActionsContextMenu);
    auto* combo = new PresetCombo(&window);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(combo, &menu);
    QVERIFY(menu.isAccepted());
  }

  // Every button of every page, sub-panel and tool window has a name that
  // assistive technology reads.
  void EveryButtonHasAnAccessibleName() {
    AdjustPage adjust;
    SystemPage system;
    PicturePage picture;
    PresetNameDialog presets;
    InputCommandWindow command;
    DebugWindow debug;
    AboutBox about;
    int checked = 0;
    for (QWidget* top : std::initializer_list<QWidget*>{&adjust, &system, &picture, &presets,
                                                        &command, &debug, &about}) {
      top->show();
      const AccessibleNames names = CheckAccessibleNames(top, false);
      QVERIFY2(names.unnamed.isEmpty(), qPrintable(names.unnamed.join(", ")));
      checked += names.controls;
    }
    QVERIFY(checked > 30);
  }
};

QObject* MakeToolWindowsTest() {
  return new ToolWindowsTest;
}

}  // namespace qtr90x::testing

#include "tool_windows_test.moc"
