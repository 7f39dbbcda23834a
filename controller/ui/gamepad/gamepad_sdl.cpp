// The SDL edge of gamepad control: SDL's game controller support runs in a
// thread of its own and posts every event of the controller in use to the
// Qt thread. The first game controller attached is the one in use; when it
// goes, the next one still attached takes its place. Stopping wakes the
// thread and joins it.
//
// SDL reads the controllers only while it pumps its events, and without a
// video subsystem its wait pumps once a millisecond, controller or not. So
// SDL's game controller support runs only while a controller is attached:
// with none, the thread sleeps in poll() until a device node appears under
// /dev/input (inotify; the folder itself may come later) or SDL announces a
// device that has no node, such as SDL's virtual joysticks (an event watch;
// they are attached by this process, so the announcement comes from the
// attaching thread). After a node has appeared, SDL pumps for a few seconds
// so that it finds the device once the system has set it up; a device that
// is no game controller costs those seconds and nothing more. Without
// inotify the thread waits in SDL's own loop, as it always did.
#include <SDL2/SDL.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "ui/gamepad/gamepad_device_watch.h"
#include "ui/gamepad/gamepad_source.h"

namespace qtr90x {

namespace {

static_assert(SDL_CONTROLLER_AXIS_MAX == kGamepadAxes);
static_assert(SDL_CONTROLLER_AXIS_LEFTX == static_cast<int>(GamepadAxis::kLeftX) &&
              SDL_CONTROLLER_AXIS_TRIGGERRIGHT == static_cast<int>(GamepadAxis::kTriggerRight));
static_assert(SDL_CONTROLLER_BUTTON_MAX == kGamepadButtons);
static_assert(SDL_CONTROLLER_BUTTON_BACK == gamepad_button::kBack &&
              SDL_CONTROLLER_BUTTON_DPAD_RIGHT == gamepad_button::kDpadRight);

using Clock = std::chrono::steady_clock;

// How long SDL looks for a controller after a device node appeared: the
// system sets a new device up (permissions, its database) in well under that.
constexpr auto kSettleTime = std::chrono::seconds(3);
constexpr int kSettleStepMs = 10;

class SdlGamepadSource : public GamepadSource {
 public:
  explicit SdlGamepadSource(QObject* receiver) : receiver_(receiver) {}

  ~SdlGamepadSource() override {
    if (!thread_.joinable())
      return;
    stop_ = true;
    devices_.Signal();
    SDL_Event wake{};
    wake.type = SDL_USEREVENT;
    SDL_PushEvent(&wake);
    thread_.join();
  }

  bool Sleeping() const override { return sleeping_.load(); }
  int Wakes() const override { return wakes_.load(); }

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
    input.receivedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    QCoreApplication::postEvent(receiver_, new GamepadInputEvent(std::move(input)));
  }

  // Called by SDL in the thread that adds an event to its queue.
  static int SDLCALL WatchEvents(void* self, SDL_Event* e) {
    auto* source = static_cast<SdlGamepadSource*>(self);
    if ((e->type == SDL_JOYDEVICEADDED || e->type == SDL_CONTROLLERDEVICEADDED) &&
        source->sleeping_.load())
      source->devices_.Signal();
    return 0;
  }

  void Run(std::promise<QString>& ready) {
    // The application handles its own signals, and a controller is read
    // whichever window has the focus.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // The event queue stays up all along (it has no thread and no timer), so
    // that the watch sees the devices SDL announces while the game
    // controller support is down.
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
      ready.set_value(QString::fromUtf8(SDL_GetError()));
      return;
    }
    // Watched before the first look, so that nothing attached in between
    // is missed.
    const bool watching = devices_.Open();
    if (!ControllersUp()) {
      ready.set_value(QString::fromUtf8(SDL_GetError()));
      SDL_QuitSubSystem(SDL_INIT_EVENTS);
      return;
    }
    SDL_AddEventWatch(&SdlGamepadSource::WatchEvents, this);
    ready.set_value(QString());

    Clock::time_point settleUntil = Clock::now();
    while (!stop_) {
      if (controllersUp_) {
        if (active_ == nullptr)
          OpenFirstController();
        if (active_ != nullptr || !watching) {
          // A controller in use (or no way to learn of one): SDL's own wait.
          SDL_Event e;
          if (SDL_WaitEvent(&e) == 0) {
            std::fprintf(stderr, "QTR90xControler: gamepad: %s\n", SDL_GetError());
            break;
          }
          Handle(e);
          continue;
        }
        if (Clock::now() < settleUntil) {
          SDL_Event e;
          while (!stop_ && SDL_PollEvent(&e) != 0)
            Handle(e);
          if (active_ == nullptr && (devices_.Wait(kSettleStepMs) & DeviceWatch::kDeviceNode) != 0)
            settleUntil = Clock::now() + kSettleTime;
          continue;
        }
        // What SDL has queued so far (its own announcements of the devices
        // it found when it came up among them) is seen before it goes down;
        // anything announced from here on wakes the sleep below.
        SDL_Event e;
        while (!stop_ && SDL_PollEvent(&e) != 0)
          Handle(e);
        if (active_ != nullptr || stop_)
          continue;
        sleeping_ = true;
        ControllersDown();
        if (SDL_HasEvent(SDL_JOYDEVICEADDED))
          devices_.Signal();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
      }
      const unsigned woken = devices_.Wait(-1);
      sleeping_ = false;
      ++wakes_;
      if (stop_)
        break;
      settleUntil = Clock::now() + ((woken & DeviceWatch::kDeviceNode) != 0
                                        ? std::chrono::duration_cast<Clock::duration>(kSettleTime)
                                        : Clock::duration::zero());
      if (!ControllersUp()) {
        std::fprintf(stderr, "QTR90xControler: gamepad: %s\n", SDL_GetError());
        break;
      }
    }
    SDL_DelEventWatch(&SdlGamepadSource::WatchEvents, this);
    ControllersDown();
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }

  bool ControllersUp() {
    if (!controllersUp_)
      controllersUp_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    return controllersUp_;
  }

  void ControllersDown() {
    if (active_ != nullptr) {
      SDL_GameControllerClose(active_);
      active_ = nullptr;
      activeId_ = -1;
    }
    if (controllersUp_)
      SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    controllersUp_ = false;
  }

  void OpenFirstController() {
    for (int i = 0; i < SDL_NumJoysticks() && active_ == nullptr; ++i) {
      if (SDL_IsGameController(i))
        Open(i);
    }
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
          OpenFirstController();
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
  DeviceWatch devices_;
  // The thread sleeps with SDL's game controller support down.
  std::atomic<bool> sleeping_{false};
  std::atomic<int> wakes_{0};
  // Touched only by the thread:
  bool controllersUp_ = false;
  SDL_GameController* active_ = nullptr;
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
