// Presenting pictures in the window: the landscape-right turn, the whole-number scale, letterboxing,
// captures, and the GL context's current-context tracking and layer storage.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "PlatformTestSupport.h"
#include "platform/Image.h"
#include "platform/Notifications.h"
#include "platform/Window.h"

namespace peckish::test {
namespace {

using platform::Display;
using platform::GLContext;

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display = Display::openHeadless();
    ASSERT_NE(display, nullptr);
    display->resize(960, 640);
  }
  void TearDown() override {
    display->setFullscreen(false);
    display->resize(960, 640);
    GLContext::setCurrentContext(nullptr);
  }
  Display* display = nullptr;
};

TEST_F(DisplayTest, HeadlessDisplayHasAGles11ContextWithTheExtensionsTheEngineUses) {
  PictureSource src;
  const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  EXPECT_EQ(version.rfind("OpenGL ES-CM 1.", 0), 0u) << version;
  EXPECT_TRUE(platform::hasGLExtension("GL_OES_framebuffer_object"));
  EXPECT_TRUE(platform::hasGLExtension("GL_OES_point_sprite"));
  EXPECT_TRUE(platform::hasGLExtension("GL_OES_point_size_array"));
  EXPECT_FALSE(platform::hasGLExtension("GL_OES_point"));  // a prefix is not a match
  EXPECT_EQ(display->width(), 960);
  EXPECT_EQ(display->height(), 640);
}

TEST_F(DisplayTest, PresentTurnsThePortraitPictureLandscapeRightAtTwiceTheSize) {
  PictureSource src;
  ASSERT_TRUE(src.storageOk);
  src.clear();
  src.paint(0, 470, 10, 10, 1, 0, 0);    // portrait top left, GL (0, 480)
  src.paint(310, 0, 10, 10, 0, 1, 0);    // portrait bottom right, GL (320, 0)
  src.paint(0, 0, 10, 10, 0, 0, 1);      // portrait bottom left, GL (0, 0)
  const auto before = display->presentedFrames();
  ASSERT_TRUE(src.present());
  EXPECT_EQ(display->presentedFrames(), before + 1);
  EXPECT_EQ(GLContext::currentContext(), src.context.get()) << "the drawing context stays current";

  const platform::Image shot = display->captureWindow();
  ASSERT_EQ(shot.width, 960);
  ASSERT_EQ(shot.height, 640);
  // Rows top first: the window's lower left shows the portrait top left.
  EXPECT_EQ(shot.pixel(0, 639), kRed);
  EXPECT_EQ(shot.pixel(19, 620), kRed);  // 10 portrait pixels become 20 window pixels
  EXPECT_EQ(shot.pixel(20, 620), kBlack);
  EXPECT_EQ(shot.pixel(19, 619), kBlack);
  // Portrait bottom right (320, 0) is landscape (480, 320): the window's top right.
  EXPECT_EQ(shot.pixel(959, 0), kGreen);
  EXPECT_EQ(shot.pixel(940, 19), kGreen);
  // Portrait bottom left (0, 0) is landscape (480, 0): the window's lower right.
  EXPECT_EQ(shot.pixel(959, 639), kBlue);
  EXPECT_EQ(shot.pixel(480, 320), kBlack);

  const platform::Image portrait = display->capturePortrait();
  ASSERT_EQ(portrait.width, 320);
  ASSERT_EQ(portrait.height, 480);
  EXPECT_EQ(portrait.pixel(0, 0), kRed);
  EXPECT_EQ(portrait.pixel(319, 479), kGreen);
}

TEST_F(DisplayTest, AHighResolutionSurfaceFillsTheWindowPixelForPixel) {
  PictureSource src(2.f, platform::kEAGLColorFormatRGB565);
  ASSERT_TRUE(src.storageOk);
  src.clear();
  src.paint(0, 950, 10, 10, 1, 0, 0);  // top left of a 640 x 960 surface
  ASSERT_TRUE(src.present());
  const platform::Image shot = display->captureWindow();
  ASSERT_EQ(shot.width, 960);
  EXPECT_EQ(shot.pixel(9, 630), kRed);
  EXPECT_EQ(shot.pixel(10, 630), kBlack);
}

TEST_F(DisplayTest, ResizedWindowLetterboxesAndTouchMappingFollows) {
  PictureSource src;
  src.clear();
  src.paint(0, 470, 10, 10, 1, 0, 0);
  display->resize(1200, 640);
  if (display->width() != 1200) GTEST_SKIP() << "the video driver does not resize windows";
  const platform::ContentRect r = display->contentRect();
  EXPECT_EQ(r.x, 120);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 960);
  EXPECT_FLOAT_EQ(r.factor, 2.f);
  ASSERT_TRUE(src.present());
  const platform::Image shot = display->captureWindow();
  ASSERT_EQ(shot.width, 1200);
  EXPECT_EQ(shot.pixel(60, 639), kBlack) << "bar";
  EXPECT_EQ(shot.pixel(120, 639), kRed);
  EXPECT_EQ(shot.pixel(139, 620), kRed);
  // The landscape origin is now 120 pixels in.
  const CGPoint v = display->windowToView(120.f, 640.f);
  EXPECT_FLOAT_EQ(v.x, 0.f);
  EXPECT_FLOAT_EQ(v.y, 0.f);

  // A window too small for the picture scales down without whole-number rounding.
  display->resize(240, 240);
  if (display->width() == 240) {
    const platform::ContentRect small = display->contentRect();
    EXPECT_FLOAT_EQ(small.factor, 0.5f);
    EXPECT_EQ(small.width, 240);
    EXPECT_EQ(small.height, 160);
    EXPECT_EQ(small.y, 40);
  }
}

TEST_F(DisplayTest, FullscreenFillsTheScreenWithAnyFactorAWindowWithWholeOnes) {
  int changes = 0;
  const auto observer = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kScreenModeDidChangeNotification, [&changes](void*) { ++changes; });
  display->resize(1000, 700);
  if (display->width() != 1000) GTEST_SKIP() << "the video driver does not resize windows";
  EXPECT_EQ(changes, 1);
  struct Case {
    bool fullscreen;
    int x, y, width, height;
    float factor;
  } cases[] = {
      {true, 0, 16, 1000, 667, 1000.f / 480.f},  // bars only above and below
      {false, 20, 30, 960, 640, 2.f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fullscreen ? "fullscreen" : "window");
    const int before = changes;
    display->setFullscreen(c.fullscreen);
    EXPECT_EQ(changes, before + 1) << "a new picture size is announced";
    const platform::ContentRect r = display->contentRect();
    EXPECT_EQ(r.x, c.x);
    EXPECT_EQ(r.y, c.y);
    EXPECT_EQ(r.width, c.width);
    EXPECT_EQ(r.height, c.height);
    EXPECT_FLOAT_EQ(r.factor, c.factor);
    EXPECT_FLOAT_EQ(platform::Screen::mainScreen().scale(), c.factor);
  }
  const int before = changes;
  display->setFullscreen(false);  // no change, no announcement
  EXPECT_EQ(changes, before);
  platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(DisplayTest, WindowAndViewCoordinatesAreInverse) {
  // Landscape point (x, y) from the lower left is view point (y, x).
  const CGPoint v = display->windowToView(2 * 100.f, 640 - 2 * 50.f);
  EXPECT_FLOAT_EQ(v.x, 50.f);
  EXPECT_FLOAT_EQ(v.y, 100.f);
  const CGPoint w = display->viewToWindow(CGPointMake(50, 100));
  EXPECT_FLOAT_EQ(w.x, 200.f);
  EXPECT_FLOAT_EQ(w.y, 540.f);
  const CGPoint corner = display->windowToView(960, 0);  // landscape (480, 320)
  EXPECT_FLOAT_EQ(corner.x, 320.f);
  EXPECT_FLOAT_EQ(corner.y, 480.f);
}

TEST_F(DisplayTest, CaptureBeforeAnyPresentIsEmptyAndWritesNoFile) {
  // Only meaningful on a fresh display; later tests have presented already.
  if (display->presentedFrames() == 0) {
    EXPECT_TRUE(display->captureWindow().empty());
  }
  platform::Image empty;
  EXPECT_FALSE(platform::writePNG(testing::TempDir() + "/never.png", empty));
  EXPECT_FALSE(std::fopen((testing::TempDir() + "/never.png").c_str(), "rb"));
}

TEST_F(DisplayTest, ScreenshotPngRoundTrips) {
  PictureSource src;
  src.clear();
  src.paint(0, 470, 10, 10, 1, 0, 0);
  ASSERT_TRUE(src.present());
  const platform::Image shot = display->captureWindow();
  const std::string path = testing::TempDir() + "/peckish-shot.png";
  ASSERT_TRUE(platform::writePNG(path, shot));
  const platform::Image back = platform::readPNG(path);
  ASSERT_EQ(back.width, 960);
  ASSERT_EQ(back.height, 640);
  EXPECT_EQ(back.rgba, shot.rgba);
  std::remove(path.c_str());
  EXPECT_FALSE(platform::writePNG("/nonexistent-folder/x.png", shot));
  EXPECT_TRUE(platform::readPNG("/nonexistent-folder/x.png").empty());
}

TEST_F(DisplayTest, PresentObserversRunAfterEachFrameUntilRemoved) {
  PictureSource src;
  src.clear();
  int calls = 0;
  const int id = display->addPresentObserver([&calls] { ++calls; });
  src.present();
  src.present();
  display->removePresentObserver(id);
  src.present();
  EXPECT_EQ(calls, 2);
}

// ---- the GL context ----

TEST_F(DisplayTest, ContextsTrackWhichOneIsCurrent) {
  Ref<GLContext> a = GLContext::create();
  Ref<GLContext> b = GLContext::create();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(GLContext::create(platform::RenderingAPI::OpenGLES2), nullptr);
  EXPECT_TRUE(GLContext::setCurrentContext(a.get()));
  EXPECT_EQ(GLContext::currentContext(), a.get());
  EXPECT_TRUE(GLContext::setCurrentContext(b.get()));
  EXPECT_EQ(GLContext::currentContext(), b.get());
  b = nullptr;  // destroying the current context leaves none current
  EXPECT_EQ(GLContext::currentContext(), nullptr);
  EXPECT_TRUE(GLContext::setCurrentContext(nullptr));
  EXPECT_EQ(GLContext::currentContext(), nullptr);
}

TEST_F(DisplayTest, LayerStorageRejectsUnusableLayersAndUnknownRenderbuffers) {
  Ref<GLContext> ctx = GLContext::create();
  GLContext::setCurrentContext(ctx.get());
  GLuint rb = 0;
  glGenRenderbuffersOES(1, &rb);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, rb);
  platform::GLLayer layer;
  layer.setBounds(CGRectMake(0, 0, 320, 480));
  layer.setDrawableProperties(false, "BGR999");
  EXPECT_FALSE(ctx->renderbufferStorage(GL_RENDERBUFFER_OES, layer));
  layer.setDrawableProperties(false, platform::kEAGLColorFormatRGB565);
  layer.setBounds(CGRectMake(0, 0, 0, 480));
  EXPECT_FALSE(ctx->renderbufferStorage(GL_RENDERBUFFER_OES, layer));
  EXPECT_FALSE(ctx->presentRenderbuffer(GL_RENDERBUFFER_OES)) << "no layer storage yet";
  layer.setBounds(CGRectMake(0, 0, 100.4f, 200.6f));
  ASSERT_TRUE(ctx->renderbufferStorage(GL_RENDERBUFFER_OES, layer));
  GLint w = 0, h = 0, format = 0;
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_WIDTH_OES, &w);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_HEIGHT_OES, &h);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, GL_RENDERBUFFER_INTERNAL_FORMAT_OES, &format);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 201);
  EXPECT_EQ(format, GL_RGB565_OES);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, 0);
  EXPECT_FALSE(ctx->presentRenderbuffer(GL_RENDERBUFFER_OES)) << "nothing bound";
  glDeleteRenderbuffersOES(1, &rb);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, rb);
  EXPECT_FALSE(ctx->presentRenderbuffer(GL_RENDERBUFFER_OES)) << "a deleted renderbuffer is not presented";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLContext::setCurrentContext(nullptr);
}

}  // namespace
}  // namespace peckish::test
