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
//     button down is told to them (KeyListener::pointerMoved);
//   - game controllers (any that SDL's game-controller layer maps, plugged in before or during the
//     game) become the same key events, marked KeyEvent::pad: the d-pad and the left stick (past
//     a dead zone, one step a push, repeating while held) the arrows, the south button Return,
//     the east button and Back/Select Escape, Start P. While a pad is in use the mouse cursor is
//     hidden; a mouse move shows it again. A pad unplugged is told to every KeyListener.
//     Mappings come from SDL's own database, SDL_GAMECONTROLLERCONFIG (SDL reads it) and an
//     optional gamecontrollerdb.txt in the config folder (platform/Paths.h). As SDL does by
//     default, pads act only while the window has the focus (tests set
//     SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS). Where SDL has no controller support (no udev,
//     CI) there are simply no pads.
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
  bool pad = false;     // sent by a game controller's button or stick (see Input)
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
  // A game controller was unplugged (every listener is told).
  virtual void padRemoved() {}
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

  // Game controllers. The display opens them once its window is up and closes them before it goes.
  void openPads();
  void closePads();
  // Adds the mappings of the config folder's gamecontrollerdb.txt (none when it is absent);
  // openPads does this first. Returns the number of mappings added.
  int loadPadMappings();
  // Controllers open now.
  int padCount() const { return static_cast<int>(pads_.size()); }
  // True from a pad's first button or push until the mouse moves.
  bool padActive() const { return padActive_; }
  // Repeats the held direction of each pad when due (the display's event pump calls it).
  void repeatPadKeys();

  // A held direction repeats after this long, then at this interval (seconds).
  static constexpr double kRepeatDelay = 0.4;
  static constexpr double kRepeatInterval = 0.12;
  // How far the stick must lean (of 32767) to count as a push, and how far back it must come to
  // count as let go.
  static constexpr int kStickPush = 16000;
  static constexpr int kStickRelease = 10000;

 private:
  struct Pad {
    std::int32_t id = -1;      // SDL's joystick instance id
    void* controller = nullptr;  // SDL_GameController*
    Key held = Key::Other;     // the direction held (d-pad or stick), Key::Other for none
    double nextRepeat = 0.0;
  };
  void padAdded(int deviceIndex);
  void padRemovedEvent(std::int32_t id);
  void padButton(std::int32_t id, int button, bool down);
  // The direction of a pad now: its d-pad, else its stick; holds, releases and presses arrows.
  void padDirection(Pad& pad);
  void padKey(Key key, bool down, bool repeat);
  void setPadActive(bool on);
  Pad* findPad(std::int32_t id);

  void handleMouse(int phase, float px, float py);
  void handleFinger(int phase, std::int64_t finger, float nx, float ny);
  bool dispatchKey(const KeyEvent& e, bool down);
  // Drawable pixels per window point (above 1 on high-density screens).
  float pointsToPixels() const;

  Display& display_;
  bool textInput_ = false;
  bool mouseDown_ = false;
  std::vector<KeyListener*> keyListeners_;
  bool padsOpen_ = false;
  bool padActive_ = false;
  std::vector<Pad> pads_;
};

}  // namespace peckish::platform
