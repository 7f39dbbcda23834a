// The application's main dialog: connection and port menu, camera selection,
// the pan/tilt pad, zoom, focus and presets, night mode and IR light,
// Host/Local, the three tab pages and the tool windows. It is the view of a
// CameraLink, which owns the session, the engine and the timers: it turns
// widget events into the link's commands and engine events and shows what
// the engine returns; the pages reach the link through it.
#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/engine/sequence_engine.h"
#include "core/settings/settings.h"
#include "ui/common/page_host.h"
#include "ui/link/camera_link.h"
#include "ui/link/engine_view.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace qtr90x {

class AdjustPage;
class AutoExposurePanel;
class DebugWindow;
class DirectionButton;
class GamepadControl;
namespace net {
class NetworkControl;
}
class InputCommandWindow;
class ManualExposurePanel;
class MessageEvent;
class PicturePage;
class PresetCombo;
class SystemPage;
class TabPage;

class MainDialog : public QDialog, public PageHost, private EngineView {
 public:
  explicit MainDialog(QWidget* parent = nullptr);
  ~MainDialog() override;

  // --- PageHost ---------------------------------------------------------------
  int SelectedCamera() const override { return link_.SelectedCamera(); }
  const CameraState& Camera() const override { return link_.Camera(); }
  QObject* MainWindow() override { return this; }
  void SetRefreshIdle() override { link_.SetRefreshIdle(); }
  void SetWaitCursorState(WaitCursorRequest state) override { link_.SetWaitCursorState(state); }
  using PageHost::SendCommand;
  bool SendCommand(const LibraryCall& call, AnswerFollowUp followUp) override {
    return link_.SendCommand(call, followUp);
  }
  bool SendRawCommand(std::span<const std::uint8_t> bytes) override {
    return link_.SendRawCommand(bytes);
  }
  std::size_t FetchFrame(int sequence,
                         std::span<std::uint8_t, QzlinkPort::kFrameCapacity> frame) override {
    return link_.FetchFrame(sequence, frame);
  }

  // --- what the application, the tests and the tool windows read ---------------
  int PortNumber() const { return settings_.portIndex + 1; }  // 1..4
  bool Connected() const { return link_.Connected(); }
  const GeneralSettings& Settings() const { return settings_; }
  const PresetNames& PresetNameSlots() const { return presetNames_; }
  bool DetailMode() const { return fullSize_; }
  const SequenceEngine& Engine() const { return link_.Engine(); }
  CameraLink& Link() { return link_; }
  TabPage* CurrentPage() const;
  AdjustPage* Adjust() const { return adjust_; }
  SystemPage* System() const { return system_; }
  PicturePage* Picture() const { return picture_; }
  DebugWindow* Debug() const { return debugWindow_; }
  InputCommandWindow* CommandWindow() const { return commandWindow_; }
  // A control of this dialog by id (the pages' controls are not included).
  QWidget* Control(int controlId) const { return controls_.value(controlId); }
  QMenu* ToolsMenu() const { return toolsMenu_; }
  // Null when the application has no gamepad control (built without SDL2).
  GamepadControl* Gamepad() const { return gamepad_.get(); }

  // The operator's menu commands and buttons, by command id (tests and the
  // accelerators use them too).
  void RunCommand(int commandId);

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  bool focusNextPrevChild(bool next) override;
  // The caption's close box ends the dialog without the Exit command.
  void reject() override;

 private:
  // Set-up.
  void BuildControls();
  void BuildMenu();
  void BuildPages();
  DirectionButton* MakeDirectionButton(int controlId, const char* caption,
                                       const std::array<int, 4>& bitmaps);
  template <typename W>
  W* Register(W* widget, int controlId);

  // Connection.
  void ConnectionAttempt(bool startupAttempt);
  void CloseConnection();
  void ShowOpenFailure();
  // Tells the operator, once each, that the settings file was damaged and
  // where the damaged copy was kept, and why the settings cannot be saved.
  void ShowSettingsDamage();
  void ChoosePort(int portIndex);
  void UpdateMenuChecks();
  void UpdateTitle();
  void ShowPortsDialog();
  void SavePresetNamesIfOwned();

  // Operator actions.
  void Exit();
  void SelectPage(int index);
  void ToggleDetail();
  void ToggleDebugWindow();
  // Moves a tool window beside this dialog, not over it.
  void PlaceBeside(QWidget* window) const;
  void ShowCommandWindow();
  void ShowPresetNameDialog();
  void OnCameraChosen(int index);
  void OnFocusMode(int mode);
  void OnOnePushAf();
  void OnNightMode(bool checked);
  void OnCommandMode(bool local);
  void FocusHandoff(std::intptr_t lParam);
  // The dialog's own controls in tab order, the tab control last.
  std::vector<QWidget*> TabOrder() const;

  // --- EngineView: what the link shows through this dialog ---------------------
  QObject* PostTarget(const act::Post& post) override;
  void Show(const EngineAction& action) override;
  void ShowWaitCursor(WaitCursorStep step) override;
  void StopMoves() override;
  void LinkChanged() override;

  // The private messages posted to this dialog.
  void OnPrivateMessage(const MessageEvent& message);
  // The actions the link passes on (posts and timers are the link's own).
  void Apply(const act::Post&) {}
  void Apply(const act::StartPowerOnTimer&) {}
  void Apply(const act::StopPowerOnTimer&) {}
  void Apply(const act::DebugLine& line);
  void Apply(const act::ConnectionFailed&);
  void Apply(const act::CameraList& list);
  void Apply(const act::PresetList& list);
  void Apply(const act::ApplyModel& model);
  void Apply(const act::CameraControls& controls);
  void Apply(const act::EnableControls& enable);
  void Apply(const act::FocusRadios& radios);
  void Apply(const act::CommandModeRadios& radios);
  void Apply(const act::NightMode& night);
  void Apply(const act::MakeCompact&);
  void Apply(const act::PowerBox& box);
  void ApplyCameraList(int count, int index);
  void FillPresetCombo(int select);
  void UpdateGoButton();
  void SetCameraControlsEnabled(bool enabled);
  void EnableControls(bool operable);
  void SetNearFarEnabled(bool enabled);

  CameraLink link_;

  GeneralSettings settings_;
  PresetNames presetNames_{};
  std::array<bool, 9> presetRegistered_{};
  bool startupAttempt_ = false;
  bool fullSize_ = true;
  bool commandWindowShownOnce_ = false;
  bool shuttingDown_ = false;
  bool debugWindowShown_ = false;
  bool firstPaintPosted_ = false;

  QHash<int, QWidget*> controls_;
  QList<DirectionButton*> directionButtons_;
  std::array<DirectionButton*, 9> pad_{};
  QCheckBox* nightMode_ = nullptr;
  QComboBox* irLight_ = nullptr;
  QRadioButton* host_ = nullptr;
  QRadioButton* local_ = nullptr;
  QCheckBox* hiddenRemoteOk_ = nullptr;
  QCheckBox* hiddenManual_ = nullptr;
  QRadioButton* focusAuto_ = nullptr;
  QRadioButton* focusManual_ = nullptr;
  QComboBox* camera_ = nullptr;
  QLabel* cameraLabel_ = nullptr;
  QLabel* modelLine_ = nullptr;
  PresetCombo* presets_ = nullptr;
  QPushButton* go_ = nullptr;
  QPushButton* exit_ = nullptr;
  QPushButton* debugButton_ = nullptr;
  QTabWidget* tab_ = nullptr;
  QWidget* mainControls_ = nullptr;

  QMenu* toolsMenu_ = nullptr;
  QAction* connectAction_ = nullptr;
  std::array<QAction*, 4> portActions_{};
  QAction* portTargetAction_ = nullptr;  // what the current port opens
  QAction* sendCommandAction_ = nullptr;

  AdjustPage* adjust_ = nullptr;
  SystemPage* system_ = nullptr;
  PicturePage* picture_ = nullptr;
  DebugWindow* debugWindow_ = nullptr;
  InputCommandWindow* commandWindow_ = nullptr;
  std::unique_ptr<GamepadControl> gamepad_;
  // The network control service, where the application has it.
  std::unique_ptr<net::NetworkControl> network_;
};

}  // namespace qtr90x
