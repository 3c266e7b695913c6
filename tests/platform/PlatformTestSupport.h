#pragma once
// Shared helpers of the platform tests: a view that records its touches, and a GL picture source
// (a context with a layer-backed renderbuffer) that can be filled and presented.
#include <SDL.h>

#include <string>
#include <vector>

#include "platform/Display.h"
#include "platform/GLContext.h"
#include "platform/GLES.h"
#include "platform/View.h"

namespace peckish::test {

struct RecordedTouch {
  std::string phase;
  std::int64_t id;
  CGPoint location;
  CGPoint previous;
  size_t setSize;
};

class RecordingView : public platform::View {
 public:
  static Ref<RecordingView> make(CGRect frame) {
    Ref<RecordingView> v(new RecordingView());
    v->initWithFrame(frame);
    return v;
  }
  void touchesBegan(const platform::TouchSet& s, const platform::UIEvent&) override { record("began", s); }
  void touchesMoved(const platform::TouchSet& s, const platform::UIEvent&) override { record("moved", s); }
  void touchesEnded(const platform::TouchSet& s, const platform::UIEvent&) override { record("ended", s); }
  void touchesCancelled(const platform::TouchSet& s, const platform::UIEvent&) override { record("cancelled", s); }
  std::vector<RecordedTouch> touches;

 private:
  void record(const char* phase, const platform::TouchSet& s) {
    for (const auto& t : s) touches.push_back({phase, t.id, t.location, t.previousLocation, s.size()});
  }
};

// A GL context with a 320 x 480 (times scale) layer-backed colour renderbuffer in a framebuffer.
class PictureSource {
 public:
  explicit PictureSource(float scale = 1.f, const char* format = platform::kEAGLColorFormatRGBA8) {
    platform::Display::openHeadless();
    context = platform::GLContext::create();
    platform::GLContext::setCurrentContext(context.get());
    layer.setDrawableProperties(false, format);
    layer.setBounds(CGRectMake(0, 0, 320 * scale, 480 * scale));
    glGenRenderbuffersOES(1, &renderbuffer);
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, renderbuffer);
    storageOk = context->renderbufferStorage(GL_RENDERBUFFER_OES, layer);
    glGenFramebuffersOES(1, &framebuffer);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, renderbuffer);
    width = static_cast<int>(320 * scale);
    height = static_cast<int>(480 * scale);
  }
  ~PictureSource() {
    platform::GLContext::setCurrentContext(context.get());
    glDeleteFramebuffersOES(1, &framebuffer);
    glDeleteRenderbuffersOES(1, &renderbuffer);
    platform::GLContext::setCurrentContext(nullptr);
  }
  // Clears to black and paints the given portrait GL rectangle (pixels) in colour rgb.
  void clear() {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void paint(int x, int y, int w, int h, float r, float g, float b) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
  bool present() {
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, renderbuffer);
    return context->presentRenderbuffer(GL_RENDERBUFFER_OES);
  }

  Ref<platform::GLContext> context;
  platform::GLLayer layer;
  GLuint renderbuffer = 0;
  GLuint framebuffer = 0;
  bool storageOk = false;
  int width = 0;
  int height = 0;
};

inline constexpr std::uint32_t kRed = 0xFF0000FFu;
inline constexpr std::uint32_t kGreen = 0x00FF00FFu;
inline constexpr std::uint32_t kBlue = 0x0000FFFFu;
inline constexpr std::uint32_t kBlack = 0x000000FFu;

}  // namespace peckish::test
