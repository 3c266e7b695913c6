#include "platform/Input.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "core/Log.h"
#include "platform/Display.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"
#include "platform/Touch.h"
#include "platform/Window.h"

namespace peckish::platform {
namespace {

constexpr std::int64_t kMouseTouchId = -1;

// A Scancode is SDL's scancode number as it is.
static_assert(static_cast<int>(Scancode::A) == SDL_SCANCODE_A && static_cast<int>(Scancode::Z) == SDL_SCANCODE_Z &&
              SDL_SCANCODE_Z - SDL_SCANCODE_A == 25);

// The keys the game names and the SDL key codes that type them, read both ways: a key code finds
// its Key here (any other is Key::Other), and an injected Key carries the code of its first row.
// The keypad's Enter is Return too.
struct KeyRow {
  SDL_Keycode code;
  Key key;
};

constexpr KeyRow kKeyMap[] = {
    {SDLK_ESCAPE, Key::Escape},
    {SDLK_RETURN, Key::Return},
    {SDLK_KP_ENTER, Key::Return},
    {SDLK_BACKSPACE, Key::Backspace},
    {SDLK_TAB, Key::Tab},
    {SDLK_SPACE, Key::Space},
    {SDLK_LEFT, Key::Left},
    {SDLK_RIGHT, Key::Right},
    {SDLK_UP, Key::Up},
    {SDLK_DOWN, Key::Down},
    {SDLK_f, Key::F},
    {SDLK_m, Key::M},
    {SDLK_p, Key::P},
    {SDLK_F11, Key::F11},
};

Key keyFor(SDL_Keycode code) {
  for (const KeyRow& row : kKeyMap) {
    if (row.code == code) return row.key;
  }
  return Key::Other;
}

SDL_Keycode codeFor(Key key) {
  for (const KeyRow& row : kKeyMap) {
    if (row.key == key) return row.code;
  }
  return SDLK_UNKNOWN;
}

CGPoint clampToScreen(CGPoint p) {
  return CGPoint{std::clamp(p.x, 0.f, static_cast<float>(Display::kScreenWidth)),
                 std::clamp(p.y, 0.f, static_cast<float>(Display::kScreenHeight))};
}

bool onScreen(CGPoint p) {
  return p.x >= 0.f && p.y >= 0.f && p.x <= Display::kScreenWidth && p.y <= Display::kScreenHeight;
}

void deliver(int phase, std::int64_t id, CGPoint view) {
  Window* w = Window::keyWindow();
  if (!w) return;
  Touch t;
  t.id = id;
  t.location = view;
  t.previousLocation = view;
  t.phase = phase == 0 ? TouchPhase::Began : phase == 1 ? TouchPhase::Moved : TouchPhase::Ended;
  t.timestamp = RunLoop::main().now();
  w->sendTouches(t.phase, TouchSet{t});
}

}  // namespace

bool Input::handleEvent(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT) {
        const float k = pointsToPixels();
        handleMouse(e.type == SDL_MOUSEBUTTONDOWN ? 0 : 2, e.button.x * k, e.button.y * k);
      }
      return true;
    case SDL_MOUSEMOTION:
      if (e.motion.which != SDL_TOUCH_MOUSEID) setPadActive(false);
      if (e.motion.which != SDL_TOUCH_MOUSEID && mouseDown_) {
        const float k = pointsToPixels();
        handleMouse(1, e.motion.x * k, e.motion.y * k);
      } else if (e.motion.which != SDL_TOUCH_MOUSEID) {
        // No copy of the list: the mouse moves often, and a listener told of it adds or drops none.
        for (size_t i = 0; i < keyListeners_.size(); ++i) keyListeners_[i]->pointerMoved();
      }
      return true;
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
      handleFinger(e.type == SDL_FINGERDOWN ? 0 : e.type == SDL_FINGERMOTION ? 1 : 2, e.tfinger.fingerId,
                   e.tfinger.x, e.tfinger.y);
      return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      KeyEvent k;
      k.code = e.key.keysym.sym;
      k.key = keyFor(e.key.keysym.sym);
      k.scancode = static_cast<Scancode>(e.key.keysym.scancode);
      k.repeat = e.key.repeat != 0;
      k.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
      k.ctrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
      k.alt = (e.key.keysym.mod & KMOD_ALT) != 0;
      const bool down = e.type == SDL_KEYDOWN;
      const bool taken = dispatchKey(k, down);
      if (down && !taken) display_.windowKey(k);
      return true;
    }
    case SDL_TEXTINPUT: {
      const std::string text = e.text.text;
      auto listeners = keyListeners_;
      for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        if ((*it)->textInput(text)) break;
      }
      return true;
    }
    case SDL_CONTROLLERDEVICEADDED:
      padAdded(e.cdevice.which);
      return true;
    case SDL_CONTROLLERDEVICEREMOVED:
      padRemovedEvent(e.cdevice.which);
      return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      padButton(e.cbutton.which, e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN);
      return true;
    case SDL_CONTROLLERAXISMOTION:
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX || e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
        if (Pad* pad = findPad(e.caxis.which)) padDirection(*pad);
      }
      return true;
    default:
      return false;
  }
}

void Input::cancelTouches() {
  mouseDown_ = false;
  if (Window* w = Window::keyWindow()) w->cancelAllTouches();
}

bool Input::dispatchKey(const KeyEvent& k, bool down) {
  auto listeners = keyListeners_;
  for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
    if (std::find(keyListeners_.begin(), keyListeners_.end(), *it) == keyListeners_.end()) continue;
    if (down ? (*it)->keyDown(k) : (*it)->keyUp(k)) return true;
  }
  return false;
}

void Input::handleMouse(int phase, float px, float py) {
  CGPoint p = display_.windowToView(px, py);
  if (phase == 0) {
    if (!onScreen(p)) return;  // a click on the black bars
    mouseDown_ = true;
  } else {
    if (!mouseDown_) return;
    p = clampToScreen(p);
    if (phase == 2) mouseDown_ = false;
  }
  deliver(phase, kMouseTouchId, p);
}

void Input::handleFinger(int phase, std::int64_t finger, float nx, float ny) {
  CGPoint p = display_.windowToView(nx * static_cast<float>(display_.width()), ny * static_cast<float>(display_.height()));
  if (phase == 0 && !onScreen(p)) return;
  deliver(phase, finger, phase == 0 ? p : clampToScreen(p));
}

float Input::pointsToPixels() const {
  SDL_Window* window = static_cast<SDL_Window*>(display_.nativeWindow());
  int pw = 0, ph = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(window, &pw, &ph);
  SDL_GL_GetDrawableSize(window, &dw, &dh);
  return pw > 0 ? static_cast<float>(dw) / static_cast<float>(pw) : 1.f;
}

void Input::addKeyListener(KeyListener* listener) {
  if (listener && std::find(keyListeners_.begin(), keyListeners_.end(), listener) == keyListeners_.end()) {
    keyListeners_.push_back(listener);
  }
}

void Input::removeKeyListener(KeyListener* listener) { std::erase(keyListeners_, listener); }

void Input::startTextInput() {
  textInput_ = true;
  SDL_StartTextInput();
}

void Input::stopTextInput() {
  textInput_ = false;
  SDL_StopTextInput();
}

int keypadDigit(const KeyEvent& e) {
  if (e.key != Key::Other || e.code < SDLK_KP_1 || e.code > SDLK_KP_9) return 0;
  return e.code - SDLK_KP_1 + 1;
}

// ---- game controllers ----

void Input::openPads() {
  if (padsOpen_) return;
  // No controller support here (no udev, a container): the game is played without pads.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    SDL_ClearError();
    return;
  }
  padsOpen_ = true;
  loadPadMappings();
  // Pads already plugged in arrive as SDL_CONTROLLERDEVICEADDED, as later ones do.
}

void Input::closePads() {
  if (!padsOpen_) return;
  for (Pad& pad : pads_) SDL_GameControllerClose(static_cast<SDL_GameController*>(pad.controller));
  pads_.clear();
  setPadActive(false);
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  padsOpen_ = false;
}

int Input::loadPadMappings() {
  if (!padsOpen_) return 0;
  const std::string file = configDirectory() + "/gamecontrollerdb.txt";
  if (!fileExists(file)) return 0;
  const int added = SDL_GameControllerAddMappingsFromFile(file.c_str());
  if (added < 0) {
    engineLog("input: no controller mappings read from %s: %s", file.c_str(), SDL_GetError());
    return 0;
  }
  return added;
}

Input::Pad* Input::findPad(std::int32_t id) {
  for (Pad& pad : pads_)
    if (pad.id == id) return &pad;
  return nullptr;
}

void Input::padAdded(int deviceIndex) {
  if (!padsOpen_) return;
  SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
  if (!controller) {
    engineLog("input: controller %d cannot be opened: %s", deviceIndex, SDL_GetError());
    return;
  }
  const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
  if (findPad(id)) {  // announced twice: keep the one opening
    SDL_GameControllerClose(controller);
    return;
  }
  Pad pad;
  pad.id = id;
  pad.controller = controller;
  pads_.push_back(pad);
  engineLog("input: controller \"%s\" plugged in", SDL_GameControllerName(controller));
}

void Input::padRemovedEvent(std::int32_t id) {
  Pad* pad = findPad(id);
  if (!pad) return;  // SDL may announce a removal twice
  const Key held = pad->held;
  SDL_GameControllerClose(static_cast<SDL_GameController*>(pad->controller));
  std::erase_if(pads_, [id](const Pad& p) { return p.id == id; });
  if (held != Key::Other) padKey(held, false, false);
  auto listeners = keyListeners_;
  for (KeyListener* l : listeners)
    if (std::find(keyListeners_.begin(), keyListeners_.end(), l) != keyListeners_.end()) l->padRemoved();
}

void Input::padButton(std::int32_t id, int button, bool down) {
  Pad* pad = findPad(id);
  if (!pad) return;
  Key key;
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
      padDirection(*pad);
      return;
    case SDL_CONTROLLER_BUTTON_A: key = Key::Return; break;
    case SDL_CONTROLLER_BUTTON_B:
    case SDL_CONTROLLER_BUTTON_BACK: key = Key::Escape; break;
    case SDL_CONTROLLER_BUTTON_START: key = Key::P; break;
    default: return;
  }
  if (down) setPadActive(true);
  padKey(key, down, false);
}

void Input::padDirection(Pad& pad) {
  auto* c = static_cast<SDL_GameController*>(pad.controller);
  auto button = [c](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; };
  Key want = Key::Other;
  if (button(SDL_CONTROLLER_BUTTON_DPAD_UP)) want = Key::Up;
  else if (button(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) want = Key::Down;
  else if (button(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) want = Key::Left;
  else if (button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) want = Key::Right;
  else {
    const int x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
    const int y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
    // A push held on keeps its direction until the stick comes back near the middle.
    const bool kept = (pad.held == Key::Left && x < -kStickRelease) || (pad.held == Key::Right && x > kStickRelease) ||
                      (pad.held == Key::Up && y < -kStickRelease) || (pad.held == Key::Down && y > kStickRelease);
    if (kept) want = pad.held;
    else if (std::abs(x) >= kStickPush && std::abs(x) >= std::abs(y)) want = x < 0 ? Key::Left : Key::Right;
    else if (std::abs(y) >= kStickPush) want = y < 0 ? Key::Up : Key::Down;
  }
  if (want == pad.held) return;
  const Key was = std::exchange(pad.held, want);
  if (want != Key::Other) pad.nextRepeat = RunLoop::main().now() + kRepeatDelay;
  if (was != Key::Other) padKey(was, false, false);
  if (want != Key::Other) {
    setPadActive(true);
    padKey(want, true, false);
  }
}

void Input::repeatPadKeys() {
  if (pads_.empty()) return;
  const double now = RunLoop::main().now();
  for (std::size_t i = 0; i < pads_.size(); ++i) {
    if (pads_[i].held == Key::Other || now < pads_[i].nextRepeat) continue;
    // One repeat a pump at most: a clock that jumped does not make a burst.
    pads_[i].nextRepeat = std::max(pads_[i].nextRepeat + kRepeatInterval, now);
    padKey(pads_[i].held, true, true);
  }
}

void Input::padKey(Key key, bool down, bool repeat) {
  KeyEvent k;
  k.key = key;
  k.code = codeFor(key);
  k.repeat = repeat;
  k.pad = true;
  dispatchKey(k, down);
}

void Input::setPadActive(bool on) {
  if (padActive_ == on) return;
  padActive_ = on;
  SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
}

// ---- injected input ----

void Input::injectMouseButton(bool down, float wx, float wy) {
  const float k = pointsToPixels();
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(display_.nativeWindow()));
  e.button.which = 0;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = static_cast<Sint32>(std::lround(wx / k));
  e.button.y = static_cast<Sint32>(std::lround(wy / k));
  SDL_PushEvent(&e);
}

void Input::injectMouseMotion(float wx, float wy) {
  const float k = pointsToPixels();
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(display_.nativeWindow()));
  e.motion.which = 0;
  e.motion.state = mouseDown_ ? SDL_BUTTON_LMASK : 0;
  e.motion.x = static_cast<Sint32>(std::lround(wx / k));
  e.motion.y = static_cast<Sint32>(std::lround(wy / k));
  SDL_PushEvent(&e);
}

void Input::injectFinger(FingerPhase phase, std::int64_t finger, float nx, float ny) {
  SDL_Event e{};
  e.type = phase == FingerPhase::Down ? SDL_FINGERDOWN : phase == FingerPhase::Motion ? SDL_FINGERMOTION : SDL_FINGERUP;
  e.tfinger.touchId = 1;
  e.tfinger.fingerId = finger;
  e.tfinger.x = nx;
  e.tfinger.y = ny;
  e.tfinger.pressure = 1.f;
  e.tfinger.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(display_.nativeWindow()));
  SDL_PushEvent(&e);
}

void Input::injectKey(bool down, Key key, int code, bool ctrl, Scancode scancode) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(display_.nativeWindow()));
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = key == Key::Other ? static_cast<SDL_Keycode>(code) : codeFor(key);
  e.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
  e.key.keysym.mod = ctrl ? KMOD_LCTRL : KMOD_NONE;
  SDL_PushEvent(&e);
}

}  // namespace peckish::platform
