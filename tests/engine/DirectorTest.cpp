#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"
#include "core/Exception.h"
#include "engine/scene/Camera.h"
#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "engine/render/glu.h"
#include "platform/Application.h"
#include "platform/GLES.h"

using namespace peckish;
using namespace peckish::test;

namespace {

constexpr double kFrame = 1.0 / 30;

// Fills the square (0, 0)..(size, size) of its own space with one colour.
class Square : public Node {
 public:
  Square(float r, float g, float b, float size = 40.f) : r_(r), g_(g), b_(b), size_(size) {}
  void draw() override {
    const GLfloat v[] = {0, 0, size_, 0, 0, size_, size_, size_};
    glDisable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, v);
    glColor4f(r_, g_, b_, 1.f);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
  }

 private:
  float r_, g_, b_, size_;
};

class DirectorTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Director::purgeShared();
    platform::Application::sharedApplication()->reset();
    director = Director::sharedDirector();
    ASSERT_NE(director, nullptr) << "no headless GL surface";
  }
  void TearDown() override {
    Director::purgeShared();
    platform::Application::sharedApplication()->reset();
    EngineTest::TearDown();
  }
  static void frames(int n) { platform::RunLoop::main().advance(n * kFrame + 1e-4); }
  // The colour at portrait GL point (x, y) of the Director's surface, 0xRRGGBBAA.
  std::uint32_t pixel(int x, int y) {
    director->setCurrentContext();
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, director->framebuffer());
    std::uint8_t p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8);
  }
  Ref<Recorder> scene(const std::string& name) { return make<Recorder>(&journal, name); }

  Director* director = nullptr;
  std::vector<std::string> journal;
};

// Recorder as a Scene.
class RecScene : public Scene {
 public:
  RecScene(std::vector<std::string>* j, std::string n) : journal_(j), name_(std::move(n)) {}
  void onEnter() override {
    journal_->push_back(name_ + ":enter");
    Scene::onEnter();
  }
  void onExit() override {
    journal_->push_back(name_ + ":exit");
    Scene::onExit();
  }
  void draw() override { journal_->push_back(name_ + ":draw"); }

 private:
  std::vector<std::string>* journal_;
  std::string name_;
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

TEST_F(DirectorTest, PixelFormatRulesAndDeallocLine) {
  expectRaise([] { Director::setPixelFormat(2); }, "DirectorInvalidPixelFormat", "Invalid Pixel Format for GL view");
  expectRaise([] { Director::setPixelFormat(1); }, "DirectorAlreadyInitialized",
              "Can't change the pixel format after the director was initialized");
  EXPECT_EQ(Director::sharedDirector(), director);
  LogCapture log;
  Director::purgeShared();
  EXPECT_EQ(log.count("deallocing <Director: " + [&] {
    char a[32];
    std::snprintf(a, sizeof a, "%p", static_cast<void*>(director));
    return std::string(a);
  }() + ">"), 1);
  director = nullptr;
  Director::setPixelFormat(1);  // allowed again once there is no instance
  Director::setPixelFormat(0);
}

TEST_F(DirectorTest, ReplaceExitsTheOldSceneBeforeTheNewEntersAndKeepsTheStack) {
  auto a = make<RecScene>(&journal, "a");
  auto b = make<RecScene>(&journal, "b");
  director->runScene(a);
  EXPECT_TRUE(director->isAnimating());
  EXPECT_EQ(director->runningScene(), nullptr) << "the switch waits for the next frame";
  frames(1);
  EXPECT_EQ(director->runningScene(), a.get());
  journal.clear();
  director->replaceScene(b);
  frames(1);
  EXPECT_EQ(journal, (std::vector<std::string>{"a:exit", "b:enter", "b:draw"}));
  ASSERT_EQ(director->scenes().size(), 1u);
  EXPECT_EQ(director->scenes()[0].get(), a.get());
}

TEST_F(DirectorTest, PushAndPopSwitchScenesAndPoppingTheLastEnds) {
  auto a = make<RecScene>(&journal, "a");
  auto b = make<RecScene>(&journal, "b");
  auto c = make<RecScene>(&journal, "c");
  director->runScene(a);
  frames(1);
  director->pushScene(b);
  director->pushScene(c);  // the last request decides
  frames(1);
  EXPECT_EQ(director->runningScene(), c.get());
  EXPECT_EQ(director->scenes().size(), 3u);
  director->popScene();
  frames(1);
  EXPECT_EQ(director->runningScene(), b.get());
  director->popScene();
  frames(1);
  journal.clear();
  director->popScene();  // the last one
  EXPECT_EQ(journal, (std::vector<std::string>{"a:exit"}));
  EXPECT_EQ(director->runningScene(), nullptr);
  EXPECT_FALSE(director->isAnimating());
  EXPECT_TRUE(platform::Application::sharedApplication()->isTerminated());
  EXPECT_TRUE(platform::RunLoop::main().stopped());
  journal.clear();
  frames(3);
  EXPECT_TRUE(journal.empty()) << "no frames after the end";
}

TEST_F(DirectorTest, PausedFramesDrawButDoNotTickAndResumeMeasuresFromResume) {
  auto s = make<RecScene>(&journal, "s");
  auto ticker = make<Recorder>(&journal, "t");
  ticker->schedule(&Recorder::tick);
  s->add(ticker);
  director->runScene(s);
  frames(2);
  EXPECT_EQ(ticker->ticks, 2);
  EXPECT_NEAR(ticker->lastDt, kFrame, 1e-5);
  director->pause();
  journal.clear();
  frames(5);
  EXPECT_EQ(ticker->ticks, 2);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "s:draw"), 5);
  // Resume part-way between two frames: the first dt is the time since resume.
  double lastDraw = 0;
  ticker->onDraw = [&] { lastDraw = clock.now(); };
  frames(1);
  const double previousFrame = lastDraw;
  platform::RunLoop::main().advance(0.01);
  const double resumedAt = clock.now();
  director->resume();
  EXPECT_EQ(director->dt(), 0.0);
  frames(1);
  ASSERT_GT(lastDraw, previousFrame);
  EXPECT_EQ(ticker->ticks, 3);
  EXPECT_NEAR(ticker->lastDt, lastDraw - resumedAt, 2e-6);
  EXPECT_LT(ticker->lastDt, kFrame - 0.009);
}

TEST_F(DirectorTest, TimersFireAfterTheFrameIsDrawn) {
  auto s = make<RecScene>(&journal, "s");
  auto t = make<Recorder>(&journal, "t");
  t->schedule(&Recorder::tick);
  s->add(t);
  director->runScene(s);
  frames(1);
  EXPECT_EQ(journal, (std::vector<std::string>{"s:enter", "t:enter", "s:draw", "t:draw", "t:tick"}));
}

TEST_F(DirectorTest, AnimationIntervalRestartsARunningTimerOnly) {
  director->setAnimationInterval(0.1);
  EXPECT_FALSE(director->isAnimating());
  EXPECT_EQ(platform::RunLoop::main().timerCount(), 0u);
  auto s = make<RecScene>(&journal, "s");
  director->runScene(s);
  platform::RunLoop::main().advance(1.0 + 1e-4);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "s:draw"), 10);
  journal.clear();
  director->setAnimationInterval(0.05);
  platform::RunLoop::main().advance(1.0 + 1e-4);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "s:draw"), 20);
  director->startAnimation();  // a second start does not double the frames
  journal.clear();
  platform::RunLoop::main().advance(1.0 + 1e-4);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "s:draw"), 20);
}

TEST_F(DirectorTest, FpsCounterWaitsForMoreThanThreeTenthsOfASecond) {
  auto s = make<RecScene>(&journal, "s");
  director->runScene(s);
  director->setDisplayFPS(true);
  frames(1);
  EXPECT_EQ(director->frameRate(), 0.f);
  // The arithmetic alone, with exact frame times.
  director->setDisplayFPS(false);
  director->stopAnimation();
  Director::purgeShared();
  director = Director::sharedDirector();
  ASSERT_NE(director, nullptr);
  director->startAnimation();
  director->stopAnimation();
  for (int i = 0; i < 3; ++i) {
    clock.advance(0.1);
    director->calculateDeltaTime();
    director->countFrame();
  }
  // 0.1 + 0.1 + 0.1 in single precision is 0.3000000119 > 0.3.
  EXPECT_FLOAT_EQ(director->frameRate(), 3 / 0.3f);
  EXPECT_EQ(director->framesCounted(), 0);
  clock.advance(0.25);
  director->calculateDeltaTime();
  director->countFrame();
  EXPECT_EQ(director->framesCounted(), 1);
  EXPECT_FLOAT_EQ(director->accumulatedDt(), 0.25f);
  director->setDisplayFPS(true);
  EXPECT_NO_THROW(director->drawScene());
}

struct Handler : platform::TouchHandler {
  int began = 0;
  CGPoint at;
  void touchesBegan(const platform::TouchSet& t, const platform::UIEvent&) override {
    ++began;
    at = t.at(0).location;
  }
};

TEST_F(DirectorTest, TouchesReachTheHandlerOrAreDropped) {
  platform::TouchSet touches(1);
  touches[0].location = CGPointMake(12, 34);
  platform::UIEvent event;
  EXPECT_NO_THROW(director->touchesBegan(touches, event));  // no handler
  Handler h;
  director->setEventHandler(&h);
  director->touchesBegan(touches, event);
  director->touchesEnded(touches, event);  // not answered: dropped
  EXPECT_EQ(h.began, 1);
  EXPECT_EQ(h.at, CGPointMake(12, 34));
}

TEST_F(DirectorTest, LandscapeSizesStatusBarAndTouchConversion) {
  auto* app = platform::Application::sharedApplication();
  EXPECT_EQ(director->winSize(), CGRectMake(0, 0, 320, 480));
  EXPECT_EQ(director->convertCoordinate(CGPointMake(10, 300)), CGPointMake(10, 180));
  EXPECT_EQ(director->convertCoordinate(CGPointMake(10, 100.7f)), CGPointMake(10, 379));
  director->setLandscape(false);
  EXPECT_EQ(app->statusBarOrientationChanges(), 0) << "an unchanged value does nothing";
  director->setLandscape(true);
  EXPECT_EQ(app->statusBarOrientationChanges(), 1);
  EXPECT_EQ(app->statusBarOrientation(), platform::InterfaceOrientation::LandscapeRight);
  EXPECT_FALSE(app->statusBarOrientationAnimated());
  EXPECT_EQ(director->winSize(), CGRectMake(0, 0, 480, 320));
  EXPECT_EQ(director->displaySize(), CGRectMake(0, 0, 320, 480));
  EXPECT_EQ(director->convertCoordinate(CGPointMake(10, 300)), CGPointMake(300, 10));
  // Scenes lay out by the current orientation.
  EXPECT_EQ(Scene::node()->transformAnchor(), Vec2(240, 160));
  director->setLandscape(false);
  EXPECT_EQ(app->statusBarOrientation(), platform::InterfaceOrientation::Portrait);
}

TEST_F(DirectorTest, NegativeZChildIsDrawnInTheParentsSpace) {
  auto s = Scene::node();
  auto parent = make<Node>();
  parent->setPosition(Vec2(100, 200));
  parent->add(make<Square>(1.f, 0.f, 0.f), -1);  // behind: not moved with the parent
  parent->add(make<Square>(0.f, 1.f, 0.f), 0);   // in front: moved with the parent
  s->add(parent);
  director->runScene(s);
  frames(1);
  EXPECT_EQ(pixel(20, 20), 0xFF000000u);
  EXPECT_EQ(pixel(120, 220), 0x00FF0000u);
  EXPECT_EQ(pixel(200, 300), 0x00000000u);
}

TEST_F(DirectorTest, LandscapeOriginIsThePortraitTopLeft) {
  director->setLandscape(true);
  auto s = Scene::node();
  s->add(make<Square>(0.f, 0.f, 1.f));
  auto far = make<Square>(1.f, 1.f, 0.f);
  far->setPosition(Vec2(440, 280));  // the landscape top right corner
  s->add(far);
  director->runScene(s);
  frames(1);
  EXPECT_EQ(pixel(20, 460), 0x0000FF00u);
  EXPECT_EQ(pixel(300, 20), 0xFFFF0000u);
  EXPECT_EQ(pixel(20, 20), 0x00000000u);
}

// The model-view matrix after f, starting from the identity.
template <class F>
std::vector<float> modelView(F&& f) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  f();
  std::vector<float> m(16);
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
  return m;
}

void expectMatrixNear(const std::vector<float>& a, const std::vector<float>& b) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-3) << "element " << i;
}

TEST_F(DirectorTest, CameraIsCleanUntilSetAndRestoreMakesItCleanAgain) {
  director->setCurrentContext();
  EXPECT_NEAR(Camera::getZEye(), 480 / 1.1566, 1e-3);
  Camera cam;
  EXPECT_FALSE(cam.dirty());
  EXPECT_EQ(cam.eye(), (Vec3f{160, 240, Camera::getZEye()}));
  EXPECT_EQ(cam.center(), (Vec3f{160, 240, 0}));
  EXPECT_EQ(cam.up(), (Vec3f{0, 1, 0}));
  const auto shifted = [] { glTranslatef(3, 4, 5); };
  expectMatrixNear(modelView([&] {
                     shifted();
                     cam.locate();
                   }),
                   modelView(shifted));

  cam.setEyeX(160, 240, Camera::getZEye());
  EXPECT_TRUE(cam.dirty());
  const auto defaultView = modelView([] { gluLookAt(160, 240, Camera::getZEye(), 160, 240, 0, 0, 1, 0); });
  expectMatrixNear(modelView([&] {
                     shifted();
                     cam.locate();
                   }),
                   defaultView);
  director->setLandscape(true);
  expectMatrixNear(modelView([&] { cam.locate(); }), modelView([] {
                     glRotatef(-90, 0, 0, 1);
                     gluLookAt(160, 240, Camera::getZEye(), 160, 240, 0, 0, 1, 0);
                     glTranslatef(-80, 80, 0);
                   }));
  cam.setCenterX(1, 2, 3);
  cam.setUpX(1, 0, 0);
  cam.restore();
  EXPECT_FALSE(cam.dirty());
  EXPECT_EQ(cam.center(), (Vec3f{160, 240, 0}));
  EXPECT_EQ(cam.up(), (Vec3f{0, 1, 0}));
  expectMatrixNear(modelView([&] {
                     shifted();
                     cam.locate();
                   }),
                   modelView(shifted));
}

TEST_F(DirectorTest, LookAtFromAnObliqueEyeMatchesTheHandComputedView) {
  director->setCurrentContext();
  // Eye (1, 2, 3) looking along (1, 1, 0) with up along +z: side s = (1, -1, 0)/sqrt2, up
  // u = (0, 0, 1), back -f = (-1, -1, 0)/sqrt2; p -> (r(x - y) + r, z - 3, -r(x + y) + 3r).
  const float r = float(M_SQRT1_2);
  const std::vector<float> view = {r, 0, -r, 0, -r, 0, -r, 0, 0, 1, 0, 0, r, -3, 3 * r, 1};
  expectMatrixNear(modelView([] { gluLookAt(1, 2, 3, 2, 3, 3, 0, 0, 5); }), view);

  Camera cam;
  cam.setEyeX(1, 2, 3);
  cam.setCenterX(2, 3, 3);
  cam.setUpX(0, 0, 5);
  expectMatrixNear(modelView([&] {
                     glTranslatef(7, 8, 9);  // discarded: a dirty camera starts from the identity
                     cam.locate();
                   }),
                   view);
  // Landscape: turned by -90 degrees about z after the view, shifted by (-80, 80) before it:
  // p -> (z - 3, -r(x - y) + 159r, -r(x + y) + 3r).
  director->setLandscape(true);
  expectMatrixNear(modelView([&] { cam.locate(); }),
                   {0, -r, -r, 0, 0, r, -r, 0, 1, 0, 0, 0, -3, 159 * r, 3 * r, 1});
}

// A 10 x 10 square, red in its lower-left quarter and green elsewhere, with the anchors and the
// relativeTransformAnchor setting of a test row.
class AnchoredSquare : public Node {
 public:
  explicit AnchoredSquare(bool relative) { relativeTransformAnchor_ = relative; }
  void draw() override {
    const GLfloat whole[] = {0, 0, 10, 0, 0, 10, 10, 10};
    const GLfloat quarter[] = {0, 0, 5, 0, 0, 5, 5, 5};
    glDisable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glColor4f(0.f, 1.f, 0.f, 1.f);
    glVertexPointer(2, GL_FLOAT, 0, whole);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glColor4f(1.f, 0.f, 0.f, 1.f);
    glVertexPointer(2, GL_FLOAT, 0, quarter);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
  }
};

TEST_F(DirectorTest, TransformPlacesRotatedScaledAnchoredNodes) {
  // Position (100, 200), transform anchor (20, 10), children anchor (5, 0), scale 2, rotation 90
  // (clockwise): a point p lands at (100, 200) + A + 2 Rot(-90)(p - (15, 10)), Rot(-90)(x, y) =
  // (y, -x), A = the transform anchor when relativeTransformAnchor is off, else (0, 0). The
  // square's red corner p = (0..5, 0..5) ends up at the top left of the turned square.
  const struct Row {
    bool relative;
    int red[2];
    int green[3][2];
    int empty[2];
  } rows[] = {
      // Off: the square covers x 100..120, y 220..240.
      {false, {105, 235}, {{105, 225}, {115, 235}, {115, 225}}, {85, 225}},
      // On: x 80..100, y 210..230.
      {true, {85, 225}, {{85, 215}, {95, 225}, {95, 215}}, {105, 235}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.relative ? "relative anchor" : "absolute anchor");
    auto s = Scene::node();
    auto n = make<AnchoredSquare>(row.relative);
    n->setPosition(Vec2(100, 200));
    n->setTransformAnchor(Vec2(20, 10));
    n->setChildrenAnchor(Vec2(5, 0));
    n->setScale(2);
    n->setRotation(90);
    s->add(n);
    if (director->runningScene()) {
      director->replaceScene(s);
    } else {
      director->runScene(s);
    }
    frames(1);
    EXPECT_EQ(pixel(row.red[0], row.red[1]), 0xFF000000u);
    for (const auto& g : row.green) EXPECT_EQ(pixel(g[0], g[1]), 0x00FF0000u) << g[0] << "," << g[1];
    EXPECT_EQ(pixel(row.empty[0], row.empty[1]), 0x00000000u);
  }
}

TEST_F(DirectorTest, DirtyCameraPlacesItsNodeAbsolutely) {
  auto s = Scene::node();
  auto parent = make<Node>();
  parent->setPosition(Vec2(200, 300));
  auto child = make<Square>(1.f, 0.f, 1.f);
  child->camera()->setEyeX(160, 240, Camera::getZEye());  // the default view, but dirty
  parent->add(child);
  s->add(parent);
  director->runScene(s);
  frames(1);
  EXPECT_EQ(pixel(20, 20), 0xFF00FF00u) << "the parent's move is discarded";
  EXPECT_EQ(pixel(220, 320), 0x00000000u);
}

}  // namespace
