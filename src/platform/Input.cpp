#include "platform/Input.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "platform/Display.h"
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
