#include "engine/render/EAGLView.h"

#include <cmath>
#include <cstdio>

#include "engine/render/QuadBatch.h"

namespace peckish {
namespace {

void reportGLError(const char* where) {
  const GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    std::printf("OpenGL error 0x%04X in %s\n", static_cast<unsigned>(err), where);
    std::fflush(stdout);
  }
}

}  // namespace

Ref<EAGLView> EAGLView::create(CGRect frame) { return create(frame, kEAGLColorFormatRGB565, 0, false); }

Ref<EAGLView> EAGLView::create(CGRect frame, const char* format) { return create(frame, format, 0, false); }

Ref<EAGLView> EAGLView::create(CGRect frame, const char* format, unsigned depthFormat, bool preserveBackbuffer) {
  Ref<EAGLView> view(new EAGLView());
  if (!view->initWithFrame(frame, format, depthFormat, preserveBackbuffer)) return nullptr;
  return view;
}

bool EAGLView::initWithFrame(CGRect frame, const char* format, unsigned depthFormat, bool preserveBackbuffer) {
  if (!View::initWithFrame(frame)) return false;
  layer_.setDrawableProperties(preserveBackbuffer, format);
  updateLayerBounds();
  format_ = format;
  depthFormat_ = depthFormat;
  if (depthFormat_) layer_.setDrawsIntoWindow(false);  // the window has no depth buffer
  context_ = platform::GLContext::create(platform::RenderingAPI::OpenGLES1);
  if (!context_) return false;
  if (!createSurface()) {
    context_ = nullptr;
    return false;
  }
  return true;
}

EAGLView::~EAGLView() {
  if (context_) {
    destroySurface();
    if (platform::GLContext::currentContext() == context_.get()) platform::GLContext::setCurrentContext(nullptr);
    context_ = nullptr;
  }
}

void EAGLView::updateLayerBounds() {
  const CGRect b = bounds();
  const float s = contentScaleFactor();
  layer_.setBounds(CGRect{{b.origin.x * s, b.origin.y * s}, {b.size.width * s, b.size.height * s}});
}

CGSize EAGLView::roundedLayerSize() const {
  const CGSize s = layer_.bounds().size;
  return CGSize{std::round(s.width), std::round(s.height)};
}

bool EAGLView::createSurface() {
  if (!context_ || !platform::GLContext::setCurrentContext(context_.get())) return false;
  const CGSize newSize = roundedLayerSize();

  GLint oldRenderbuffer = 0, oldFramebuffer = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &oldRenderbuffer);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &oldFramebuffer);

  glGenRenderbuffersOES(1, &renderbuffer_);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, renderbuffer_);
  if (!context_->renderbufferStorage(GL_RENDERBUFFER_OES, layer_)) {
    glDeleteRenderbuffersOES(1, &renderbuffer_);
    renderbuffer_ = 0;
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, static_cast<GLuint>(oldRenderbuffer));
    return false;
  }

  drawsIntoWindow_ = context_->windowStorage(renderbuffer_);
  if (drawsIntoWindow_) {
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);  // the window's own
  } else {
    glGenFramebuffersOES(1, &framebuffer_);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer_);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, renderbuffer_);
  }

  if (depthFormat_ && !drawsIntoWindow_) {
    glGenRenderbuffersOES(1, &depthBuffer_);
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, depthBuffer_);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, depthFormat_, static_cast<GLsizei>(newSize.width),
                             static_cast<GLsizei>(newSize.height));
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES, GL_RENDERBUFFER_OES, depthBuffer_);
  }

  size_ = newSize;
  if (!hasBeenCurrent_) {
    applySurfaceViewport();
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    glScissor(v[0], v[1], v[2], v[3]);
    hasBeenCurrent_ = true;
  } else if (!(oldFramebuffer == 0 && framebufferWasBound_)) {
    // Later creations keep the caller's binding, except that a caller drawing into this view's
    // old framebuffer (deleted with the old surface) follows it to the new one.
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, static_cast<GLuint>(oldFramebuffer));
  }
  framebufferWasBound_ = false;
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, static_cast<GLuint>(oldRenderbuffer));

  reportGLError("-[EAGLView _createSurface]");
  if (delegate_) delegate_->didResizeEAGLSurfaceForView(this);
  return true;
}

void EAGLView::applySurfaceViewport() const {
  if (drawsIntoWindow_) {
    GLint v[4];
    platform::GLContext::windowViewport(v);
    glViewport(v[0], v[1], v[2], v[3]);
  } else {
    glViewport(0, 0, static_cast<GLsizei>(size_.width), static_cast<GLsizei>(size_.height));
  }
}

void EAGLView::turnProjection() const {
  if (drawsIntoWindow_) glRotatef(90.f, 0.f, 0.f, 1.f);
}

void EAGLView::destroySurface() {
  platform::GLContext* previous = platform::GLContext::currentContext();
  if (previous != context_.get()) platform::GLContext::setCurrentContext(context_.get());

  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &bound);
  framebufferWasBound_ = static_cast<GLuint>(bound) == framebuffer_ && (framebuffer_ != 0 || drawsIntoWindow_);

  if (depthFormat_) {
    if (depthBuffer_) glDeleteRenderbuffersOES(1, &depthBuffer_);
    depthBuffer_ = 0;
  }
  if (renderbuffer_) glDeleteRenderbuffersOES(1, &renderbuffer_);
  renderbuffer_ = 0;
  if (framebuffer_) glDeleteFramebuffersOES(1, &framebuffer_);
  framebuffer_ = 0;

  if (previous != context_.get()) platform::GLContext::setCurrentContext(previous);
}

void EAGLView::layoutSubviews() {
  updateLayerBounds();
  if (!autoresize_ || !context_) return;
  const CGSize s = roundedLayerSize();
  if (s.width == size_.width && s.height == size_.height) return;
  destroySurface();
  createSurface();
}

void EAGLView::setAutoresizesEAGLSurface(bool autoresize) {
  autoresize_ = autoresize;
  if (autoresize_) layoutSubviews();
}

void EAGLView::setCurrentContext() {
  if (!platform::GLContext::setCurrentContext(context_.get())) {
    std::printf("Failed to set current context %p in %s\n", static_cast<void*>(context_.get()),
                "-[EAGLView setCurrentContext]");
    std::fflush(stdout);
  }
}

bool EAGLView::isCurrentContext() const {
  return context_ && platform::GLContext::currentContext() == context_.get();
}

void EAGLView::clearCurrentContext() {
  if (!platform::GLContext::setCurrentContext(nullptr)) {
    std::printf("Failed to clear current context in %s\n", "-[EAGLView clearCurrentContext]");
    std::fflush(stdout);
  }
}

void EAGLView::swapBuffers() {
  QuadBatch::flush();  // quads still queued belong to this frame
  platform::GLContext* previous = platform::GLContext::currentContext();
  const bool other = previous != context_.get();
  if (other) platform::GLContext::setCurrentContext(context_.get());

  reportGLError("-[EAGLView swapBuffers]");

  glBindRenderbufferOES(GL_RENDERBUFFER_OES, renderbuffer_);
  if (!context_ || !context_->presentRenderbuffer(GL_RENDERBUFFER_OES)) {
    std::printf("Failed to swap renderbuffer in %s\n", "-[EAGLView swapBuffers]");
    std::fflush(stdout);
  }

  if (other) platform::GLContext::setCurrentContext(previous);
}

CGPoint EAGLView::convertPointFromViewToSurface(CGPoint p) const {
  const CGRect b = bounds();
  return CGPoint{(p.x - b.origin.x) / b.size.width * size_.width, (p.y - b.origin.y) / b.size.height * size_.height};
}

CGRect EAGLView::convertRectFromViewToSurface(CGRect r) const {
  const CGRect b = bounds();
  const CGPoint o = convertPointFromViewToSurface(r.origin);
  return CGRect{o, {r.size.width / b.size.width * size_.width, r.size.height / b.size.height * size_.height}};
}

}  // namespace peckish
