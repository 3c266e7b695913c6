#pragma once
// Real OpenGL ES 1.1 for tests: a headless display (SDL offscreen driver, Mesa llvmpipe), a fresh
// GL context made current, and an offscreen RGBA8 framebuffer of the requested size bound as the
// draw target with the viewport covering it. Read pixels back with pixel() or image().
//
//   class MyTest : public peckish::test::GLTest {};              // 320 x 480 target
//   TEST_F(MyTest, DrawsRed) {
//     glClearColor(1, 0, 0, 1); glClear(GL_COLOR_BUFFER_BIT);
//     EXPECT_EQ(pixel(10, 10), 0xFF0000FFu);                     // 0xRRGGBBAA, y from the bottom
//   }
//
// Or without a fixture: peckish::test::GLTestContext gl(64, 64); ... gl.pixel(x, y).
// The display stays open for the rest of the test process; each context is destroyed with its
// owner. The Director and EAGLView create their own contexts the same way (GLContext::create).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Display.h"
#include "platform/GLContext.h"
#include "platform/GLES.h"
#include "platform/Image.h"

namespace peckish::test {

class GLTestContext {
 public:
  explicit GLTestContext(int width = 320, int height = 480) : width_(width), height_(height) {
    platform::Display::openHeadless();
    context_ = platform::GLContext::create();
    if (!context_ || !platform::GLContext::setCurrentContext(context_.get())) return;
    glGenRenderbuffersOES(1, &renderbuffer_);
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, renderbuffer_);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_RGBA8_OES, width, height);
    glGenRenderbuffersOES(1, &depth_);
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, depth_);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, width, height);
    glGenFramebuffersOES(1, &framebuffer_);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer_);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, renderbuffer_);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES, GL_RENDERBUFFER_OES, depth_);
    glViewport(0, 0, width, height);
    ok_ = glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES;
  }
  ~GLTestContext() {
    if (!context_) return;
    platform::GLContext::setCurrentContext(context_.get());
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
    if (framebuffer_) glDeleteFramebuffersOES(1, &framebuffer_);
    if (renderbuffer_) glDeleteRenderbuffersOES(1, &renderbuffer_);
    if (depth_) glDeleteRenderbuffersOES(1, &depth_);
    platform::GLContext::setCurrentContext(nullptr);
  }
  GLTestContext(const GLTestContext&) = delete;
  GLTestContext& operator=(const GLTestContext&) = delete;

  bool ok() const { return ok_; }
  int width() const { return width_; }
  int height() const { return height_; }
  platform::GLContext* context() const { return context_.get(); }
  GLuint framebuffer() const { return framebuffer_; }
  // Makes this context current with its framebuffer bound again.
  void makeCurrent() {
    platform::GLContext::setCurrentContext(context_.get());
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, framebuffer_);
  }

  // The pixel at GL window coordinates (x, y) (origin bottom left) as 0xRRGGBBAA.
  std::uint32_t pixel(int x, int y) const {
    std::uint8_t p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
  }
  // The whole target, rows top first (so image().pixel(x, y) counts y from the top).
  platform::Image image() const {
    platform::Image img;
    img.width = width_;
    img.height = height_;
    img.rgba.resize(static_cast<size_t>(width_) * height_ * 4);
    std::vector<std::uint8_t> rows(img.rgba.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    const size_t stride = static_cast<size_t>(width_) * 4;
    for (int y = 0; y < height_; ++y)
      std::copy_n(&rows[static_cast<size_t>(height_ - 1 - y) * stride], stride, &img.rgba[static_cast<size_t>(y) * stride]);
    return img;
  }

 private:
  int width_;
  int height_;
  Ref<platform::GLContext> context_;
  GLuint framebuffer_ = 0;
  GLuint renderbuffer_ = 0;
  GLuint depth_ = 0;
  bool ok_ = false;
};

// A fixture with a 320 x 480 target; override targetWidth/targetHeight for another size.
class GLTest : public ::testing::Test {
 protected:
  virtual int targetWidth() const { return 320; }
  virtual int targetHeight() const { return 480; }
  void SetUp() override {
    gl_ = std::make_unique<GLTestContext>(targetWidth(), targetHeight());
    ASSERT_TRUE(gl_->ok()) << "no headless OpenGL ES 1.1 framebuffer";
  }
  void TearDown() override { gl_.reset(); }
  std::uint32_t pixel(int x, int y) const { return gl_->pixel(x, y); }
  platform::Image image() const { return gl_->image(); }
  GLTestContext& gl() { return *gl_; }

 private:
  std::unique_ptr<GLTestContext> gl_;
};

}  // namespace peckish::test
