#include "platform/Display.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "BuildConfig.h"
#include "core/Log.h"
#include "platform/Application.h"
#include "platform/GLContext.h"
#include "platform/Notifications.h"
#include "platform/RunLoop.h"

namespace peckish::platform {
namespace {

constexpr int kLandscapeWidth = Display::kScreenHeight;   // 480 points
constexpr int kLandscapeHeight = Display::kScreenWidth;   // 320 points

Display* gDisplay = nullptr;
bool gNoDisplayServer = false;

int nextPowerOfTwo(int v) {
  int p = 1;
  while (p < v) p <<= 1;
  return p;
}

// The picture's place in a w x h window: the largest factor that fits, a whole one in a window
// (so Ctrl +/- and resizing step through sizes the player can predict), any in fullscreen, where
// the picture is rendered at the screen's own resolution and fills as much of it as it can.
ContentRect layoutContent(int w, int h, bool fullscreen) {
  ContentRect r;
  if (w <= 0 || h <= 0) return r;
  float f = std::min(static_cast<float>(w) / kLandscapeWidth, static_cast<float>(h) / kLandscapeHeight);
  if (f >= 1.f && !fullscreen) f = std::floor(f);
  r.factor = f;
  r.width = static_cast<int>(std::lround(kLandscapeWidth * f));
  r.height = static_cast<int>(std::lround(kLandscapeHeight * f));
  r.x = (w - r.width) / 2;
  r.y = (h - r.height) / 2;
  return r;
}

bool hasEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// For a window on screen with no driver chosen: false when no display server can be reached at
// all. Wayland is left out where it cannot connect (libwayland would say so on standard error).
bool chooseWindowDriver() {
  if (hasEnv("SDL_VIDEODRIVER")) return true;
  if (hasEnv("WAYLAND_DISPLAY") || hasEnv("XDG_RUNTIME_DIR")) return true;
  if (!hasEnv("DISPLAY")) return false;
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  return true;
}

bool isHeadlessDriver(const char* name) {
  return name && (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0);
}

bool wantHeadlessByDefault() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && std::strcmp(driver, "offscreen") == 0) return true;
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return !(x && *x) && !(wl && *wl);
}

}  // namespace

Display::Display(const DisplayOptions& options) : options_(options) {}

Display* Display::shared() { return gDisplay; }

bool Display::noDisplayServer() { return gNoDisplayServer; }

Display* Display::open(const DisplayOptions& requested) {
  if (gDisplay) return gDisplay;
  DisplayOptions options = requested;
  options.scale = std::clamp(options.scale, 0, 8);
  gNoDisplayServer = false;
  auto* d = new Display(options);
  if (!d->init()) {
    delete d;
    return nullptr;
  }
  gDisplay = d;
  return d;
}

Display* Display::openHeadless(int scale) {
  DisplayOptions o;
  o.scale = scale;
  o.headless = true;
  return open(o);
}

Display& Display::ensureOpen() {
  if (gDisplay) return *gDisplay;
  DisplayOptions o;
  o.headless = wantHeadlessByDefault();
  Display* d = open(o);
  if (!d && !o.headless) d = openHeadless(o.scale);
  if (!d) {
    std::fprintf(stderr, "peckish: no OpenGL ES 1.1 display could be opened\n");
    std::abort();
  }
  return *d;
}

void Display::close() {
  Display* d = gDisplay;
  gDisplay = nullptr;
  delete d;
}

bool Display::init() {
  if (options_.headless) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // Mouse input is the one finger; SDL must not invent mouse events for real touches.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // The window's class (X11) and application id (Wayland) name the desktop entry.
  setenv("SDL_VIDEO_X11_WMCLASS", PECKISH_APP_ID, 0);
  setenv("SDL_VIDEO_WAYLAND_WMCLASS", PECKISH_APP_ID, 0);
  if (!options_.headless && !chooseWindowDriver()) {
    engineLog("display: no display server (DISPLAY and WAYLAND_DISPLAY are unset)");
    gNoDisplayServer = true;
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    engineLog("display: SDL video initialisation failed: %s", SDL_GetError());
    gNoDisplayServer = !options_.headless;
    return false;
  }
  // SDL falls back to its offscreen driver when no display server answers: no window anyone sees.
  if (!options_.headless && isHeadlessDriver(SDL_GetCurrentVideoDriver())) {
    engineLog("display: no display server reached (SDL chose %s)", SDL_GetCurrentVideoDriver());
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    gNoDisplayServer = true;
    return false;
  }
  if (options_.scale == 0 || options_.capToDesktop) {
    const int fits = largestFittingScale();
    if (options_.scale == 0 || options_.scale > fits) options_.scale = fits;
  }
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  if (options_.fullscreen && !options_.headless) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  SDL_Window* window = SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        kLandscapeWidth * options_.scale, kLandscapeHeight * options_.scale, flags);
  if (!window) {
    engineLog("display: window creation failed: %s", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  window_ = window;
  SDL_SetWindowMinimumSize(window, kLandscapeWidth / 2, kLandscapeHeight / 2);
  if (!options_.icon.empty()) {
    Image icon = readPNG(options_.icon);
    SDL_Surface* surface =
        icon.empty() ? nullptr
                     : SDL_CreateRGBSurfaceWithFormatFrom(icon.rgba.data(), icon.width, icon.height, 32, icon.width * 4,
                                                          SDL_PIXELFORMAT_RGBA32);
    if (surface) {
      SDL_SetWindowIcon(window, surface);
      SDL_FreeSurface(surface);
    } else {
      engineLog("display: no window icon from %s", options_.icon.c_str());
    }
  }
  SDL_GLContext ctx = SDL_GL_CreateContext(window);
  const char* version = ctx ? reinterpret_cast<const char*>(glGetString(GL_VERSION)) : nullptr;
  if (!ctx || !version || !std::strstr(version, "OpenGL ES-CM 1.")) {
    engineLog("display: no OpenGL ES 1.1 context: %s", ctx ? (version ? version : "?") : SDL_GetError());
    if (ctx) SDL_GL_DeleteContext(ctx);
    SDL_DestroyWindow(window);
    window_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  root_ = ctx;
  if (!hasGLExtension("GL_OES_framebuffer_object")) {
    engineLog("display: the OpenGL ES driver lacks GL_OES_framebuffer_object");
  }
  SDL_GL_SetSwapInterval(options_.headless ? 0 : 1);
  fullscreen_ = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
  lastContent_ = contentRect();
  wakeEvent_ = SDL_RegisterEvents(1);
  SDL_StopTextInput();
  input_.openPads();
  return true;
}

Display::~Display() {
  if (RunLoop::main().isMainThread()) {
    RunLoop::main().setEventPump(nullptr);
    RunLoop::main().setWakeup(nullptr);
  }
  if (window_) {
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), root_);
    if (frameTexture_) glDeleteTextures(1, &frameTexture_);
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), nullptr);
    SDL_GL_DeleteContext(root_);
    SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  }
  input_.closePads();
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

int Display::width() const {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), &w, &h);
  return w;
}

int Display::height() const {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), &w, &h);
  return h;
}

void Display::resize(int w, int h) {
  if (w <= 0 || h <= 0) return;
  SDL_SetWindowSize(static_cast<SDL_Window*>(window_), w, h);
  checkScreenMode();
}

void Display::setFullscreen(bool on) {
  if (on == fullscreen_) return;
  // Headless: nothing to show; the state is remembered for the caller.
  if (options_.headless ||
      SDL_SetWindowFullscreen(static_cast<SDL_Window*>(window_), on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0) {
    fullscreen_ = on;
    if (settingsObserver_) settingsObserver_();
  }
  checkScreenMode();
}

int Display::largestFittingScale() const {
  const int index = window_ ? SDL_GetWindowDisplayIndex(static_cast<SDL_Window*>(window_)) : 0;
  SDL_Rect usable{};
  if (SDL_GetDisplayUsableBounds(index < 0 ? 0 : index, &usable) != 0 || usable.w <= 0 || usable.h <= 0) {
    return 2;
  }
  return std::clamp(std::min(usable.w / kLandscapeWidth, usable.h / kLandscapeHeight), 1, 8);
}

bool Display::setScale(int scale) {
  scale = std::clamp(scale, 1, largestFittingScale());
  if (fullscreen_ || scale == options_.scale) return false;
  options_.scale = scale;
  SDL_SetWindowSize(static_cast<SDL_Window*>(window_), kLandscapeWidth * scale, kLandscapeHeight * scale);
  checkScreenMode();
  if (settingsObserver_) settingsObserver_();
  return true;
}

ContentRect Display::contentRect() const { return layoutContent(width(), height(), fullscreen_); }

void Display::checkScreenMode() {
  const ContentRect now = contentRect();
  if (now.x == lastContent_.x && now.y == lastContent_.y && now.width == lastContent_.width &&
      now.height == lastContent_.height && now.factor == lastContent_.factor)
    return;
  lastContent_ = now;
  NotificationCenter::defaultCenter().post(kScreenModeDidChangeNotification, this);
}

double Display::refreshRate() const {
  SDL_DisplayMode mode{};
  SDL_Window* window = static_cast<SDL_Window*>(window_);
  if (window && SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
  const int index = window ? SDL_GetWindowDisplayIndex(window) : 0;
  if (SDL_GetCurrentDisplayMode(index < 0 ? 0 : index, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
  return 60.0;
}

CGPoint Display::windowToView(float wx, float wy) const {
  const ContentRect r = contentRect();
  if (r.factor <= 0.f) return CGPoint{};
  const float lx = (wx - r.x) / r.factor;                       // landscape x, from the left
  const float ly = kLandscapeHeight - (wy - r.y) / r.factor;    // landscape y, from the bottom
  return CGPoint{ly, lx};
}

CGPoint Display::viewToWindow(CGPoint view) const {
  const ContentRect r = contentRect();
  return CGPoint{r.x + view.y * r.factor, r.y + (kLandscapeHeight - view.x) * r.factor};
}

bool Display::makeCurrentNative(void* sdlContext) {
  return SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), static_cast<SDL_GLContext>(sdlContext)) == 0;
}

void Display::windowViewport(int v[4]) const {
  const ContentRect r = contentRect();
  v[0] = r.x;
  v[1] = height() - r.y - r.height;
  v[2] = r.width;
  v[3] = r.height;
}

bool Display::presentWindow() {
  if (keepsLastFrame_) keepWindowImage();
  SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
  presentedTo_ = Presented::Window;
  surface_ = 0;
  finishPresent();
  return true;
}

bool Display::presentSurface(GLuint renderbuffer, GLuint readFramebuffer, int w, int h) {
  if (w <= 0 || h <= 0) return false;
  if (windowFramebufferFollows()) {
    GLint previousFramebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &previousFramebuffer);
    drawSurfaceIntoWindow(readFramebuffer, w, h);
    if (keepsLastFrame_) keepWindowImage();
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(previousFramebuffer));
    presentedTo_ = Presented::Window;
    surface_ = 0;
  } else {
    // Headless: the surface is the picture. The flush hands the frame to the GL as a swap would.
    glFlush();
    presentedTo_ = Presented::Surface;
    surface_ = renderbuffer;
    surfaceWidth_ = w;
    surfaceHeight_ = h;
  }
  finishPresent();
  return true;
}

void Display::swapWindow() { SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_)); }

void Display::finishPresent() {
  ++presented_;
  // Observers may add or remove observers; work on a copy.
  auto observers = presentObservers_;
  for (auto& [id, fn] : observers) {
    if (fn) fn();
  }
}

void Display::drawSurfaceIntoWindow(GLuint readFramebuffer, int w, int h) {
  // In the drawing context, whose state is the view's: what is changed here is put back.
  GLint previousTexture = 0, previousUnit = GL_TEXTURE0, previousClientUnit = GL_TEXTURE0, previousBuffer = 0;
  GLint previousViewport[4] = {};
  GLint previousEnv = GL_MODULATE;
  GLint previousMatrixMode = GL_MODELVIEW;
  GLfloat previousColor[4] = {1.f, 1.f, 1.f, 1.f}, previousClear[4] = {0.f, 0.f, 0.f, 1.f};
  glGetIntegerv(GL_MATRIX_MODE, &previousMatrixMode);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, previousClear);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &previousUnit);
  glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &previousClientUnit);
  glActiveTexture(GL_TEXTURE0);
  glClientActiveTexture(GL_TEXTURE0);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previousBuffer);
  glGetIntegerv(GL_VIEWPORT, previousViewport);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &previousEnv);
  glGetFloatv(GL_CURRENT_COLOR, previousColor);
  const GLenum caps[] = {GL_BLEND, GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_TEXTURE_2D, GL_ALPHA_TEST, GL_CULL_FACE};
  const GLenum arrays[] = {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_COLOR_ARRAY, GL_NORMAL_ARRAY,
                           GL_POINT_SIZE_ARRAY_OES};
  GLboolean capOn[std::size(caps)], arrayOn[std::size(arrays)];
  for (size_t i = 0; i < std::size(caps); ++i) capOn[i] = glIsEnabled(caps[i]);
  for (size_t i = 0; i < std::size(arrays); ++i) arrayOn[i] = glIsEnabled(arrays[i]);

  // The picture's copy, in a texture every context shares.
  if (!frameTexture_) glGenTextures(1, &frameTexture_);
  glBindTexture(GL_TEXTURE_2D, frameTexture_);
  if (w > textureWidth_ || h > textureHeight_) {
    textureWidth_ = std::max(textureWidth_, nextPowerOfTwo(w));
    textureHeight_ = std::max(textureHeight_, nextPowerOfTwo(h));
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, textureWidth_, textureHeight_, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, readFramebuffer);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, w, h);

  glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
  for (GLenum c : caps) glDisable(c);
  for (GLenum a : arrays) glDisableClientState(a);
  const int tw = width(), th = height();
  glViewport(0, 0, tw, th);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  int v[4];
  windowViewport(v);
  glViewport(v[0], v[1], v[2], v[3]);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const float s1 = static_cast<float>(w) / static_cast<float>(textureWidth_);
  const float t1 = static_cast<float>(h) / static_cast<float>(textureHeight_);
  // Landscape-right: the window's lower left shows the portrait top left (texture t at its top),
  // the window's right edge shows the portrait bottom edge.
  const GLfloat vertices[] = {-1.f, -1.f, 1.f, -1.f, 1.f, 1.f, -1.f, 1.f};
  const GLfloat texcoords[] = {0.f, t1, 0.f, 0.f, s1, 0.f, s1, t1};
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, vertices);
  glTexCoordPointer(2, GL_FLOAT, 0, texcoords);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisable(GL_TEXTURE_2D);

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(static_cast<GLenum>(previousMatrixMode));
  glClearColor(previousClear[0], previousClear[1], previousClear[2], previousClear[3]);
  for (size_t i = 0; i < std::size(caps); ++i) capOn[i] ? glEnable(caps[i]) : glDisable(caps[i]);
  for (size_t i = 0; i < std::size(arrays); ++i)
    arrayOn[i] ? glEnableClientState(arrays[i]) : glDisableClientState(arrays[i]);
  glColor4f(previousColor[0], previousColor[1], previousColor[2], previousColor[3]);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, previousEnv);
  glViewport(previousViewport[0], previousViewport[1], previousViewport[2], previousViewport[3]);
  glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previousBuffer));
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
  glClientActiveTexture(static_cast<GLenum>(previousClientUnit));
  glActiveTexture(static_cast<GLenum>(previousUnit));
}

void Display::keepWindowImage() {
  const int w = width(), h = height();
  if (w <= 0 || h <= 0) return;
  kept_.resize(static_cast<size_t>(w) * h * 4);  // allocates only when the window grows
  keptWidth_ = w;
  keptHeight_ = h;
  GLint previousFramebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &previousFramebuffer);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, kept_.data());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(previousFramebuffer));
}

int Display::addPresentObserver(std::function<void()> observer) {
  const int id = nextObserver_++;
  presentObservers_.emplace_back(id, std::move(observer));
  return id;
}

void Display::removePresentObserver(int id) {
  std::erase_if(presentObservers_, [id](const auto& e) { return e.first == id; });
}

namespace {

// An image of w x h pixels from rows stored bottom first.
Image flipRows(const std::uint8_t* rows, int w, int h) {
  Image img;
  img.width = w;
  img.height = h;
  img.rgba.resize(static_cast<size_t>(w) * h * 4);
  const size_t stride = static_cast<size_t>(w) * 4;
  for (int y = 0; y < h; ++y) {
    std::memcpy(&img.rgba[static_cast<size_t>(y) * stride], &rows[static_cast<size_t>(h - 1 - y) * stride], stride);
  }
  return img;
}

// Reads the bound framebuffer into an image with rows top first.
Image readBack(int w, int h) {
  std::vector<std::uint8_t> rows(static_cast<size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
  return flipRows(rows.data(), w, h);
}

}  // namespace

Image Display::capturePortrait() {
  if (presentedTo_ != Presented::Surface || surface_ == 0) return {};
  SDL_Window* window = static_cast<SDL_Window*>(window_);
  SDL_GLContext previous = SDL_GL_GetCurrentContext();
  // The surface was drawn in another context of the share group: let its drawing finish first.
  if (previous) glFinish();
  if (SDL_GL_MakeCurrent(window, root_) != 0) return {};
  Image img;
  if (glIsRenderbufferOES(surface_)) {
    GLuint fb = 0;
    glGenFramebuffersOES(1, &fb);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, fb);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, surface_);
    if (glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES) {
      img = readBack(surfaceWidth_, surfaceHeight_);
    }
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
    glDeleteFramebuffersOES(1, &fb);
  }
  SDL_GL_MakeCurrent(window, previous);
  return img;
}

Image Display::captureWindow() {
  if (presentedTo_ == Presented::Window) {
    if (keptWidth_ <= 0 || kept_.empty()) return {};
    return flipRows(kept_.data(), keptWidth_, keptHeight_);
  }
  const Image portrait = capturePortrait();
  const int w = width(), h = height();
  if (portrait.empty() || w <= 0 || h <= 0) return {};
  // The picture turned into the window as the GL would draw it: nearest pixels, sampled at the
  // centres of the window's pixels in contentRect() (letterbox bars black).
  Image img;
  img.width = w;
  img.height = h;
  img.rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 3; i < img.rgba.size(); i += 4) img.rgba[i] = 255;
  const ContentRect r = contentRect();
  const int pw = portrait.width, ph = portrait.height;
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, h); ++y) {
    // Up the window is along the portrait x axis.
    const float up = (static_cast<float>(r.y + r.height - 1 - y) + 0.5f) / static_cast<float>(r.height);
    const int px = std::min(pw - 1, static_cast<int>(up * static_cast<float>(pw)));
    for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, w); ++x) {
      // Rightwards is down the portrait picture: the right edge shows its bottom row.
      const float right = (static_cast<float>(x - r.x) + 0.5f) / static_cast<float>(r.width);
      const int fromBottom = std::min(ph - 1, static_cast<int>((1.f - right) * static_cast<float>(ph)));
      const int py = ph - 1 - fromBottom;
      std::memcpy(&img.rgba[(static_cast<size_t>(y) * w + x) * 4],
                  &portrait.rgba[(static_cast<size_t>(py) * pw + px) * 4], 4);
    }
  }
  return img;
}

// ---- events ----

void Display::attachToRunLoop() {
  RunLoop::main().setEventPump([this](double maxWait) { pumpEvents(maxWait); });
  const Uint32 type = wakeEvent_;
  RunLoop::main().setWakeup([type] {
    if (type == static_cast<Uint32>(-1)) return;
    SDL_Event e{};
    e.type = type;
    SDL_PushEvent(&e);
  });
}

void Display::pumpEvents(double maxWait) {
  SDL_Event e;
  bool have;
  if (maxWait > 0) {
    const int ms = static_cast<int>(std::ceil(std::min(maxWait, 1.0) * 1000.0));
    have = SDL_WaitEventTimeout(&e, ms) != 0;
  } else {
    have = SDL_PollEvent(&e) != 0;
  }
  while (have) {
    handleEvent(&e);
    have = SDL_PollEvent(&e) != 0;
  }
  input_.repeatPadKeys();
}

void Display::handleEvent(const void* raw) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  switch (e.type) {
    case SDL_QUIT:
      Application::sharedApplication()->terminate();
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
          leaveForeground();
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          // Minimised counts as losing focus, whether or not the desktop also takes the focus.
          minimized_ = true;
          leaveForeground();
          break;
        case SDL_WINDOWEVENT_RESTORED:
          // Also sent when a maximised window returns to its size: only a minimised one comes back.
          if (!minimized_) break;
          minimized_ = false;
          if (Application::exists()) Application::sharedApplication()->becomeActive();
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          minimized_ = false;
          if (Application::exists()) Application::sharedApplication()->becomeActive();
          break;
        case SDL_WINDOWEVENT_CLOSE:
          Application::sharedApplication()->terminate();
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          checkScreenMode();
          break;
        default:
          break;
      }
      break;
    default:
      input_.handleEvent(raw);
      break;
  }
}

void Display::windowKey(const KeyEvent& k) {
  if (k.repeat) return;
  if (k.key == Key::F11 || (k.key == Key::F && !input_.textInputActive() && !k.ctrl && !k.alt)) {
    toggleFullscreen();
  } else if (k.ctrl && !k.alt) {
    const SDL_Keycode c = k.code;
    if (c == SDLK_PLUS || c == SDLK_EQUALS || c == SDLK_KP_PLUS) setScale(options_.scale + 1);
    if (c == SDLK_MINUS || c == SDLK_KP_MINUS) setScale(options_.scale - 1);
    // Ctrl+Q quits as closing the window does (by the letter the layout types there).
    if (c == SDLK_q) injectQuit();
  }
}

void Display::leaveForeground() {
  input_.cancelTouches();
  if (Application::exists()) Application::sharedApplication()->resignActive();
}

// ---- injected window events ----

void Display::injectWindowEvent(int sdlWindowEvent) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(window_));
  e.window.event = static_cast<Uint8>(sdlWindowEvent);
  SDL_PushEvent(&e);
}

void Display::injectQuit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

}  // namespace peckish::platform
