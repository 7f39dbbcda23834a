// The SDL edge of gamepad control: SDL's game controller support runs in a
// thread of its own that waits in SDL_WaitEvent (no polling timer of ours)
// and posts every event of the controller in use to the Qt thread. The first
// game controller attached is the one in use; when it goes, the next one
// still attached takes its place. Stopping pushes an event to wake the wait
// and joins the thread.
#include <SDL2/SDL.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "ui/gamepad_source.h"

namespace qtr90x {

namespace {

static_assert(SDL_CONTROLLER_AXIS_MAX == kGamepadAxes);
static_assert(SDL_CONTROLLER_AXIS_LEFTX == static_cast<int>(GamepadAxis::kLeftX) &&
              SDL_CONTROLLER_AXIS_TRIGGERRIGHT == static_cast<int>(GamepadAxis::kTriggerRight));
static_assert(SDL_CONTROLLER_BUTTON_MAX == kGamepadButtons);
static_assert(SDL_CONTROLLER_BUTTON_BACK == gamepad_button::kBack &&
              SDL_CONTROLLER_BUTTON_DPAD_RIGHT == gamepad_button::kDpadRight);

class SdlGamepadSource : public GamepadSource {
 public:
  explicit SdlGamepadSource(QObject* receiver) : receiver_(receiver) {}

  ~SdlGamepadSource() override {
    if (!thread_.joinable())
      return;
    stop_ = true;
    SDL_Event wake{};
    wake.type = SDL_USEREVENT;
    SDL_PushEvent(&wake);
    thread_.join();
  }

  // Starts the thread and waits until SDL is up in it (or failed).
  bool Start(QString* why) {
    std::promise<QString> ready;
    std::future<QString> result = ready.get_future();
    thread_ = std::thread([this, &ready] { Run(ready); });
    const QString error = result.get();
    if (error.isEmpty())
      return true;
    thread_.join();
    if (why != nullptr)
      *why = error;
    return false;
  }

 private:
  void Post(GamepadInput input) {
    input.receivedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    QCoreApplication::postEvent(receiver_, new GamepadInputEvent(std::move(input)));
  }

  void Run(std::promise<QString>& ready) {
    // The application handles its own signals, and a controller is read
    // whichever window has the focus.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
      ready.set_value(QString::fromUtf8(SDL_GetError()));
      return;
    }
    // The raw joystick events stay on: SDL reads the controllers only while
    // they are (the game controller events come from the same update), and
    // the loop below passes over them.
    ready.set_value(QString());

    while (!stop_) {
      SDL_Event e;
      if (SDL_WaitEvent(&e) == 0) {
        std::fprintf(stderr, "QTR90xControler: gamepad: %s\n", SDL_GetError());
        break;
      }
      Handle(e);
    }
    if (active_ != nullptr)
      SDL_GameControllerClose(active_);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  }

  void Handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_CONTROLLERDEVICEADDED:
        if (active_ == nullptr)
          Open(e.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        if (active_ != nullptr && e.cdevice.which == activeId_) {
          SDL_GameControllerClose(active_);
          active_ = nullptr;
          activeId_ = -1;
          Post(GamepadInput{GamepadInput::Kind::kDetached, 0, 0, {}, {}});
          // Another controller still attached takes over.
          for (int i = 0; i < SDL_NumJoysticks() && active_ == nullptr; ++i) {
            if (SDL_IsGameController(i))
              Open(i);
          }
        }
        break;
      case SDL_CONTROLLERAXISMOTION:
        if (e.caxis.which == activeId_)
          Post(GamepadInput{GamepadInput::Kind::kAxis, e.caxis.axis, e.caxis.value, {}, {}});
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        if (e.cbutton.which == activeId_)
          Post(GamepadInput{GamepadInput::Kind::kButton,
                            e.cbutton.button,
                            e.cbutton.state == SDL_PRESSED ? 1 : 0,
                            {},
                            {}});
        break;
      default:
        break;
    }
  }

  void Open(int deviceIndex) {
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (controller == nullptr)
      return;
    active_ = controller;
    activeId_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    // The axes as they are now: a stick already held is told apart from one
    // pushed later (the events of this update follow with the same values).
    SDL_GameControllerUpdate();
    GamepadInput input{GamepadInput::Kind::kAttached, 0, 0, {}, {}};
    for (int a = 0; a < kGamepadAxes; ++a) {
      input.axes[static_cast<std::size_t>(a)] =
          SDL_GameControllerGetAxis(controller, static_cast<SDL_GameControllerAxis>(a));
    }
    const char* name = SDL_GameControllerName(controller);
    input.name = QString::fromUtf8(name != nullptr ? name : "Game controller");
    Post(std::move(input));
  }

  QObject* receiver_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  SDL_GameController* active_ = nullptr;  // touched only by the thread
  SDL_JoystickID activeId_ = -1;
};

}  // namespace

std::unique_ptr<GamepadSource> StartSdlGamepadSource(QObject* receiver, QString* why) {
  auto source = std::make_unique<SdlGamepadSource>(receiver);
  if (!source->Start(why))
    return nullptr;
  return source;
}

bool SdlGamepadSupport() {
  return true;
}

}  // namespace qtr90x
