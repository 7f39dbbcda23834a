#include "ui/main/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "camlink/port_mapping.h"
#include "core/engine/private_messages.h"
#include "core/link/debug_line_type.h"
#include "core/link/library_call.h"
#include "resources/bitmap_ids.h"
#include "resources/control_ids.h"
#include "resources/menu_ids.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/common/bitmaps.h"
#include "ui/common/message_box.h"
#include "ui/gamepad/gamepad_control.h"
#include "ui/gamepad/gamepad_dialog.h"
#include "ui/link/message_event.h"
#include "ui/main/direction_button.h"
#include "ui/main/preset_combo.h"
#include "ui/pages/adjust_page.h"
#include "ui/pages/picture_page.h"
#include "ui/pages/system_page.h"
#include "ui/ports/ports_dialog.h"
#include "ui/tools/about_box.h"
#include "ui/tools/debug_window.h"
#include "ui/tools/input_command_window.h"
#include "ui/tools/preset_name_dialog.h"
#if QZ_HAVE_NETCONTROL
#include "ui/network/network_control.h"
#include "ui/network/network_dialog.h"
#else
namespace qtr90x::net {
class NetworkControl {};
}  // namespace qtr90x::net
#endif

namespace qtr90x {

namespace {

QString Text(int stringId) {
  return QString::fromUtf8(LoadString(stringId));
}

// The IR Light combo's items, indices 0 to 6.
const char* const kIrLightItems[] = {"Off",    "30min.", "1hour", "2hours",
                                     "3hours", "4hours", "8hours"};

// The pad's 3 x 3 block: 24 x 24 buttons, 25 pixels apart.
constexpr int kPadButton = 24;
constexpr int kPadPitch = 25;
constexpr int kPadBlock = 74;

// The read sequence of each tab page: Adjust 1, System 2, Picture 3.
int PageReadKind(int tabIndex) {
  return tabIndex >= 0 && tabIndex < 3 ? tabIndex + 1 : 1;
}

}  // namespace

template <typename W>
W* MainDialog::Register(W* widget, int controlId) {
  widget->setObjectName(QString::number(controlId));
  widget->setProperty("controlId", controlId);
  controls_.insert(controlId, widget);
  return widget;
}

MainDialog::MainDialog(QWidget* parent) : QDialog(parent) {
  setWindowIcon(QIcon(QPixmap::fromImage(LoadBitmapImage(bmp::kAppIcon))));
  InstallVersionInfoEntry(this);

  LoadGeneralSettings(&settings_);
  link_.SetDebugLogging(settings_.dispCommandWindow != 0);

  BuildControls();
  BuildMenu();

  // The tool windows exist from the start, hidden. Both are owned by this
  // dialog: a window of its own would be blocked while the dialog runs modally.
  debugWindow_ = new DebugWindow(this);
  debugWindow_->SetHost(this);
  commandWindow_ = new InputCommandWindow(this);
  commandWindow_->SetHost(this);
  debugButton_->setVisible(settings_.dispCommandWindow != 0);
  if (settings_.dispSendCmd == 0) {
    // Only the menu entry goes: Ctrl+S still opens the window.
    toolsMenu_->removeAction(sendCommandAction_);
  }

  link_.SetView(this);
  startupAttempt_ = true;
  ConnectionAttempt(true);
  UpdateMenuChecks();

  BuildPages();
  SelectPage(0);
  // The window starts compact.
  ToggleDetail();

  // Gamepad control, where the application has it: after the controls it
  // follows, with its entry last in Tools.
  gamepad_ = GamepadControl::Create(
      link_, GamepadView{camera_,
                         local_,
                         presets_,
                         go_,
                         qobject_cast<QPushButton*>(controls_.value(ctl::kOnePushAf)),
                         {controls_.value(ctl::kPadUp), controls_.value(ctl::kZoomTele),
                          controls_.value(ctl::kFocusNear)}});
  if (gamepad_ != nullptr) {
    toolsMenu_->addAction(tr("&Gamepad..."), this, [this] { ExecGamepadDialog(this, *gamepad_); })
        ->setObjectName(QStringLiteral("gamepad"));
  }
#if QZ_HAVE_NETCONTROL
  // The network control service on this window's link, off until enabled;
  // its entry after the designed ones and the gamepad's.
  network_ = std::make_unique<net::NetworkControl>(link_, [this](const QString& line) {
    Apply(act::DebugLine{kLineAck, line.toStdString()});
  });
  if (QString error; !network_->Apply(net::NetworkSettings::Load(), &error))
    Apply(act::DebugLine{kLineError, ("Network control: " + error).toStdString()});
  toolsMenu_
      ->addAction(tr("&Network Control..."), this,
                  [this] { net::ExecNetworkDialog(this, *network_); })
      ->setObjectName(QStringLiteral("networkControl"));
#endif

  qApp->installEventFilter(this);
}

MainDialog::~MainDialog() {
  qApp->removeEventFilter(this);
  for (DirectionButton* button : directionButtons_) {
    button->StopIfMoving();
  }
  if (gamepad_ != nullptr) {
    gamepad_->StopMoves();
    gamepad_.reset();
  }
  // The network's moves stop while the line is still there.
  network_.reset();
  if (link_.Connected()) {
    SavePresetNamesIfOwned();
    SaveGeneralSettings(settings_);
  }
  // Answers that arrive while the session closes find the dialog going.
  shuttingDown_ = true;
  link_.Shutdown();
  link_.SetView(nullptr);
  if (link_.Engine().Cursor().Shown()) {
    QApplication::restoreOverrideCursor();
  }
  delete tab_;
  tab_ = nullptr;
  delete debugWindow_;
  delete commandWindow_;
}

// --- set-up --------------------------------------------------------------------------

DirectionButton* MainDialog::MakeDirectionButton(int controlId, const char* caption,
                                                 const std::array<int, 4>& bitmaps) {
  auto* button = new DirectionButton;
  button->SetControl(controlId, QString::fromUtf8(caption));
  button->SetHost(this);
  button->LoadBitmaps(bitmaps[0], bitmaps[1], bitmaps[2], bitmaps[3]);
  button->setAutoDefault(false);
  controls_.insert(controlId, button);
  directionButtons_.append(button);
  return button;
}

void MainDialog::BuildControls() {
  mainControls_ = new QWidget;

  // Pan/Tilt pad.
  auto* panTilt = Register(new QGroupBox(tr("Pan/Tilt")), ctl::kGroupPanTilt);
  struct PadEntry {
    int id;
    const char* caption;
    std::array<int, 4> bitmaps;
  };
  const PadEntry padEntries[9] = {{ctl::kPadUpLeft, "U&&L", bmp::kUpLeft},
                                  {ctl::kPadUp, "U", bmp::kUp},
                                  {ctl::kPadUpRight, "U&&R", bmp::kUpRight},
                                  {ctl::kPadLeft, "L", bmp::kLeft},
                                  {ctl::kPadHome, "H", bmp::kHome},
                                  {ctl::kPadRight, "R", bmp::kRight},
                                  {ctl::kPadDownLeft, "D&&L", bmp::kDownLeft},
                                  {ctl::kPadDown, "D", bmp::kDown},
                                  {ctl::kPadDownRight, "D&&R", bmp::kDownRight}};
  auto* pad = new QWidget;
  pad->setFixedSize(kPadBlock, kPadBlock);
  for (int i = 0; i < 9; ++i) {
    DirectionButton* button =
        MakeDirectionButton(padEntries[i].id, padEntries[i].caption, padEntries[i].bitmaps);
    button->setParent(pad);
    button->setGeometry((i % 3) * kPadPitch, (i / 3) * kPadPitch, kPadButton, kPadButton);
    pad_[static_cast<std::size_t>(i)] = button;
  }
  auto* padLayout = new QVBoxLayout(panTilt);
  padLayout->addWidget(pad, 0, Qt::AlignCenter);
  connect(pad_[4], &QPushButton::clicked, this, [this] {
    SendCommand(MakeCall(LibraryFunction::kQzGotoHomePosition, SelectedCamera()));
  });

  // Zoom.
  auto* zoom = Register(new QGroupBox(tr("Zoom")), ctl::kGroupZoom);
  auto* zoomGrid = new QGridLayout(zoom);
  zoomGrid->addWidget(MakeDirectionButton(ctl::kZoomTele, "Tele", bmp::kTele), 0, 0);
  zoomGrid->addWidget(new QLabel(tr("Tele")), 0, 1);
  zoomGrid->addWidget(MakeDirectionButton(ctl::kZoomWide, "Wide", bmp::kWide), 1, 0);
  zoomGrid->addWidget(new QLabel(tr("Wide")), 1, 1);
  zoomGrid->setRowStretch(2, 1);

  // Focus.
  auto* focus = Register(new QGroupBox(tr("Focus")), ctl::kGroupFocus);
  auto* focusGrid = new QGridLayout(focus);
  focusGrid->addWidget(MakeDirectionButton(ctl::kFocusNear, "Near", bmp::kNear), 0, 0);
  focusGrid->addWidget(Register(new QLabel(tr("Near")), ctl::kFocusNearLabel), 0, 1);
  focusGrid->addWidget(MakeDirectionButton(ctl::kFocusFar, "Far", bmp::kFar), 1, 0);
  focusGrid->addWidget(Register(new QLabel(tr("Far")), ctl::kFocusFarLabel), 1, 1);
  focusAuto_ = Register(new QRadioButton(tr("Auto")), ctl::kFocusAuto);
  focusManual_ = Register(new QRadioButton(tr("Manual")), ctl::kFocusManual);
  auto* onePushAf = Register(new QPushButton(tr("1 Push AF")), ctl::kOnePushAf);
  onePushAf->setAutoDefault(false);
  focusGrid->addWidget(focusAuto_, 0, 2);
  focusGrid->addWidget(focusManual_, 1, 2);
  focusGrid->addWidget(onePushAf, 2, 0, 1, 3);
  focusAuto_->setChecked(true);
  connect(focusAuto_, &QRadioButton::clicked, this, [this] { OnFocusMode(0); });
  connect(focusManual_, &QRadioButton::clicked, this, [this] { OnFocusMode(1); });
  connect(onePushAf, &QPushButton::clicked, this, &MainDialog::OnOnePushAf);

  // Camera and model.
  camera_ = Register(new QComboBox, ctl::kCameraCombo);
  cameraLabel_ = Register(new QLabel(tr("Camera")), ctl::kCameraLabel);
  cameraLabel_->setBuddy(camera_);
  camera_->setAccessibleName(tr("Camera"));
  modelLine_ = Register(new QLabel, ctl::kModelLine);
  connect(camera_, &QComboBox::activated, this, &MainDialog::OnCameraChosen);

  // Presets.
  auto* preset = Register(new QGroupBox(tr("Preset")), ctl::kGroupPreset);
  presets_ = new PresetCombo;
  presets_->SetHost(this);
  controls_.insert(ctl::kPresetCombo, presets_);
  go_ = Register(new QPushButton(tr("Go")), ctl::kPresetGo);
  auto* set = Register(new QPushButton(tr("Set")), ctl::kPresetSet);
  go_->setAutoDefault(false);
  set->setAutoDefault(false);
  go_->setEnabled(false);
  auto* presetGrid = new QGridLayout(preset);
  presetGrid->addWidget(presets_, 0, 0, 1, 2);
  presetGrid->addWidget(go_, 1, 0);
  presetGrid->addWidget(set, 1, 1);
  connect(presets_, &QComboBox::activated, this, [this] { UpdateGoButton(); });
  connect(go_, &QPushButton::clicked, this, [this] {
    if (presets_->currentIndex() >= 0) {
      SendCommand(
          MakeCall(LibraryFunction::kQzGoToPreset, SelectedCamera(), presets_->currentIndex() + 1));
    }
  });
  connect(set, &QPushButton::clicked, this, [this] {
    const int index = presets_->currentIndex();
    if (index >= 0 && index < 9 &&
        SendCommand(MakeCall(LibraryFunction::kQzSetPresetMemory, SelectedCamera(), index + 1))) {
      presetRegistered_[static_cast<std::size_t>(index)] = true;
    }
    UpdateGoButton();
  });

  // Night Mode, IR light, Host/Local.
  nightMode_ = Register(new QCheckBox(tr("Night Mode")), ctl::kNightMode);
  irLight_ = Register(new QComboBox, ctl::kIrLightCombo);
  for (const char* item : kIrLightItems) {
    irLight_->addItem(QString::fromUtf8(item));
  }
  irLight_->setAccessibleName(tr("IR Light"));
  auto* irLabel = Register(new QLabel(tr("IR Light")), ctl::kIrLightLabel);
  irLabel->setBuddy(irLight_);
  irLight_->setEnabled(false);
  irLabel->setEnabled(false);
  connect(nightMode_, &QCheckBox::clicked, this, &MainDialog::OnNightMode);
  connect(irLight_, &QComboBox::activated, this, [this](int index) {
    link_.Run(
        [&](SequenceEngine& engine, EngineActions& out) { engine.OnIrLightChosen(index, out); });
  });

  host_ = Register(new QRadioButton(tr("Host")), ctl::kHost);
  local_ = Register(new QRadioButton(tr("Local")), ctl::kLocal);
  host_->setChecked(true);
  connect(host_, &QRadioButton::clicked, this, [this] { OnCommandMode(false); });
  connect(local_, &QRadioButton::clicked, this, [this] { OnCommandMode(true); });

  // The hidden controls: 1047 sets the focus mode, 1057 ("Remote Ctrl OK",
  // checked in Host mode) the command mode, 1122 groups Night Mode.
  hiddenManual_ = Register(new QCheckBox(tr("Manual"), this), ctl::kHiddenManual);
  hiddenRemoteOk_ = Register(new QCheckBox(tr("Remote Ctrl OK"), this), ctl::kHiddenRemoteOk);
  auto* hiddenNight = Register(new QGroupBox(tr("Night Mode"), this), ctl::kHiddenNightMode);
  hiddenRemoteOk_->setChecked(true);
  for (QWidget* hidden :
       {static_cast<QWidget*>(hiddenManual_), static_cast<QWidget*>(hiddenRemoteOk_),
        static_cast<QWidget*>(hiddenNight)}) {
    hidden->hide();
    hidden->setFocusPolicy(Qt::NoFocus);
  }
  connect(hiddenManual_, &QCheckBox::clicked, this,
          [this](bool checked) { OnFocusMode(checked ? 1 : 0); });
  connect(hiddenRemoteOk_, &QCheckBox::clicked, this,
          [this](bool checked) { OnCommandMode(!checked); });

  // Detail, Debug, Exit.
  auto* detail = Register(new QPushButton(tr("Detail")), ctl::kDetail);
  debugButton_ = Register(new QPushButton(tr("Debug")), ctl::kDebug);
  exit_ = Register(new QPushButton(tr("Exit")), ctl::kExit);
  for (QPushButton* b : {detail, debugButton_, exit_}) {
    b->setAutoDefault(false);
  }
  connect(detail, &QPushButton::clicked, this, &MainDialog::ToggleDetail);
  connect(debugButton_, &QPushButton::clicked, this, &MainDialog::ToggleDebugWindow);
  connect(exit_, &QPushButton::clicked, this, &MainDialog::Exit);

  // Arrangement: the pad, zoom and focus groups side by side, the camera and
  // preset controls on the right, a row of switches and buttons below.
  auto* cameraRow = new QHBoxLayout;
  cameraRow->addWidget(cameraLabel_);
  cameraRow->addWidget(camera_, 1);
  auto* right = new QVBoxLayout;
  right->addLayout(cameraRow);
  right->addWidget(modelLine_);
  right->addWidget(preset);
  right->addStretch(1);

  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(nightMode_);
  modeRow->addSpacing(8);
  modeRow->addWidget(irLabel);
  modeRow->addWidget(irLight_);
  modeRow->addSpacing(16);
  modeRow->addWidget(host_);
  modeRow->addWidget(local_);
  modeRow->addStretch(1);
  modeRow->addWidget(detail);
  modeRow->addWidget(debugButton_);
  modeRow->addWidget(exit_);

  auto* grid = new QGridLayout(mainControls_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(panTilt, 0, 0);
  grid->addWidget(zoom, 0, 1);
  grid->addWidget(focus, 0, 2);
  grid->addLayout(right, 0, 3);
  grid->addLayout(modeRow, 1, 0, 1, 4);
  grid->setColumnStretch(3, 1);

  tab_ = Register(new QTabWidget, ctl::kTab);
  tab_->setAccessibleName(tr("Pages"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(mainControls_);
  layout->addWidget(tab_);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void MainDialog::BuildMenu() {
  auto* bar = new QMenuBar(this);
  QMenu* file = bar->addMenu(tr("&File"));
  connectAction_ = file->addAction(tr("&Connect"), this, [this] { RunCommand(cmd::kConnect); });
  connectAction_->setCheckable(true);
  file->addAction(tr("&Exit"), this, [this] { RunCommand(cmd::kExit); });

  QMenu* port = bar->addMenu(tr("&Port"));
  for (int k = 0; k < 4; ++k) {
    QAction* entry = port->addAction(tr("COM &%1").arg(k + 1), this,
                                     [this, k] { RunCommand(cmd::kPortCom1 + k); });
    entry->setCheckable(true);
    portActions_[static_cast<std::size_t>(k)] = entry;
  }
  // What the current port opens, then the dialog that changes it: in the
  // Port menu, where the port is chosen (Tools keeps its designed entries).
  port->addSeparator();
  portTargetAction_ = port->addAction(QString());
  portTargetAction_->setObjectName(QStringLiteral("portTarget"));
  portTargetAction_->setEnabled(false);
  port->addAction(tr("P&orts..."), this, [this] { RunCommand(cmd::kPorts); });

  // The accelerators are shortcuts of the window, apart from the menu
  // entries, so that Ctrl+S works with its entry removed.
  toolsMenu_ = bar->addMenu(tr("&Tools"));
  toolsMenu_->addAction(tr("&Preset Name...") + '\t' + cmd::kPresetNameShortcut, this,
                        [this] { RunCommand(cmd::kPresetName); });
  sendCommandAction_ =
      toolsMenu_->addAction(tr("&Send Command...") + '\t' + cmd::kSendCommandShortcut, this,
                            [this] { RunCommand(cmd::kSendCommand); });
  auto* presetKey =
      new QShortcut(QKeySequence(QString::fromLatin1(cmd::kPresetNameShortcut)), this);
  connect(presetKey, &QShortcut::activated, this, [this] { RunCommand(cmd::kPresetName); });
  auto* sendKey = new QShortcut(QKeySequence(QString::fromLatin1(cmd::kSendCommandShortcut)), this);
  connect(sendKey, &QShortcut::activated, this, [this] { RunCommand(cmd::kSendCommand); });

  QMenu* help = bar->addMenu(tr("&Help"));
  help->addAction(tr("&About QT-R90x Controler..."), this, [this] { RunCommand(cmd::kAbout); });
  static_cast<QVBoxLayout*>(QDialog::layout())->setMenuBar(bar);
}

void MainDialog::BuildPages() {
  adjust_ = new AdjustPage;
  system_ = new SystemPage;
  picture_ = new PicturePage;
  adjust_->SetHost(this);
  system_->SetHost(this);
  picture_->SetHost(this);
  tab_->addTab(adjust_, Text(str::kTabAdjust));
  tab_->addTab(system_, Text(str::kTabSystem));
  tab_->addTab(picture_, Text(str::kTabPicture));
  connect(tab_, &QTabWidget::currentChanged, this, [this](int index) {
    link_.Run([&](SequenceEngine& engine, EngineActions&) { engine.SetVisiblePage(index); });
    if (Camera().cameraPower && !startupAttempt_) {
      PostMessageTo(this, um::kStartQuery, 0, PageReadKind(index));
    }
    tab_->tabBar()->setFocus(Qt::OtherFocusReason);
  });
}

TabPage* MainDialog::CurrentPage() const {
  return tab_ != nullptr ? dynamic_cast<TabPage*>(tab_->currentWidget()) : nullptr;
}

// --- connection ------------------------------------------------------------------------

void MainDialog::ConnectionAttempt(bool startupAttempt) {
  if (!link_.Open(PortNumber(), startupAttempt) && !startupAttempt) {
    ShowOpenFailure();
  }
  UpdateTitle();
}

void MainDialog::ShowOpenFailure() {
  ShowMessageBox(
      this,
      Text(str::kFailedToOpenCom).replace(QStringLiteral("%d"), QString::number(PortNumber())),
      QMessageBox::Critical, link_.OpenFailureReason());
}

void MainDialog::ShowSettingsDamage() {
  // Each damaged file, and each reason why the settings cannot be saved, is
  // told once, however many dialogs this process makes; a damaged read-only
  // file already says that nothing can be stored.
  static unsigned told = 0;
  static unsigned toldProblems = 0;
  const std::optional<SettingsDamage> damage = SettingsDamageReport();
  const std::optional<SettingsProblem> problem = SettingsProblemReport();
  if (damage && damage->count > told) {
    told = damage->count;
    const QString text =
        damage->copyPath.empty()
            ? Text(str::kSettingsDamagedInPlace)
            : Text(str::kSettingsDamaged)
                  .replace(QStringLiteral("%s"), QString::fromStdString(damage->copyPath));
    ShowMessageBox(this, text, QMessageBox::Warning, QString::fromStdString(damage->message));
    if (damage->copyPath.empty() && problem) {
      toldProblems = problem->count;
    }
  }
  if (problem && problem->count > toldProblems) {
    toldProblems = problem->count;
    ShowMessageBox(this,
                   Text(str::kSettingsNotSaved)
                       .replace(QStringLiteral("%s"), QString::fromStdString(problem->reason)),
                   QMessageBox::Warning);
  }
}

void MainDialog::CloseConnection() {
  // The link stops the held buttons and the gamepad before the line goes.
  link_.Close();
}

void MainDialog::SavePresetNamesIfOwned() {
  // Only names loaded (or set) for this port and camera are written there.
  if (link_.Engine().PresetNamesLoadedFor(PortNumber(), SelectedCamera())) {
    SavePresetNames(PortNumber(), SelectedCamera(), presetNames_);
  }
}

void MainDialog::ChoosePort(int portIndex) {
  if (link_.Connected()) {
    SavePresetNamesIfOwned();
    CloseConnection();
  }
  settings_.portIndex = portIndex;
  ConnectionAttempt(false);
  UpdateMenuChecks();
}

void MainDialog::UpdateMenuChecks() {
  connectAction_->setChecked(link_.Connected());
  for (int k = 0; k < 4; ++k) {
    portActions_[static_cast<std::size_t>(k)]->setChecked(k == settings_.portIndex);
  }
  portTargetAction_->setText(
      Text(str::kPortTarget)
          .replace(QStringLiteral("%d"), QString::number(PortNumber()))
          .replace(QStringLiteral("%s"),
                   QString::fromStdString(qzlink::CurrentPortTarget(PortNumber()).target)));
}

void MainDialog::UpdateTitle() {
  setWindowTitle(Text(str::kAppTitle) +
                 Text(link_.LinkLost() ? str::kTitlePortLost : str::kTitlePort)
                     .replace(QStringLiteral("%d"), QString::number(PortNumber())));
}

// --- operator actions ------------------------------------------------------------------

void MainDialog::RunCommand(int commandId) {
  if (commandId >= cmd::kPortCom1 && commandId <= cmd::kPortCom4) {
    ChoosePort(commandId - cmd::kPortCom1);
    return;
  }
  switch (commandId) {
    case cmd::kConnect:
      if (link_.Connected()) {
        CloseConnection();
      } else {
        ConnectionAttempt(false);
      }
      UpdateMenuChecks();
      break;
    case cmd::kExit:
      Exit();
      break;
    case cmd::kPresetName:
      ShowPresetNameDialog();
      break;
    case cmd::kSendCommand:
      ShowCommandWindow();
      break;
    case cmd::kAbout:
      AboutBox(this).exec();
      break;
    case cmd::kPorts:
      ShowPortsDialog();
      break;
    default:
      break;
  }
}

void MainDialog::Exit() {
  // A move stops while the camera still takes commands from here: in Local
  // mode it would refuse the stop. A held button, as a stick's move.
  StopMoves();
  // The camera is handed back to its local controls before the application goes.
  SendCommand(MakeCall(LibraryFunction::kQzSetCmdMode, 0, 1));
  QThread::msleep(300);
  hide();
  done(QDialog::Rejected);
}

void MainDialog::reject() {
  QDialog::done(QDialog::Rejected);
}

void MainDialog::SelectPage(int index) {
  if (tab_->currentIndex() != index) {
    tab_->setCurrentIndex(index);  // the handling runs in currentChanged
  } else {
    tab_->tabBar()->setFocus(Qt::OtherFocusReason);
  }
}

void MainDialog::ToggleDetail() {
  fullSize_ = !fullSize_;
  tab_->setVisible(fullSize_);
  if (fullSize_ && Camera().cameraPower) {
    PostMessageTo(this, um::kStartQuery, 0, PageReadKind(tab_->currentIndex()));
  }
}

void MainDialog::ToggleDebugWindow() {
  debugWindowShown_ = !debugWindowShown_;
  if (debugWindowShown_) {
    PlaceBeside(debugWindow_);
  }
  debugWindow_->setVisible(debugWindowShown_);
  if (debugWindowShown_) {
    debugWindow_->raise();
  }
}

void MainDialog::PlaceBeside(QWidget* window) const {
  // Right of this dialog where the screen has room, else left of it, else
  // below it; never over the pad unless the screen is too small for that.
  const QRect frame = frameGeometry();
  const QSize size = window->frameGeometry().size();
  const QScreen* screen = this->screen();
  const QRect room = screen != nullptr ? screen->availableGeometry() : QRect();
  const QPoint candidates[] = {{frame.right() + 1, frame.top()},
                               {frame.left() - size.width(), frame.top()},
                               {frame.left(), frame.bottom() + 1}};
  QPoint at = candidates[0];
  if (room.isValid()) {
    const auto fits = [&](QPoint p) { return room.contains(QRect(p, size)); };
    const auto found = std::find_if(std::begin(candidates), std::end(candidates), fits);
    at = found != std::end(candidates) ? *found : candidates[0];
    // Nowhere free: at least the whole window on the screen.
    at.setX(
        std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
    at.setY(
        std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
  }
  window->move(at);
}

void MainDialog::ShowCommandWindow() {
  if (!commandWindowShownOnce_) {
    commandWindowShownOnce_ = true;
    commandWindow_->move(frameGeometry().topLeft());
    commandWindow_->show();
  }
  commandWindow_->raise();
  commandWindow_->activateWindow();
}

void MainDialog::ShowPortsDialog() {
  const std::string before = qzlink::CurrentPortTarget(PortNumber()).target;
  PortsDialog dialog(this);
  dialog.SetActiveSession({PortNumber(), link_.Connected(), camera_->count(), SelectedCamera(),
                           QString::fromStdString(Camera().unitName)});
  dialog.SelectPort(PortNumber());
  if (dialog.exec() == QDialog::Accepted &&
      qzlink::CurrentPortTarget(PortNumber()).target != before) {
    ChoosePort(settings_.portIndex);  // a new target for this port: reconnect, as a port change
  }
  UpdateMenuChecks();
}

void MainDialog::ShowPresetNameDialog() {
  const int selected = presets_->currentIndex();
  PresetNameDialog dialog(this);
  dialog.SetNames(presetNames_, selected);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  presetNames_ = dialog.Names();
  FillPresetCombo(selected);
  if (SelectedCamera() >= 1) {
    SavePresetNames(PortNumber(), SelectedCamera(), presetNames_);
    link_.Run([](SequenceEngine& engine, EngineActions&) { engine.NotePresetNamesSet(); });
    ShowSettingsDamage();  // names that could not be stored are told once
  }
}

void MainDialog::OnCameraChosen(int index) {
  if (link_.Connected()) {
    SavePresetNamesIfOwned();
  }
  link_.SelectCamera(index + 1);
}

void MainDialog::OnFocusMode(int mode) {
  SendCommand(MakeCall(LibraryFunction::kQzSetFocusMode, SelectedCamera(), mode));
  focusManual_->setChecked(mode == 1);
  focusAuto_->setChecked(mode != 1);
  hiddenManual_->setChecked(mode == 1);
  SetNearFarEnabled(mode == 1);
}

void MainDialog::OnOnePushAf() {
  // Only a command that went out gets the notification that ends the wait.
  if (SendCommand(MakeCall(LibraryFunction::kQzSetOnePushAF, SelectedCamera()),
                  AnswerFollowUp::kAwaitOnePushAf)) {
    SetNearFarEnabled(false);
    SetWaitCursorState(WaitCursorRequest::kBegin);
  }
}

void MainDialog::OnNightMode(bool checked) {
  link_.Run(
      [&](SequenceEngine& engine, EngineActions& out) { engine.OnNightModeClicked(checked, out); });
}

void MainDialog::OnCommandMode(bool local) {
  link_.Run(
      [&](SequenceEngine& engine, EngineActions& out) { engine.OnCommandModeClicked(local, out); });
}

void MainDialog::SetNearFarEnabled(bool enabled) {
  for (int id : {ctl::kFocusNear, ctl::kFocusFar, ctl::kFocusNearLabel, ctl::kFocusFarLabel}) {
    controls_.value(id)->setEnabled(enabled);
  }
}

// --- keyboard --------------------------------------------------------------------------

bool MainDialog::eventFilter(QObject* watched, QEvent* e) {
  // Keys for this window are looked at before the focused control sees them.
  if (e->type() != QEvent::KeyPress || !watched->isWidgetType() ||
      static_cast<QWidget*>(watched)->window() != this) {
    return QDialog::eventFilter(watched, e);
  }
  const auto* key = static_cast<QKeyEvent*>(e);
  if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
    Exit();
    return true;
  }
  const bool tabKey = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
  if (tabKey && (key->modifiers() & Qt::ControlModifier)) {
    const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
    const int count = tab_->count();
    SelectPage((tab_->currentIndex() + (back ? count - 1 : 1)) % count);
    return true;
  }
  return QDialog::eventFilter(watched, e);
}

namespace {

// One stop per radio pair: the checked radio, or the first when neither is.
bool IsTabStop(const QWidget* w, const QWidget* root) {
  if (!w->isEnabled() || !w->isVisibleTo(root) || !(w->focusPolicy() & Qt::TabFocus)) {
    return false;
  }
  if (const auto* radio = qobject_cast<const QRadioButton*>(w); radio && !radio->isChecked()) {
    for (const QObject* sibling : radio->parent()->children()) {
      const auto* other = qobject_cast<const QRadioButton*>(sibling);
      if (other != nullptr && other != radio && other->isChecked() && other->isEnabled() &&
          other->group() == nullptr) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

std::vector<QWidget*> MainDialog::TabOrder() const {
  std::vector<QWidget*> order(pad_.begin(), pad_.end());
  for (int id : {ctl::kZoomTele, ctl::kZoomWide, ctl::kFocusNear, ctl::kFocusFar, ctl::kFocusAuto,
                 ctl::kFocusManual, ctl::kOnePushAf, ctl::kCameraCombo, ctl::kPresetCombo,
                 ctl::kPresetGo, ctl::kPresetSet, ctl::kNightMode, ctl::kIrLightCombo, ctl::kHost,
                 ctl::kLocal, ctl::kDetail, ctl::kDebug, ctl::kExit}) {
    order.push_back(controls_.value(id));
  }
  order.push_back(tab_->tabBar());
  return order;
}

bool MainDialog::focusNextPrevChild(bool next) {
  const std::vector<QWidget*> order = TabOrder();
  const QWidget* current = focusWidget();
  const int n = static_cast<int>(order.size());
  int at = -1;
  for (int i = 0; i < n && current != nullptr; ++i) {
    if (order[static_cast<std::size_t>(i)] == current) {
      at = i;
      break;
    }
  }
  if (at < 0) {
    return QDialog::focusNextPrevChild(next);
  }
  for (int i = at + (next ? 1 : -1); i >= 0 && i < n; i += next ? 1 : -1) {
    QWidget* w = order[static_cast<std::size_t>(i)];
    if (IsTabStop(w, this)) {
      w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  // Past either end the focus goes to the visible page (full size) or comes
  // round to the other end of the dialog (compact).
  QObject* receiver = fullSize_ ? static_cast<QObject*>(CurrentPage()) : this;
  PostMessageTo(receiver, um::kFocusHandoff, 0, next ? 0 : 1);
  return true;
}

void MainDialog::FocusHandoff(std::intptr_t lParam) {
  const std::vector<QWidget*> order = TabOrder();
  if (lParam == 0) {
    for (QWidget* w : order) {
      if (IsTabStop(w, this)) {
        w->setFocus(Qt::TabFocusReason);
        return;
      }
    }
    return;
  }
  QWidget* target = fullSize_ ? static_cast<QWidget*>(tab_->tabBar()) : exit_;
  target->setFocus(Qt::BacktabFocusReason);
}

}  // namespace qtr90x
