#pragma once
// A game controller without hardware: SDL's virtual joystick attached as a game controller, so the
// display's Input opens it as it opens a pad plugged in. Buttons and axes go by SDL's standard
// layout (SDL_GameControllerButton, SDL_GameControllerAxis). Pads act only while the window has the
// focus, which the offscreen driver never gives: the pad lets background events through.
//
//   VirtualPad pad;                                   // plugged in
//   pad.press(SDL_CONTROLLER_BUTTON_A);               // down and up, each delivered
//   pad.hold(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);  // delivered by the display's next pump
//   pad.unplug();
#include <SDL.h>

#include <string>

#include "platform/Display.h"

namespace peckish::test {

class VirtualPad {
 public:
  // type: SDL_JOYSTICK_TYPE_GAMECONTROLLER (mapped by SDL itself) or another type, which only a
  // mapping makes a controller.
  explicit VirtualPad(SDL_JoystickType type = SDL_JOYSTICK_TYPE_GAMECONTROLLER, const char* name = "Virtual pad") {
    platform::Display::ensureOpen();
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = static_cast<Uint16>(type);
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = name;
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return;
    joystick_ = SDL_JoystickOpen(index);
    if (joystick_) id_ = SDL_JoystickInstanceID(joystick_);
    platform::Display::shared()->pumpEvents();
  }
  // Unplugged, and the removal delivered: a later test's game is not paused by it.
  ~VirtualPad() {
    unplug();
    if (platform::Display* d = platform::Display::shared()) d->pumpEvents();
  }
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  bool attached() const { return joystick_ != nullptr; }
  // SDL's GUID of the joystick as mapping databases write it: without the checksum of the name
  // (the third and fourth bytes).
  std::string guid() const {
    char text[33] = {};
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(joystick_), text, sizeof text);
    std::string g = text;
    if (g.size() == 32) g.replace(4, 4, "0000");
    return g;
  }

  // Changes take effect (and arrive as events) with the display's next pump.
  void hold(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
  }
  void lean(SDL_GameControllerAxis axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick_, axis, value); }
  // A button pressed and released, each delivered.
  void press(SDL_GameControllerButton button) {
    hold(button, true);
    platform::Display::shared()->pumpEvents();
    hold(button, false);
    platform::Display::shared()->pumpEvents();
  }

  // Detached, as a pad pulled out; delivered by the next pump.
  void unplug() {
    if (!joystick_) return;
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id_) SDL_JoystickDetachVirtual(i);
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
  SDL_JoystickID id_ = -1;
};

}  // namespace peckish::test
