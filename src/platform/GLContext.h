#pragma once
// The phone's GL drawable layer and rendering context, over one SDL/EGL context each.
//
//   GLLayer     the drawable a view renders into: its pixel size and its drawable properties
//               (retained backing, colour format).
//   GLContext   an OpenGL ES 1 rendering context. All contexts share textures with each other and
//               with the display's own root context. Current-context tracking is explicit
//               (setCurrentContext / currentContext), renderbufferStorage gives the bound colour
//               renderbuffer storage of the layer's size and format, presentRenderbuffer puts the
//               bound renderbuffer's picture on screen (see Display: "Where the picture is drawn").
//
// A context needs the display: GLContext::create opens it on first use (headless when
// SDL_VIDEODRIVER=offscreen or when there is no display server), so tests may simply create one.
#include <map>

#include "core/Object.h"
#include "math/Vec2.h"
#include "platform/GLES.h"

namespace peckish::platform {

// Drawable colour formats (the values of the layer's colour-format property).
inline constexpr const char* kEAGLColorFormatRGB565 = "RGB565";
inline constexpr const char* kEAGLColorFormatRGBA8 = "RGBA8";

enum class RenderingAPI { OpenGLES1 = 1, OpenGLES2 = 2 };

class GLLayer {
 public:
  void setDrawableProperties(bool retainedBacking, const char* colorFormat) {
    retainedBacking_ = retainedBacking;
    colorFormat_ = colorFormat;
  }
  bool retainedBacking() const { return retainedBacking_; }
  const char* colorFormat() const { return colorFormat_; }
  // A layer that fills the window may be drawn straight into the window's framebuffer where that
  // can be done (see GLContext::renderbufferStorage). Off by default.
  void setDrawsIntoWindow(bool on) { drawsIntoWindow_ = on; }
  bool drawsIntoWindow() const { return drawsIntoWindow_; }

  // The layer's bounds in pixels (the owning view's bounds times its content scale).
  CGRect bounds() const { return bounds_; }
  void setBounds(CGRect b) { bounds_ = b; }

 private:
  bool retainedBacking_ = false;
  bool drawsIntoWindow_ = false;
  const char* colorFormat_ = kEAGLColorFormatRGB565;
  CGRect bounds_{};
};

class GLContext : public Object {
 public:
  // A new context for the API (only OpenGLES1 is available), or null. Does not make it current.
  static Ref<GLContext> create(RenderingAPI api = RenderingAPI::OpenGLES1);
  ~GLContext() override;

  // Makes ctx current on the calling thread; null makes no context current. False on failure.
  static bool setCurrentContext(GLContext* ctx);
  static GLContext* currentContext();

  RenderingAPI api() const { return RenderingAPI::OpenGLES1; }

  // Gives the renderbuffer bound to target (GL_RENDERBUFFER_OES) storage of the layer's bounds,
  // rounded to whole pixels, in the layer's colour format. Needs this context current.
  // False for an unknown format, an empty size or a GL failure.
  // The picture is drawn straight into the window's framebuffer instead (windowStorage tells)
  // when the layer asks for it, the window's framebuffer follows the window's size (a real
  // window), the format is RGBA8 (the window's own; an RGB565 layer keeps a 565 surface of its
  // own) and the layer's size is the picture's in the window (contentRect, turned portrait).
  bool renderbufferStorage(GLenum target, const GLLayer& layer);
  // Whether the renderbuffer's storage stands for the window's framebuffer: its owner binds
  // framebuffer 0, puts its viewport on the window's picture (windowViewport) and turns its
  // projection a quarter turn counter-clockwise (portrait top left to the window's lower left).
  bool windowStorage(GLuint renderbuffer) const;
  // The picture's place in the window's framebuffer (x, y, width, height; GL window coordinates).
  static void windowViewport(GLint viewport[4]);

  // Shows the picture of the renderbuffer bound to target (one that got its storage from a layer
  // through this context): swaps the window's buffers after drawing it there, or hands the
  // surface to the display. Needs this context current and keeps it so, without waiting for the
  // GL. False when the bound renderbuffer has no layer storage.
  bool presentRenderbuffer(GLenum target);

  // The SDL context handle (SDL_GLContext).
  void* nativeHandle() const { return handle_; }

 private:
  explicit GLContext(void* handle) : handle_(handle) {}
  struct LayerStorage {
    GLuint readFramebuffer = 0;  // private framebuffer with the renderbuffer attached, for copying
    int width = 0;
    int height = 0;
    bool window = false;  // stands for the window's framebuffer
  };
  void forgetStorage();

  void* handle_ = nullptr;
  std::map<GLuint, LayerStorage> storage_;  // by renderbuffer name
};

}  // namespace peckish::platform
