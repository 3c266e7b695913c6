#pragma once
// Helpers of the layer, menu and transition tests: a fresh Director per test (32-bit surface,
// landscape, 480 x 320), frames driven by hand with exact frame times from the fake clock, touches
// given in landscape scene coordinates, and pixels read back from the Director's surface.
#include <gtest/gtest.h>

#include <cstdint>

#include "EngineTestSupport.h"
#include "core/Exception.h"
#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "platform/Application.h"
#include "platform/GLES.h"
#include "platform/Touch.h"

namespace peckish::test {

class StageTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Director::purgeShared();
    platform::Application::sharedApplication()->reset();
    Director::setPixelFormat(1);
    director = Director::sharedDirector();
    ASSERT_NE(director, nullptr) << "no headless GL surface";
    director->setLandscape(true);
  }
  void TearDown() override {
    // Take the scene off the stage first, as ending the Director would.
    if (director && director->runningScene()) director->runningScene()->onExit();
    Director::purgeShared();
    Director::setPixelFormat(0);
    platform::Application::sharedApplication()->reset();
    EngineTest::TearDown();
  }

  // One frame dt seconds after the previous one.
  void frame(double dt) {
    clock.advance(dt);
    director->drawScene();
  }
  void frames(int n, double dt) {
    for (int i = 0; i < n; ++i) frame(dt);
  }
  // Lets running actions end and be dropped (an action holds its node until the node drops it).
  void settle() { frames(3, 0.5); }
  // Makes the scene the running one (after one frame of no time).
  void run(Ref<Scene> scene) {
    if (director->runningScene()) director->replaceScene(scene);
    else director->runScene(scene);
    frame(0);
  }

  // A touch at landscape scene point (x, y): the view (portrait) point is (y, x).
  static platform::TouchSet touchAt(float x, float y) {
    platform::Touch t;
    t.location = CGPointMake(y, x);
    t.previousLocation = t.location;
    return {t};
  }
  void began(float x, float y) { director->touchesBegan(touchAt(x, y), {}); }
  void moved(float x, float y) { director->touchesMoved(touchAt(x, y), {}); }
  void ended(float x, float y) { director->touchesEnded(touchAt(x, y), {}); }

  // The colour drawn at landscape point (x, y) in the last frame, 0xRRGGBB00 (alpha ignored).
  std::uint32_t scenePixel(int x, int y) {
    director->setCurrentContext();
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, director->framebuffer());
    std::uint8_t p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // Landscape (x, y) is drawn at portrait GL point (y, 480 - x).
    glReadPixels(y, 480 - x, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8);
  }

  Director* director = nullptr;
};

template <class F>
void expectRaise(F&& f, const char* name, const char* reason) {
  try {
    f();
    ADD_FAILURE() << "expected " << name;
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), name);
    EXPECT_EQ(e.reason(), reason);
  }
}

}  // namespace peckish::test
