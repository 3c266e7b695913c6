#pragma once
// The desktop window that stands in for the phone's screen, with its OpenGL ES 1.1 context.
//
// The phone is a 320 x 480 portrait screen held landscape-right; the window shows that screen
// turned, 480 x 320 points scaled by a whole factor in a window (default 2) or by the largest
// factor that fits in fullscreen (fractional allowed), centred with black bars on the edges left
// over. contentScale() is that factor: views that render at it (the Director follows it) give
// pictures of the window's own pixels, placed one to one; smaller pictures are enlarged.
//   the portrait GL point (0, 480) (top left of the portrait screen) shows at the window's
//   lower left; a click at landscape point (x, y), measured from the window's lower left in
//   480 x 320 points, reaches views as the portrait view point (y, x).
//
// Where the picture is drawn (see GLContext::renderbufferStorage):
//   - straight into the window's framebuffer, by a view whose layer asks for it (the Director's)
//     when the window's framebuffer follows the window's size, the layer is the picture's size
//     and RGBA8: the view turns its projection and puts its viewport on contentRect(); presenting
//     is the swap, in the drawing context;
//   - into the view's own surface (a framebuffer object) otherwise: in a real window the present
//     draws it turned into the window once and swaps, in the drawing context; headless (SDL's
//     offscreen driver, whose EGL pbuffer keeps the size it was created with, so that after a
//     resize the pixels past it are never written) the surface is the picture, the present only
//     hands it to the GL, and captures read it from there.
//
// Opening:
//   Display::open(options)       the real window (or SDL's offscreen driver when headless)
//   Display::openHeadless()      tests: offscreen driver, llvmpipe GLES 1.1, no display server
//   Display::ensureOpen()        opens with defaults if nothing is open (headless when
//                                SDL_VIDEODRIVER=offscreen or when there is no display server)
// The display lives until close() (normally the end of the process). Opening leaves a GL context
// current on the calling thread (the display's own root context, which every drawing context shares
// its objects with and captures read in), so tests can issue GL calls at once; engine code makes its
// view's context current instead (GLContext, EAGLView).
// For pixel tests see tests/support/GLTestContext.h.
//
// Events: pumpEvents() (installed as the run loop's event pump by attachToRunLoop) turns focus
// changes, minimising and restoring, and window close into application life-cycle calls
// (platform/Application.h), and hands the rest to the display's Input (platform/Input.h): mouse
// and finger input becomes touches for the key window, keys and game controllers become
// KeyListener calls. F11 and F toggle fullscreen, Ctrl + and Ctrl - step the window scale
// (windowed, within the desktop's usable area), unless a key listener took the key.
//
// Window scale: DisplayOptions::scale 0 opens the largest whole scale whose window fits the
// desktop's usable area; with capToDesktop a larger scale is brought down to that one.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "math/Vec2.h"
#include "platform/GLES.h"
#include "platform/Image.h"
#include "platform/Input.h"

namespace peckish::platform {

class GLContext;

struct DisplayOptions {
  int scale = 2;              // window = 480 * scale x 320 * scale points; 0: the largest that fits
  bool capToDesktop = false;  // a scale larger than the desktop allows opens at the largest that fits
  bool fullscreen = false;    // start fullscreen (desktop resolution, letterboxed)
  bool headless = false;      // SDL's offscreen video driver: no window on screen
  std::string title = "Peckish";
  std::string icon;           // PNG file of the window icon; empty: none
};

// Where the landscape picture lies in the window, in drawable pixels, origin at the top left.
struct ContentRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  float factor = 1.f;  // pixels per point
};

class Display {
 public:
  static constexpr int kScreenWidth = 320;   // portrait points
  static constexpr int kScreenHeight = 480;

  // Opens the one display; when one is open already it is returned unchanged. Null on failure
  // (the reason is logged; noDisplayServer() tells whether no display server could be reached).
  static Display* open(const DisplayOptions& options = {});
  static bool noDisplayServer();
  static Display* openHeadless(int scale = 2);
  static Display& ensureOpen();  // aborts the process if no display can be opened at all
  static Display* shared();      // the open display or null
  static void close();

  const DisplayOptions& options() const { return options_; }
  bool headless() const { return options_.headless; }
  int scale() const { return options_.scale; }

  // The window's drawable size in pixels.
  int width() const;
  int height() const;
  void resize(int width, int height);  // window size in points
  bool fullscreen() const { return fullscreen_; }
  void setFullscreen(bool on);
  void toggleFullscreen() { setFullscreen(!fullscreen_); }
  // The largest whole scale whose window fits the usable area of the window's desktop (1 .. 8).
  int largestFittingScale() const;
  // Resizes the window to 480 * scale x 320 * scale points, scale kept within 1 and the largest
  // that fits. False (nothing changes) in fullscreen or when the scale stays the same.
  bool setScale(int scale);
  // Called after the player's settings of the window change: fullscreen on or off, the scale.
  void setSettingsObserver(std::function<void()> observer) { settingsObserver_ = std::move(observer); }

  ContentRect contentRect() const;
  // Pixels per point of the picture in the window (contentRect().factor).
  float contentScale() const { return contentRect().factor; }
  // The display's refresh rate in frames a second; 60 where it cannot be read.
  double refreshRate() const;
  // A window position in drawable pixels (origin top left) as a portrait view point (320 x 480,
  // origin top left, y down), and back.
  CGPoint windowToView(float wx, float wy) const;
  CGPoint viewToWindow(CGPoint view) const;

  // True when the window's framebuffer keeps the window's size, so pictures may be drawn straight
  // into it: a real window. SDL's offscreen driver keeps its pbuffer at the creation size; tests
  // that keep the window at that size may turn drawing into it on (forceWindowFramebuffer), for
  // surfaces made afterwards.
  bool windowFramebufferFollows() const { return !options_.headless || forceWindowFramebuffer_; }
  void forceWindowFramebuffer(bool on) { forceWindowFramebuffer_ = on; }
  // Where a picture of the window's own size lies in the window's framebuffer (GL window
  // coordinates, origin lower left): contentRect() turned upside down.
  void windowViewport(int viewport[4]) const;

  // Presenting, called by GLContext::presentRenderbuffer with the drawing context current, which
  // stays current. presentWindow: the frame is in the window's framebuffer; swaps.
  // presentSurface: the frame is the w x h portrait picture in `renderbuffer`, attached to
  // `readFramebuffer` of the drawing context (see the class comment).
  bool presentWindow();
  bool presentSurface(GLuint renderbuffer, GLuint readFramebuffer, int width, int height);
  // The bare swap of the window's buffers (benchmarks drawing into the window by hand).
  void swapWindow();
  std::uint64_t presentedFrames() const { return presented_; }
  // Called after every present (for frame limits and the like). Returns an id for removal.
  int addPresentObserver(std::function<void()> observer);
  void removePresentObserver(int id);

  // Frames drawn into the window are only readable before their swap: with this on, each one is
  // read back just before it (for --screenshot and tests; costs a read of the window per frame).
  void setKeepsLastFrame(bool on) { keepsLastFrame_ = on; }
  bool keepsLastFrame() const { return keepsLastFrame_; }
  // The last presented window image (window size, rows top first). Headless, made from the last
  // presented surface as it is now (so before the next frame draws into it); for a frame drawn
  // into the window, the copy kept before its swap (empty unless setKeepsLastFrame). Empty before
  // the first present. The current context is kept.
  Image captureWindow();
  // The last presented surface as it is now (surface size, rows top first); empty when the last
  // frame was drawn straight into the window.
  Image capturePortrait();

  // Events: one pass over the queue, first waiting up to maxWait seconds for an event.
  void pumpEvents(double maxWait = 0.0);
  // Installs pumpEvents as the main run loop's event pump and wakes it for posted tasks.
  void attachToRunLoop();

  void addKeyListener(KeyListener* listener) { input_.addKeyListener(listener); }
  void removeKeyListener(KeyListener* listener) { input_.removeKeyListener(listener); }
  void startTextInput() { input_.startTextInput(); }
  void stopTextInput() { input_.stopTextInput(); }
  bool textInputActive() const { return input_.textInputActive(); }
  // Game controllers (platform/Input.h): how many are plugged in, whether one is in use (since
  // its last button or push, until the mouse moves), and the config folder's mappings read again.
  int padCount() const { return input_.padCount(); }
  bool padActive() const { return input_.padActive(); }
  int loadPadMappings() { return input_.loadPadMappings(); }

  // Test and bot input: queue a mouse event at a window position in drawable pixels, or a finger
  // event (normalised window position 0..1, finger id). Delivered by the next pumpEvents.
  void injectMouseButton(bool down, float wx, float wy) { input_.injectMouseButton(down, wx, wy); }
  void injectMouseMotion(float wx, float wy) { input_.injectMouseMotion(wx, wy); }
  using FingerPhase = platform::FingerPhase;
  void injectFinger(FingerPhase phase, std::int64_t finger, float nx, float ny) {
    input_.injectFinger(phase, finger, nx, ny);
  }
  // A key: its Key (or Key::Other and its key code), Ctrl held, and where it sits on the keyboard.
  void injectKey(bool down, Key key, int code = 0, bool ctrl = false, Scancode scancode = Scancode::Unknown) {
    input_.injectKey(down, key, code, ctrl, scancode);
  }
  void injectWindowEvent(int sdlWindowEvent);  // SDL_WINDOWEVENT_FOCUS_LOST and the like
  void injectQuit();

  // Internals for GLContext: the SDL window and the root context.
  void* nativeWindow() const { return window_; }
  void* rootContext() const { return root_; }
  bool makeCurrentNative(void* sdlContext);

  ~Display();

 private:
  explicit Display(const DisplayOptions& options);
  bool init();
  // Draws the surface's picture turned into the window's framebuffer (drawing context current).
  void drawSurfaceIntoWindow(GLuint readFramebuffer, int width, int height);
  // Reads the window's framebuffer into kept_ (before a swap).
  void keepWindowImage();
  void finishPresent();
  friend class Input;
  void handleEvent(const void* sdlEvent);
  // A key press no key listener took: F11 and F toggle fullscreen, Ctrl + and Ctrl - the scale.
  void windowKey(const KeyEvent& e);
  // Focus lost or window minimised: touches in progress dropped, the application resigns active.
  void leaveForeground();
  // Posts kScreenModeDidChangeNotification when the picture's place in the window changed.
  void checkScreenMode();

  DisplayOptions options_;
  void* window_ = nullptr;     // SDL_Window*
  void* root_ = nullptr;  // SDL_GLContext
  bool fullscreen_ = false;
  bool minimized_ = false;
  bool forceWindowFramebuffer_ = false;
  bool keepsLastFrame_ = false;
  enum class Presented { Nothing, Window, Surface } presentedTo_ = Presented::Nothing;
  GLuint surface_ = 0;  // the last presented surface's renderbuffer (headless)
  int surfaceWidth_ = 0;
  int surfaceHeight_ = 0;
  GLuint frameTexture_ = 0;  // a surface's copy, for drawing it into a real window
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  std::vector<std::uint8_t> kept_;  // the window image read before the last swap, rows bottom first
  int keptWidth_ = 0;
  int keptHeight_ = 0;
  std::uint64_t presented_ = 0;
  std::vector<std::pair<int, std::function<void()>>> presentObservers_;
  int nextObserver_ = 1;
  std::uint32_t wakeEvent_ = 0;
  std::function<void()> settingsObserver_;
  ContentRect lastContent_;
  Input input_{*this};
};

}  // namespace peckish::platform
