// Where the gamepad's inputs come from: the SDL edge, which waits for the
// controller's events in a thread of its own and posts each one, as a
// GamepadInputEvent, to a receiver on the Qt thread.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <array>
#include <memory>

#include "core/gamepad/gamepad_settings.h"

namespace qtr90x {

struct GamepadInput {
  enum class Kind : std::uint8_t { kAttached, kDetached, kAxis, kButton };
  Kind kind = Kind::kAxis;
  int index = 0;                         // the axis or the button
  int value = 0;                         // the axis value; 1 pressed, 0 released
  std::array<int, kGamepadAxes> axes{};  // kAttached: the axes as they read
  QString name;                          // kAttached: the controller's name
  std::int64_t receivedNs = 0;           // steady clock, when the edge took it from SDL
};

class GamepadInputEvent : public QEvent {
 public:
  static QEvent::Type Type();
  explicit GamepadInputEvent(GamepadInput input) : QEvent(Type()), input_(std::move(input)) {}
  const GamepadInput& Input() const { return input_; }

 private:
  GamepadInput input_;
};

class GamepadSource {
 public:
  virtual ~GamepadSource() = default;
  // Whether the edge sleeps until a device appears (no controller attached,
  // SDL's game controller support down).
  virtual bool Sleeping() const { return false; }
  // How often it woke from that sleep.
  virtual int Wakes() const { return 0; }
};

// The SDL edge, posting to `receiver`; null when the application was built
// without SDL2 or SDL's game controller support cannot start (`why` then
// says so).
std::unique_ptr<GamepadSource> StartSdlGamepadSource(QObject* receiver, QString* why);
// Whether the application was built with SDL2.
bool SdlGamepadSupport();

}  // namespace qtr90x
