// The GL view: surface creation and formats, size and point conversion, rebuilding on layout, the
// delegate, context handling, presenting, and its printed messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/render/EAGLView.h"
#include "platform/Display.h"
#include "platform/GLContext.h"
#include "support/GLTestContext.h"

namespace peckish::test {
namespace {

using platform::GLContext;

// Exposes the protected initialiser and surface operations, and builds views at a content scale.
class TestView : public EAGLView {
 public:
  static Ref<TestView> make(CGRect frame, float scale = 1.f, const char* format = kEAGLColorFormatRGB565,
                            unsigned depth = 0) {
    Ref<TestView> v(new TestView());
    v->setContentScaleFactor(scale);
    if (!v->initWithFrame(frame, format, depth, false)) return nullptr;
    return v;
  }
  using EAGLView::createSurface;
  using EAGLView::destroySurface;
};

struct CountingDelegate : EAGLViewDelegate {
  std::vector<EAGLView*> calls;
  std::vector<CGSize> sizes;
  void didResizeEAGLSurfaceForView(EAGLView* view) override {
    calls.push_back(view);
    sizes.push_back(view->surfaceSize());
  }
};

GLint renderbufferParameter(GLuint rb, GLenum pname) {
  GLint old = 0, value = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_OES, &old);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, rb);
  glGetRenderbufferParameterivOES(GL_RENDERBUFFER_OES, pname, &value);
  glBindRenderbufferOES(GL_RENDERBUFFER_OES, static_cast<GLuint>(old));
  return value;
}

GLint boundFramebuffer() {
  GLint fb = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_OES, &fb);
  return fb;
}

const CGRect kScreen = CGRectMake(0, 0, 320, 480);

class EAGLViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(platform::Display::openHeadless(), nullptr);
    platform::Display::shared()->resize(960, 640);
  }
  void TearDown() override { GLContext::setCurrentContext(nullptr); }
};

TEST_F(EAGLViewTest, PlainFrameGivesAnRgb565SurfaceWithoutDepthBuffer) {
  auto view = EAGLView::create(kScreen);
  ASSERT_TRUE(view);
  EXPECT_STREQ(view->pixelFormat(), kEAGLColorFormatRGB565);
  EXPECT_EQ(view->depthFormat(), 0u);
  EXPECT_EQ(view->depthBuffer(), 0u);
  EXPECT_NE(view->framebuffer(), 0u);
  EXPECT_FALSE(view->autoresizesSurface());
  EXPECT_FALSE(view->layer().retainedBacking());
  ASSERT_TRUE(view->isCurrentContext()) << "creation leaves the view's context current";
  EXPECT_EQ(renderbufferParameter(view->renderbuffer(), GL_RENDERBUFFER_INTERNAL_FORMAT_OES), GL_RGB565_OES);
  EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(view->framebuffer())) << "the first surface stays bound";
  GLint depthType = -1;
  glGetFramebufferAttachmentParameterivOES(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_OES, &depthType);
  EXPECT_EQ(depthType, 0) << "no depth attachment";
  EXPECT_EQ(glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_OES));
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 320);
  EXPECT_EQ(viewport[3], 480);
}

TEST_F(EAGLViewTest, Rgba8WithDepthFormatAttachesADepthBufferOfTheSurfaceSize) {
  auto view = EAGLView::create(kScreen, kEAGLColorFormatRGBA8, GL_DEPTH_COMPONENT16_OES, true);
  ASSERT_TRUE(view);
  EXPECT_STREQ(view->pixelFormat(), kEAGLColorFormatRGBA8);
  EXPECT_TRUE(view->layer().retainedBacking());
  ASSERT_NE(view->depthBuffer(), 0u);
  EXPECT_EQ(renderbufferParameter(view->renderbuffer(), GL_RENDERBUFFER_INTERNAL_FORMAT_OES), GL_RGBA8_OES);
  EXPECT_EQ(renderbufferParameter(view->depthBuffer(), GL_RENDERBUFFER_INTERNAL_FORMAT_OES),
            GL_DEPTH_COMPONENT16_OES);
  EXPECT_EQ(renderbufferParameter(view->depthBuffer(), GL_RENDERBUFFER_WIDTH_OES), 320);
  GLint depthName = 0;
  glGetFramebufferAttachmentParameterivOES(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_OES, &depthName);
  EXPECT_EQ(static_cast<GLuint>(depthName), view->depthBuffer());
}

TEST_F(EAGLViewTest, UnusableFormatOrSizeYieldsNoView) {
  EXPECT_FALSE(EAGLView::create(kScreen, "RGB999"));
  EXPECT_FALSE(EAGLView::create(CGRectMake(0, 0, 0, 480)));
  EXPECT_FALSE(EAGLView::create(CGRectMake(0, 0, -5, 480)));
}

TEST_F(EAGLViewTest, SurfaceSizeAndPointConversionAtOneAndTwoPixelsPerPoint) {
  auto one = TestView::make(kScreen);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->surfaceSize(), CGSizeMake(320, 480));
  EXPECT_EQ(one->convertPointFromViewToSurface(CGPointMake(160, 240)), CGPointMake(160, 240));

  auto two = TestView::make(kScreen, 2.f);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->bounds().size, CGSizeMake(320, 480));
  EXPECT_EQ(two->surfaceSize(), CGSizeMake(640, 960));
  EXPECT_EQ(renderbufferParameter(two->renderbuffer(), GL_RENDERBUFFER_WIDTH_OES), 640);
  EXPECT_EQ(two->convertPointFromViewToSurface(CGPointMake(160, 240)), CGPointMake(320, 480));
  EXPECT_EQ(two->convertRectFromViewToSurface(CGRectMake(10, 20, 30, 40)), CGRectMake(20, 40, 60, 80));

  // Bounds with an origin: conversion is relative to it; no axis is flipped.
  two->setBounds(CGRectMake(100, 50, 320, 480));
  EXPECT_EQ(two->convertPointFromViewToSurface(CGPointMake(100, 50)), CGPointMake(0, 0));
  EXPECT_EQ(two->convertPointFromViewToSurface(CGPointMake(260, 290)), CGPointMake(320, 480));
}

TEST_F(EAGLViewTest, SurfaceSizeRoundsTheBoundsToWholePixels) {
  auto view = EAGLView::create(CGRectMake(0, 0, 100.4f, 200.5f));
  ASSERT_TRUE(view);
  EXPECT_EQ(view->surfaceSize(), CGSizeMake(100, 201));
}

TEST_F(EAGLViewTest, LayoutRebuildsOnlyWhenAutoresizingAndTheRoundedSizeChanged) {
  auto view = TestView::make(kScreen);
  ASSERT_TRUE(view);
  CountingDelegate delegate;
  view->setDelegate(&delegate);
  const GLuint first = view->framebuffer();

  view->setFrame(CGRectMake(0, 0, 200, 300));  // autoresizing is off
  view->layoutSubviews();
  EXPECT_EQ(view->framebuffer(), first);
  EXPECT_EQ(view->surfaceSize(), CGSizeMake(320, 480));
  EXPECT_TRUE(delegate.calls.empty());

  view->setFrame(kScreen);
  view->setAutoresizesEAGLSurface(true);  // runs layout at once: same size, nothing happens
  EXPECT_EQ(view->framebuffer(), first);
  view->setFrame(CGRectMake(0, 0, 320.2f, 479.8f));  // rounds to the same size
  EXPECT_EQ(view->framebuffer(), first);
  EXPECT_TRUE(delegate.calls.empty());

  view->setFrame(CGRectMake(0, 0, 480, 320));
  EXPECT_EQ(view->surfaceSize(), CGSizeMake(480, 320));
  EXPECT_EQ(renderbufferParameter(view->renderbuffer(), GL_RENDERBUFFER_WIDTH_OES), 480);
  ASSERT_EQ(delegate.calls.size(), 1u) << "the delegate hears of every new surface";
  EXPECT_EQ(delegate.calls[0], view.get());
  EXPECT_EQ(delegate.sizes[0], CGSizeMake(480, 320)) << "told after the new size is stored";

  view->setAutoresizesSurface(false);  // the plain setter does not lay out
  view->setFrame(kScreen);
  EXPECT_EQ(view->surfaceSize(), CGSizeMake(480, 320));
  view->setAutoresizesEAGLSurface(true);
  EXPECT_EQ(view->surfaceSize(), CGSizeMake(320, 480));
  EXPECT_EQ(delegate.calls.size(), 2u);
}

TEST_F(EAGLViewTest, RebuildKeepsTheCallersFramebufferAndViewportButFollowsItsOwn) {
  auto view = TestView::make(kScreen);
  ASSERT_TRUE(view);
  view->setAutoresizesSurface(true);
  GLuint other = 0;
  glGenFramebuffersOES(1, &other);
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, other);
  glViewport(1, 2, 3, 4);
  view->setFrame(CGRectMake(0, 0, 200, 300));
  EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(other)) << "a later creation re-binds the caller's framebuffer";
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 3) << "the viewport is set on the first creation only";

  // Drawing into the view's own framebuffer goes on into its replacement, not into nothing.
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, view->framebuffer());
  view->setFrame(kScreen);
  EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(view->framebuffer()));
  glDeleteFramebuffersOES(1, &other);
}

TEST_F(EAGLViewTest, ContextIsMadeCurrentAndClearedOnRequest) {
  auto a = EAGLView::create(kScreen);
  auto b = EAGLView::create(kScreen);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a->context(), b->context());
  a->setCurrentContext();
  EXPECT_TRUE(a->isCurrentContext());
  EXPECT_FALSE(b->isCurrentContext());
  b->setCurrentContext();
  EXPECT_TRUE(b->isCurrentContext());
  b->clearCurrentContext();
  EXPECT_FALSE(b->isCurrentContext());
  EXPECT_EQ(GLContext::currentContext(), nullptr);
}

TEST_F(EAGLViewTest, SwapBuffersWithAnotherContextCurrentPresentsThisViewAndKeepsTheOther) {
  auto view = EAGLView::create(kScreen, kEAGLColorFormatRGBA8);
  ASSERT_TRUE(view);
  view->setCurrentContext();
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);

  GLTestContext other(8, 8);
  ASSERT_TRUE(other.ok());
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  auto* display = platform::Display::shared();
  const auto before = display->presentedFrames();

  testing::internal::CaptureStdout();
  view->swapBuffers();
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(out, "");
  EXPECT_EQ(display->presentedFrames(), before + 1);
  EXPECT_EQ(GLContext::currentContext(), other.context());
  EXPECT_EQ(other.pixel(0, 0), 0xFF0000FFu) << "the other context's drawing is untouched";
  EXPECT_EQ(display->capturePortrait().pixel(10, 10), 0x00FF00FFu) << "the view's picture was presented";
}

TEST_F(EAGLViewTest, QuadAtPortraitTopLeftShowsAtTheWindowsLowerLeftTwiceAsLarge) {
  auto view = EAGLView::create(kScreen, kEAGLColorFormatRGBA8);
  ASSERT_TRUE(view);
  view->setCurrentContext();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrthof(0, 320, 0, 480, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const GLfloat quad[] = {0, 470, 10, 470, 10, 480, 0, 480};  // at portrait GL (0, 480)
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, quad);
  glColor4f(1, 1, 1, 1);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  glDisableClientState(GL_VERTEX_ARRAY);
  view->swapBuffers();

  const platform::Image shot = platform::Display::shared()->captureWindow();
  ASSERT_EQ(shot.width, 960);
  ASSERT_EQ(shot.height, 640);
  EXPECT_EQ(shot.pixel(0, 639), 0xFFFFFFFFu);
  EXPECT_EQ(shot.pixel(19, 620), 0xFFFFFFFFu);
  EXPECT_EQ(shot.pixel(20, 639), 0x000000FFu);
  EXPECT_EQ(shot.pixel(0, 619), 0x000000FFu);
  EXPECT_EQ(shot.pixel(0, 0), 0x000000FFu);
}

TEST_F(EAGLViewTest, PrintsGlErrorsAndFailedPresentsWithTheirExactTexts) {
  auto view = TestView::make(kScreen);
  ASSERT_TRUE(view);
  view->setCurrentContext();
  glEnable(0x7FFF);  // GL_INVALID_ENUM, raised while "drawing"
  testing::internal::CaptureStdout();
  view->swapBuffers();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "OpenGL error 0x0500 in -[EAGLView swapBuffers]\n");

  view->destroySurface();
  EXPECT_EQ(view->framebuffer(), 0u);
  EXPECT_EQ(view->renderbuffer(), 0u);
  testing::internal::CaptureStdout();
  view->swapBuffers();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to swap renderbuffer in -[EAGLView swapBuffers]\n");

  glEnable(0x7FFF);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(view->createSurface());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "OpenGL error 0x0500 in -[EAGLView _createSurface]\n");
}

TEST_F(EAGLViewTest, DestroyingTheSurfaceFromAnotherContextRestoresThatContext) {
  auto view = TestView::make(kScreen);
  ASSERT_TRUE(view);
  GLTestContext other(8, 8);
  view->destroySurface();
  EXPECT_EQ(GLContext::currentContext(), other.context());
  EXPECT_EQ(view->framebuffer(), 0u);
  EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(other.framebuffer()));
}

TEST_F(EAGLViewTest, ReleasingTheCurrentViewLeavesNoDanglingCurrentContext) {
  auto view = EAGLView::create(kScreen);
  ASSERT_TRUE(view);
  view->setCurrentContext();
  view = nullptr;
  EXPECT_EQ(GLContext::currentContext(), nullptr);
}

}  // namespace
}  // namespace peckish::test
