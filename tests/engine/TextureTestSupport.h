#pragma once
// Helpers of the texture, sprite and particle tests: a temporary folder for generated PNGs, and an
// off-screen GL target (a framebuffer object on a headless context) whose pixels can be read back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"
#include "platform/GLContext.h"
#include "platform/GLES.h"
#include "platform/Image.h"

namespace peckish::test {

class TempFolder {
 public:
  TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "peckish-tex-XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A picture whose pixel (x, y) (y from the top) is fill(x, y) as 0xRRGGBBAA.
inline platform::Image makeImage(int w, int h, const std::function<uint32_t(int, int)>& fill) {
  platform::Image img;
  img.width = w;
  img.height = h;
  img.rgba.resize(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c = fill(x, y);
      uint8_t* p = img.rgba.data() + (size_t(y) * w + x) * 4;
      p[0] = uint8_t(c >> 24);
      p[1] = uint8_t(c >> 16);
      p[2] = uint8_t(c >> 8);
      p[3] = uint8_t(c);
    }
  return img;
}

inline platform::Image solidImage(int w, int h, uint32_t rgba) {
  return makeImage(w, h, [rgba](int, int) { return rgba; });
}

// Writes a PNG with 1 (grey), 2 (grey + alpha), 3 (RGB) or 4 (RGBA) channels; returns its path.
inline std::string writeImage(const TempFolder& dir, const std::string& name,
                              const platform::Image& img, int channels = 4) {
  std::string path = dir.file(name);
  EXPECT_TRUE(platform::writePNG(path, img, channels)) << path;
  return path;
}

// A GL context made current with an RGBA framebuffer object of w x h pixels bound, the viewport
// covering it and an orthographic projection with one unit a pixel, origin at the lower left.
// Blending is off and the target is cleared to transparent black.
class GLTarget {
 public:
  GLTarget(int w = 256, int h = 128) : w_(w), h_(h) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    context_ = platform::GLContext::create();
    if (!context_ || !platform::GLContext::setCurrentContext(context_.get())) return;
    glGenFramebuffersOES(1, &fbo_);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, fbo_);
    glGenRenderbuffersOES(1, &rbo_);
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, rbo_);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_RGBA8_OES, w, h);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES,
                                 rbo_);
    ok_ = glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0, GLfloat(w), 0, GLfloat(h), -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glColor4ub(255, 255, 255, 255);
    clear();
  }
  ~GLTarget() {
    if (!ok_ && !fbo_) return;
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
    glDeleteRenderbuffersOES(1, &rbo_);
    glDeleteFramebuffersOES(1, &fbo_);
  }
  GLTarget(const GLTarget&) = delete;
  GLTarget& operator=(const GLTarget&) = delete;

  bool ok() const { return ok_; }
  int width() const { return w_; }
  int height() const { return h_; }
  void clear() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // The pixel at (x, y), origin at the lower left, as 0xRRGGBBAA.
  uint32_t pixel(int x, int y) const {
    uint8_t p[4] = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
  }
  // Lit pixels (any channel non-zero) inside the rectangle [x0, x1) x [y0, y1).
  int litPixels(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (pixel(x, y) != 0) ++n;
    return n;
  }

 private:
  int w_, h_;
  Ref<platform::GLContext> context_;
  GLuint fbo_ = 0, rbo_ = 0;
  bool ok_ = false;
};

// Channel helpers for 0xRRGGBBAA values.
inline int red(uint32_t c) { return int(c >> 24); }
inline int green(uint32_t c) { return int((c >> 16) & 0xFF); }
inline int blue(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int alpha(uint32_t c) { return int(c & 0xFF); }

}  // namespace peckish::test

#define REQUIRE_GL(target) ASSERT_TRUE((target).ok()) << "no headless GL context"
