// Gamepad control of a camera link: the SDL edge's inputs go to the pure
// GamepadCore, and what it returns goes out through the link's one command
// path (CameraLink::SendCommand) or is carried out by the operator's own
// buttons of the window it works in (one-push AF, preset Go, the camera
// list). An action works exactly when its button is enabled; the core learns
// when each of its commands has been answered from the engine
// (AnswerFollowUp::kGamepadAnswered, posted back as um::kGamepadAnswered).
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>

#include "core/gamepad_core.h"
#include "ui/gamepad_source.h"

class QComboBox;
class QPushButton;
class QRadioButton;
class QWidget;

namespace qtr90x {

class CameraLink;

// What the gamepad reads of the window it works in and carries out there.
struct GamepadView {
  QComboBox* camera = nullptr;       // the camera list: its choice, the camera keys
  QRadioButton* local = nullptr;     // Local checked: the gamepad moves nothing
  QComboBox* presets = nullptr;      // chosen by the preset keys...
  QPushButton* presetGo = nullptr;   // ...and recalled with Go when enabled
  QPushButton* onePushAf = nullptr;  // clicked by its key when enabled
  std::array<QWidget*, 3> drives{};  // the pad, zoom and focus buttons it follows
};

class GamepadControl : public QObject {
  Q_OBJECT

 public:
  // Null when the application was built without SDL2 or SDL cannot start;
  // the Tools menu then has no Gamepad entry. With gamepad control switched
  // off the SDL edge does not run until it is switched on again.
  static std::unique_ptr<GamepadControl> Create(CameraLink& link, const GamepadView& view);
  ~GamepadControl() override;

  // Every move stops at once and nothing more goes to this session: the
  // window closes, the session closes, the port changes, the application
  // hands the camera back to its local controls.
  void StopMoves();

  const GamepadSettings& Settings() const { return core_.Settings(); }
  // Takes new settings into use and keeps them in the settings store.
  void ApplySettings(const GamepadSettings& settings);

  bool Attached() const { return core_.Attached(); }
  QString ControllerName() const { return name_; }
  const GamepadCore& Core() const { return core_; }
  // The gamepad's commands handed to the command path so far.
  int CommandsSent() const { return commandsSent_; }
  // Whether the SDL edge sleeps until a device appears.
  bool SourceSleeping() const { return source_ != nullptr && source_->Sleeping(); }
  int SourceWakes() const { return source_ != nullptr ? source_->Wakes() : 0; }
  // When the edge took the last input from SDL (steady clock, ns).
  std::int64_t LastInputNs() const { return lastInputNs_; }

 signals:
  // A controller came or went, or an input changed (for the live display).
  void ControllerChanged();
  void InputChanged();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  GamepadControl(CameraLink& link, const GamepadView& view);
  bool StartSource();
  void StopSource();
  GamepadContext Context() const;
  void OnInput(const GamepadInput& input);
  void ContextChanged();
  void Carry(const GamepadOutputs& outputs);
  void RunAction(GamepadAction action);

  CameraLink& link_;
  GamepadView view_;
  GamepadCore core_;
  std::unique_ptr<GamepadSource> source_;
  QString name_;
  int commandsSent_ = 0;
  std::int64_t lastInputNs_ = 0;
};

}  // namespace qtr90x
