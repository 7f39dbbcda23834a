// A game controller made by SDL itself, for the tests and benchmarks: sticks,
// triggers and buttons set by the program, no hardware. The caller holds
// SDL's joystick subsystem for the pad's lifetime.
#pragma once

#include <SDL2/SDL.h>

namespace qtr90x::testing {

class VirtualPad {
 public:
  VirtualPad() = default;
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;
  ~VirtualPad() { Detach(); }

  // Attaches and opens the controller, both triggers let go.
  bool Attach(const char* name = "Virtual test pad") {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = name;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0)
      return false;
    joystick_ = SDL_JoystickOpen(index);
    if (joystick_ == nullptr) {
      SDL_JoystickDetachVirtual(index);
      return false;
    }
    // A virtual trigger starts half way.
    Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    return true;
  }
  // Takes this pad away, whatever the device index of the others.
  void Detach() {
    if (joystick_ == nullptr)
      return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) {
        SDL_JoystickDetachVirtual(i);
        break;
      }
    }
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
  }

  void Axis(SDL_GameControllerAxis axis, int value) {
    SDL_JoystickSetVirtualAxis(joystick_, axis, static_cast<Sint16>(value));
  }
  void Button(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

}  // namespace qtr90x::testing
