#pragma once
// Input from SDL's event queue as the game sees it. The display (platform/Display.h) owns the one
// Input and hands it every event that is not about the window itself:
//   - mouse and finger input becomes touches for the key window (platform/Window.h), in portrait
//     view points through the display's letterbox mapping; the left button is one finger, a press
//     on the black bars is dropped, a drag that leaves the picture ends at its edge;
//   - keys become KeyListener calls (each with what it types and where it sits, see KeyEvent),
//     through one table of the keys the game names; a key press no listener took goes back to the
//     display (F11 and F fullscreen, Ctrl + and Ctrl - window scale);
//   - typed text reaches the key listeners while text input is on, and a mouse move with no
//     button down is told to them (KeyListener::pointerMoved).
// Further kinds of input (game controllers) are translated here too, beside these; to steer menus
// and dialogs they send key events (arrows, Return, Escape) like the keyboard (see ui/Overlay.h).
//
// Tests queue input through the inject...() functions (Display forwards its own to them); it is
// delivered by the display's next pumpEvents().
#include <cstdint>
#include <string>
#include <vector>

namespace peckish::platform {

class Display;

// Keys the game reacts to; every other key arrives as Key::Other with its code.
enum class Key { Other, Escape, Return, Backspace, Tab, Space, Left, Right, Up, Down, F, M, P, F11 };

// Where a key sits on the keyboard, whatever letter the layout gives it: the key's USB usage
// number (the numbers SDL's scancodes use). The letter keys are named as a US keyboard prints
// them, A to Z in order; any other key arrives as its number, Unknown when there is none.
enum class Scancode : int {
  Unknown = 0,
  A = 4, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z
};

struct KeyEvent {
  Key key = Key::Other;
  int code = 0;         // SDL key code (lower-case ASCII for letters and digits): what the key types
  Scancode scancode = Scancode::Unknown;  // where the key is
  bool repeat = false;  // auto-repeat of a held key
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// The digit (1..9) of a key of the numeric keypad, whatever the Num Lock state; 0 for any other key.
int keypadDigit(const KeyEvent& e);

// Receives keyboard input. Return true to take the key (later listeners and the display's own
// handling, F11/F fullscreen, do not see it). Listeners are asked newest first. Not owned.
class KeyListener {
 public:
  virtual ~KeyListener() = default;
  virtual bool keyDown(const KeyEvent&) { return false; }
  virtual bool keyUp(const KeyEvent&) { return false; }
  // UTF-8 text typed while text input is on (Display::startTextInput).
  virtual bool textInput(const std::string&) { return false; }
  // The mouse moved with no button down: a keyboard highlight may step aside. Every listener is told.
  virtual void pointerMoved() {}
};

enum class FingerPhase { Down, Motion, Up };

class Input {
 public:
  explicit Input(Display& display) : display_(display) {}
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // Translates one SDL event (an SDL_Event*). False when it is no input event.
  bool handleEvent(const void* sdlEvent);
  // Focus lost or window minimised: the touches in progress are cancelled.
  void cancelTouches();

  void addKeyListener(KeyListener* listener);
  void removeKeyListener(KeyListener* listener);
  void startTextInput();
  void stopTextInput();
  bool textInputActive() const { return textInput_; }

  // Queued input, as Display's functions of the same names describe.
  void injectMouseButton(bool down, float wx, float wy);
  void injectMouseMotion(float wx, float wy);
  void injectFinger(FingerPhase phase, std::int64_t finger, float nx, float ny);
  void injectKey(bool down, Key key, int code, bool ctrl, Scancode scancode);

 private:
  void handleMouse(int phase, float px, float py);
  void handleFinger(int phase, std::int64_t finger, float nx, float ny);
  bool dispatchKey(const KeyEvent& e, bool down);
  // Drawable pixels per window point (above 1 on high-density screens).
  float pointsToPixels() const;

  Display& display_;
  bool textInput_ = false;
  bool mouseDown_ = false;
  std::vector<KeyListener*> keyListeners_;
};

}  // namespace peckish::platform
