#include "engine/scene/Director.h"

#include <algorithm>

#include <sys/time.h>

#include <cstdio>

#include "core/Exception.h"
#include "core/Log.h"
#include "engine/scene/Camera.h"
#include "engine/scene/Description.h"
#include "engine/render/QuadBatch.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"
#include "engine/render/glu.h"
#include "platform/Application.h"
#include "platform/GLES.h"
#include "platform/Notifications.h"
#include "platform/Window.h"

namespace peckish {

namespace {
int gPixelFormat = 0;
}  // namespace

// --- creation ----------------------------------------------------------------------------------

void Director::setPixelFormat(int format) {
  if (format != 0 && format != 1) raise("DirectorInvalidPixelFormat", "Invalid Pixel Format for GL view");
  if (exists()) raise("DirectorAlreadyInitialized", "Can't change the pixel format after the director was initialized");
  gPixelFormat = format;
}

int Director::pixelFormat() { return gPixelFormat; }

Director* Director::sharedDirector() {
  std::lock_guard<std::recursive_mutex> lock(mutex());
  Director* d = shared();
  if (d->constructing_) return d;  // asked from inside its own set-up: hand it out as it is
  if (!d->initialised_) {
    // The drawing surface could not be made: forget the instance so a later call tries again.
    purgeShared();
    return nullptr;
  }
  return d;
}

Director::Director() : winSize_(platform::Screen::mainScreen().bounds()) {
  // The instance is already recorded (Singleton), so the set-up below may ask for it.
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{constructing_};
  feedMetrics();
  window_ = platform::Window::create(winSize_);
  const char* format = gPixelFormat == 0 ? kEAGLColorFormatRGB565 : kEAGLColorFormatRGBA8;
  layer().setDrawsIntoWindow(true);
  if (!window_ || !initWithFrame(window_->bounds(), format)) return;  // sharedDirector yields null
  window_->addSubview(this);
  // The surface follows the view: a new content scale rebuilds it at the new pixel size.
  setAutoresizesSurface(true);
  scenes_.reserve(10);
  animationInterval_ = 1.0 / 30;
  eventHandler_ = nullptr;
  setCurrentContext();
  setAlphaBlending(true);
  setDepthTest(true);
  setDefaultProjection();
  glClearColor(0.f, 0.f, 0.f, 1.f);
  landscape_ = false;
  displayFPS_ = false;
  frames_ = 0;
  paused_ = false;
  window_->makeKeyAndVisible();
  initialised_ = true;
}

Director::~Director() {
  engineLog("deallocing %s", objectDescription(this, &typeid(Director)).c_str());
  if (screenObserver_) platform::NotificationCenter::defaultCenter().removeObserver(screenObserver_);
  if (animationTimer_) platform::RunLoop::main().invalidateTimer(animationTimer_);
}

void Director::destroyShared(Director* d) {
  // From here on the display facts are the defaults again, whoever still holds this Director.
  d->feedsMetrics_ = false;
  clearDisplayMetrics();
  // The window owns its subview: break that link so the Director can go.
  Ref<platform::Window> window = std::move(d->window_);
  if (window && window->isKeyWindow()) window->resignKeyWindow();
  Ref<Director> keep(d);
  static_cast<const Object*>(d)->release();  // the instance's own reference
  d->removeFromSuperview();
  // keep drops the last reference here (unless someone else still holds the Director).
}

void Director::setWindow(Ref<platform::Window> window) { window_ = std::move(window); }

// --- scene stack -------------------------------------------------------------------------------

void Director::runScene(Ref<Scene> scene) {
  pushScene(std::move(scene));
  startAnimation();
}

void Director::replaceScene(Ref<Scene> scene) { nextScene_ = std::move(scene); }

void Director::pushScene(Ref<Scene> scene) {
  if (!scene) return;
  scenes_.push_back(scene);
  nextScene_ = std::move(scene);
}

void Director::popScene() {
  if (scenes_.empty()) return;
  scenes_.pop_back();
  if (scenes_.empty()) {
    end();
  } else {
    nextScene_ = scenes_.back();
  }
}

void Director::end() {
  scenes_.clear();
  if (runningScene_) {
    Ref<Scene> leaving = std::move(runningScene_);
    leaving->onExit();
    leaving->cleanup();
  }
  stopAnimation();
  platform::Application::sharedApplication()->terminate();
}

void Director::setNextScene() {
  Ref<Scene> leaving = std::move(runningScene_);
  if (leaving) leaving->onExit();
  Ref<Scene> entering = std::move(nextScene_);
  if (entering) entering->onEnter();
  runningScene_ = std::move(entering);
  // A scene that is neither on the stack nor back on stage (as the outgoing half of a transition)
  // has left for good: let its nodes go.
  if (leaving && !leaving->isRunning() &&
      std::find(scenes_.begin(), scenes_.end(), leaving) == scenes_.end())
    leaving->cleanup();
}

// --- frame loop --------------------------------------------------------------------------------

void Director::readClock(std::int32_t* sec, std::int32_t* usec) {
  timeval now{};
  if (platform::getTimeOfDay(&now) != 0) raise("GetTimeOfDay", "GetTimeOfDay abnormal error");
  *sec = static_cast<std::int32_t>(now.tv_sec);
  *usec = static_cast<std::int32_t>(now.tv_usec);
}

void Director::pause() { paused_ = true; }

void Director::resume() {
  readClock(&lastUpdateSec_, &lastUpdateUsec_);
  paused_ = false;
  dt_ = 0.0;
}

void Director::startAnimation() {
  readClock(&lastUpdateSec_, &lastUpdateUsec_);
  // One frame timer at a time: a second start replaces the first rather than doubling the frames.
  if (animationTimer_) platform::RunLoop::main().invalidateTimer(animationTimer_);
  animationTimer_ = platform::RunLoop::main().addTimer(animationInterval_, true, Callback<void()>(this, &Director::drawScene));
}

void Director::stopAnimation() {
  if (animationTimer_) platform::RunLoop::main().invalidateTimer(animationTimer_);
  animationTimer_ = 0;
}

void Director::setAnimationInterval(double interval) {
  animationInterval_ = interval;
  if (animationTimer_) {
    stopAnimation();
    startAnimation();
  }
}

void Director::calculateDeltaTime() {
  std::int32_t sec = 0, usec = 0;
  readClock(&sec, &usec);
  dt_ = (sec - lastUpdateSec_) + (usec - lastUpdateUsec_) / 1000000.0;
  lastUpdateSec_ = sec;
  lastUpdateUsec_ = usec;
}

void Director::drawScene() {
  Ref<Director> self(this);  // a frame may end the Director's scenes; the Director itself stays
  calculateDeltaTime();
  setCurrentContext();
  if (drawsIntoWindow()) applySurfaceViewport();  // the picture's place follows the window
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (nextScene_) setNextScene();
  glPushMatrix();
  applyLandscape();
  if (runningScene_) {
    Ref<Scene> scene = runningScene_;
    scene->visit();
  }
  glPopMatrix();
  if (displayFPS_) showFPS();
  if (!paused_) Scheduler::sharedScheduler()->tick(dt_);
  swapBuffers();
}

void Director::countFrame() {
  frames_ += 1;
  accumDt_ = static_cast<float>(accumDt_ + dt_);
  if (accumDt_ > 0.3) {
    frameRate_ = frames_ / accumDt_;
    frames_ = 0;
    accumDt_ = 0.f;
  }
}

void Director::showFPS() {
  countFrame();
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(frameRate_));
  Ref<Texture2D> texture = Texture2D::initWithString(text, CGSizeMake(100, 30), 1, "Arial", 24);
  QuadBatch::flush();
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glColor4ub(224, 224, 244, 200);
  if (texture) texture->drawAtPoint(CGPointMake(60, 20));
  texture = nullptr;
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

// --- touches -----------------------------------------------------------------------------------

void Director::touchesBegan(const platform::TouchSet& t, const platform::UIEvent& e) {
  if (eventHandler_ && !touchesBlocked_) eventHandler_->touchesBegan(t, e);
}
void Director::touchesMoved(const platform::TouchSet& t, const platform::UIEvent& e) {
  if (eventHandler_ && !touchesBlocked_) eventHandler_->touchesMoved(t, e);
}
void Director::touchesEnded(const platform::TouchSet& t, const platform::UIEvent& e) {
  if (eventHandler_ && !touchesBlocked_) eventHandler_->touchesEnded(t, e);
}
void Director::touchesCancelled(const platform::TouchSet& t, const platform::UIEvent& e) {
  if (eventHandler_) eventHandler_->touchesCancelled(t, e);
}

// --- display set-up and coordinates ------------------------------------------------------------

CGRect Director::winSize() const {
  if (!landscape_) return winSize_;
  return CGRect{winSize_.origin, CGSize{winSize_.size.height, winSize_.size.width}};
}

void Director::setLandscape(bool on) {
  if (on == landscape_) return;
  landscape_ = on;
  feedMetrics();
  platform::Application::sharedApplication()->setStatusBarOrientation(
      on ? platform::InterfaceOrientation::LandscapeRight : platform::InterfaceOrientation::Portrait, false);
}

void Director::applyLandscape() {
  if (!landscape_) return;
  glTranslatef(160.f, 240.f, 0.f);
  glRotatef(-90.f, 0.f, 0.f, 1.f);
  glTranslatef(-240.f, -160.f, 0.f);
}

CGPoint Director::convertCoordinate(CGPoint p) const {
  const float newY = static_cast<float>(static_cast<int>(winSize_.size.height - p.y));
  if (landscape_) return CGPointMake(p.y, p.x);
  return CGPointMake(p.x, newY);
}

void Director::setDefaultProjection() { set3Dprojection(); }

void Director::applyViewport() {
  // The projections work in points; the viewport maps them onto the surface's pixels.
  const CGSize s = surfaceSize();
  if (drawsIntoWindow() || (s.width > 0 && s.height > 0)) {
    applySurfaceViewport();
  } else {
    glViewport(0, 0, static_cast<GLsizei>(winSize_.size.width), static_cast<GLsizei>(winSize_.size.height));
  }
}

void Director::set2Dprojection() {
  QuadBatch::flush();
  const CGSize s = winSize_.size;
  applyViewport();
  projection2D_ = true;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  turnProjection();
  glOrthof(0.f, s.width, 0.f, s.height, -100.f, 100.f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void Director::set3Dprojection() {
  QuadBatch::flush();
  const CGSize s = winSize_.size;
  applyViewport();
  projection2D_ = false;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  turnProjection();
  gluPerspective(60.f, s.width / s.height, 0.5f, 1500.f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(s.width / 2, s.height / 2, Camera::getZEye(), s.width / 2, s.height / 2, 0.f, 0.f, 1.f, 0.f);
}

void Director::setAlphaBlending(bool on) {
  QuadBatch::flush();
  if (on) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
}

void Director::setDepthTest(bool on) {
  QuadBatch::flush();
  if (on) {
    glClearDepthf(1.f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
}

void Director::setTexture2D(bool on) {
  QuadBatch::flush();
  if (on) {
    glEnable(GL_TEXTURE_2D);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

// --- resolution --------------------------------------------------------------------------------

void Director::feedMetrics() {
  if (feedsMetrics_) feedDisplayMetrics(winSize_, landscape_, contentScaleFactor());
}

void Director::layoutSubviews() {
  feedMetrics();  // a new content scale is known before anything of the new surface is made
  const CGSize before = surfaceSize();
  const bool wasInWindow = drawsIntoWindow();
  EAGLView::layoutSubviews();
  if (!initialised_) return;
  const CGSize after = surfaceSize();
  if (drawsIntoWindow() != wasInWindow) {
    // Into the window or out of it: the projection gains or loses the window's turn.
    setCurrentContext();
    if (projection2D_) set2Dprojection();
    else set3Dprojection();
  } else if (after.width != before.width || after.height != before.height) {
    setCurrentContext();
    applyViewport();
  }
  const float scale = contentScaleFactor();
  if (scale != texturesScale_) {
    texturesScale_ = scale;
    if (TextureMgr::exists()) TextureMgr::sharedTextureMgr()->contentScaleChanged(scale);
  }
}

void Director::setFollowsScreenScale(bool on) {
  auto& center = platform::NotificationCenter::defaultCenter();
  if (!on) {
    if (screenObserver_) center.removeObserver(screenObserver_);
    screenObserver_ = 0;
    return;
  }
  if (!screenObserver_) {
    screenObserver_ = center.addObserver(platform::kScreenModeDidChangeNotification, [this](void*) {
      setContentScaleFactor(platform::Screen::mainScreen().scale());
    });
  }
  setContentScaleFactor(platform::Screen::mainScreen().scale());
}

}  // namespace peckish
