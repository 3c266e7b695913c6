#include "platform/GLContext.h"

#include <SDL.h>

#include <cmath>
#include <cstring>

#include "core/Log.h"
#include "platform/Display.h"

namespace peckish::platform {
namespace {

GLContext* gCurrent = nullptr;

bool sameFormat(const char* a, const char* b) { return a == b || (a && b && std::strcmp(a, b) == 0); }

SDL_Window* sdlWindow() {
  Display* d = Display::shared();
  return d ? static_cast<SDL_Window*>(d->nativeWindow()) : nullptr;
}

}  // namespace

Ref<GLContext> GLContext::create(RenderingAPI api) {
  if (api != RenderingAPI::OpenGLES1) return nullptr;
  Display& display = Display::ensureOpen();
  SDL_Window* window = static_cast<SDL_Window*>(display.nativeWindow());
  SDL_GLContext previous = SDL_GL_GetCurrentContext();
  // Every context shares objects with the root context, so captures can read their pictures.
  if (SDL_GL_MakeCurrent(window, display.rootContext()) != 0) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_GLContext handle = SDL_GL_CreateContext(window);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  // The new context is current: it swaps the window itself, so it waits for the display's
  // refresh as the window does (none headless).
  if (handle) SDL_GL_SetSwapInterval(display.headless() ? 0 : 1);
  SDL_GL_MakeCurrent(window, previous);
  if (!handle) {
    engineLog("GL context creation failed: %s", SDL_GetError());
    return nullptr;
  }
  return Ref<GLContext>(new GLContext(handle));
}

GLContext::~GLContext() {
  SDL_Window* window = sdlWindow();
  if (window && handle_) {
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    if (!storage_.empty() && SDL_GL_MakeCurrent(window, handle_) == 0) forgetStorage();
    if (previous != handle_) SDL_GL_MakeCurrent(window, previous);
    else SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(handle_);
  }
  if (gCurrent == this) gCurrent = nullptr;
}

bool GLContext::setCurrentContext(GLContext* ctx) {
  SDL_Window* window = sdlWindow();
  if (!window) return ctx == nullptr;
  if (SDL_GL_MakeCurrent(window, ctx ? ctx->handle_ : nullptr) != 0) return false;
  gCurrent = ctx;
  return true;
}

GLContext* GLContext::currentContext() {
  if (gCurrent && SDL_GL_GetCurrentContext() != gCurrent->handle_) return nullptr;
  return gCurrent;
}

void GLContext::forgetStorage() {
  for (auto& [name, s] : storage_) {
    if (s.readFramebuffer) glDeleteFramebuffersOES(1, &s.readFramebuffer);
  }
  storage_.clear();
}

bool GLContext::renderbufferStorage(GLenum target, const GLLayer& layer) {
  if (target != GL_RENDERBUFFER_OES || SDL_GL_GetCurrentContext() != handle_) return false;
  GLenum internal;
  if (sameFormat(layer.colorFormat(), kEAGLColorFormatRGB565)) internal = GL_RGB565_OES;
  else if (sameFormat(layer.colorFormat(), kEAGLColorFormatRGBA8)) internal = GL_RGBA8_OES;
  else return false;
  const CGSize size = layer.bounds().size;
  if (!std::isfinite(size.width) || !std::isfinite(size.height)) return false;
  const long w = std::lround(size.width);
  const long h = std::lround(size.height);
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_OES, &maxSize);
  if (w <= 0 || h <= 0 || w > maxSize || h > maxSize) return false;
  GLint bound = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &bound);
  if (bound == 0) return false;
  const GLuint name = static_cast<GLuint>(bound);

  glRenderbufferStorageOES(GL_RENDERBUFFER_OES, internal, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  GLint gotW = 0, gotH = 0;
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_WIDTH_OES, &gotW);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_HEIGHT_OES, &gotH);
  if (gotW != w || gotH != h) return false;

  // Drop records of renderbuffers deleted since, and any earlier record under this name.
  for (auto it = storage_.begin(); it != storage_.end();) {
    if (it->first == name || !glIsRenderbufferOES(it->first)) {
      glDeleteFramebuffersOES(1, &it->second.readFramebuffer);
      it = storage_.erase(it);
    } else {
      ++it;
    }
  }
  LayerStorage s;
  s.width = static_cast<int>(w);
  s.height = static_cast<int>(h);
  GLint previousFramebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &previousFramebuffer);
  glGenFramebuffersOES(1, &s.readFramebuffer);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, s.readFramebuffer);
  glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, name);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(previousFramebuffer));
  // Straight into the window where it can follow: the layer's size is the picture's (turned).
  Display* display = Display::shared();
  if (layer.drawsIntoWindow() && internal == GL_RGBA8_OES && display && display->windowFramebufferFollows()) {
    const ContentRect r = display->contentRect();
    s.window = r.height == s.width && r.width == s.height;
  }
  storage_[name] = s;
  return true;
}

bool GLContext::windowStorage(GLuint renderbuffer) const {
  auto it = storage_.find(renderbuffer);
  return it != storage_.end() && it->second.window;
}

void GLContext::windowViewport(GLint v[4]) {
  int r[4] = {0, 0, 0, 0};
  if (Display* display = Display::shared()) display->windowViewport(r);
  for (int i = 0; i < 4; ++i) v[i] = r[i];
}

bool GLContext::presentRenderbuffer(GLenum target) {
  Display* display = Display::shared();
  if (!display || target != GL_RENDERBUFFER_OES || SDL_GL_GetCurrentContext() != handle_) return false;
  GLint bound = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &bound);
  auto it = storage_.find(static_cast<GLuint>(bound));
  if (bound == 0 || it == storage_.end() || !glIsRenderbufferOES(static_cast<GLuint>(bound))) return false;
  // A name deleted and bound again is a new renderbuffer without the layer's storage.
  GLint w = 0, h = 0;
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_WIDTH_OES, &w);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_HEIGHT_OES, &h);
  if (w != it->second.width || h != it->second.height) return false;
  if (it->second.window) return display->presentWindow();
  return display->presentSurface(it->first, it->second.readFramebuffer, it->second.width, it->second.height);
}

}  // namespace peckish::platform
