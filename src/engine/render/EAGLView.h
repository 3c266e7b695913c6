#pragma once
// The GL view: a view whose drawable is an OpenGL ES surface. It owns an OpenGL ES 1 context and a
// framebuffer object with a colour renderbuffer whose storage comes from the view's layer and, on
// request, a depth renderbuffer. It makes its context current, presents finished frames, rebuilds
// the surface when its size changes (when autoresizing is on) and converts view points into
// surface pixels. The Director derives from it.
//
//   auto view = EAGLView::create(CGRectMake(0, 0, 320, 480));            // RGB565, no depth
//   auto view = EAGLView::create(frame, kEAGLColorFormatRGBA8, GL_DEPTH_COMPONENT16_OES, false);
//   view->setCurrentContext(); ...draw into view->framebuffer()...; view->swapBuffers();
//
// A subclass uses the protected default constructor and calls initWithFrame from its own
// initialisation (false: the view is unusable). The surface is bounds x contentScaleFactor pixels.
// A view whose layer asks to draw into the window (GLLayer::setDrawsIntoWindow, set before the
// initialisation) may get the window's framebuffer as its surface (see GLContext::
// renderbufferStorage): framebuffer() is then 0, drawsIntoWindow() is true, the surface's
// viewport is the picture's place in the window and projections turn a quarter turn
// counter-clockwise first (turnProjection), so that drawing in portrait shows landscape-right.
// Messages printed on standard output:
//   "OpenGL error 0x%04X in %s\n", "Failed to set current context %p in %s\n",
//   "Failed to clear current context in %s\n", "Failed to swap renderbuffer in %s\n".
#include "platform/GLContext.h"
#include "platform/GLES.h"
#include "platform/View.h"

namespace peckish {

inline constexpr const char* kEAGLColorFormatRGB565 = platform::kEAGLColorFormatRGB565;
inline constexpr const char* kEAGLColorFormatRGBA8 = platform::kEAGLColorFormatRGBA8;

class EAGLView;

class EAGLViewDelegate {
 public:
  virtual ~EAGLViewDelegate() = default;
  // Sent after every successful surface creation.
  virtual void didResizeEAGLSurfaceForView(EAGLView* view) = 0;
};

class EAGLView : public platform::View {
 public:
  // Null when the context or the surface cannot be created.
  static Ref<EAGLView> create(CGRect frame);
  static Ref<EAGLView> create(CGRect frame, const char* format);
  static Ref<EAGLView> create(CGRect frame, const char* format, unsigned depthFormat, bool preserveBackbuffer);
  ~EAGLView() override;

  void layoutSubviews() override;
  // Sets autoresizing; turning it on runs layoutSubviews at once.
  void setAutoresizesEAGLSurface(bool autoresize);
  bool autoresizesSurface() const { return autoresize_; }
  void setAutoresizesSurface(bool autoresize) { autoresize_ = autoresize; }

  void setCurrentContext();
  bool isCurrentContext() const;
  void clearCurrentContext();
  void swapBuffers();

  CGPoint convertPointFromViewToSurface(CGPoint point) const;
  CGRect convertRectFromViewToSurface(CGRect rect) const;

  platform::GLContext* context() const { return context_.get(); }
  unsigned depthFormat() const { return depthFormat_; }
  const char* pixelFormat() const { return format_; }
  GLuint framebuffer() const { return framebuffer_; }
  bool drawsIntoWindow() const { return drawsIntoWindow_; }
  // Sets the viewport to the surface: all of an own surface, the picture's place in the window.
  void applySurfaceViewport() const;
  // With the projection matrix current and loaded with the identity: the window's quarter turn,
  // when drawing into the window (nothing otherwise).
  void turnProjection() const;
  GLuint renderbuffer() const { return renderbuffer_; }
  GLuint depthBuffer() const { return depthBuffer_; }
  CGSize surfaceSize() const { return size_; }
  platform::GLLayer& layer() { return layer_; }
  const platform::GLLayer& layer() const { return layer_; }

  EAGLViewDelegate* delegate() const { return delegate_; }
  void setDelegate(EAGLViewDelegate* delegate) { delegate_ = delegate; }

 protected:
  EAGLView() = default;
  // Designated initialiser. False when the frame is invalid or the context or surface cannot be
  // created; the view must then be dropped.
  bool initWithFrame(CGRect frame, const char* format, unsigned depthFormat = 0, bool preserveBackbuffer = false);
  bool initWithFrame(CGRect frame) { return initWithFrame(frame, kEAGLColorFormatRGB565); }

  bool createSurface();
  void destroySurface();

 private:
  void updateLayerBounds();
  CGSize roundedLayerSize() const;

  const char* format_ = kEAGLColorFormatRGB565;
  unsigned depthFormat_ = 0;
  bool autoresize_ = false;
  Ref<platform::GLContext> context_;
  GLuint framebuffer_ = 0;
  GLuint renderbuffer_ = 0;
  GLuint depthBuffer_ = 0;
  CGSize size_{};
  bool hasBeenCurrent_ = false;
  bool framebufferWasBound_ = false;  // ours was bound when the surface was last destroyed
  bool drawsIntoWindow_ = false;
  EAGLViewDelegate* delegate_ = nullptr;
  platform::GLLayer layer_;
};

}  // namespace peckish
