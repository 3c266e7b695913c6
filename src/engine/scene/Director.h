#pragma once
// Director: the one object that drives the engine. It is the GL view (so it receives touches), owns
// the window the view sits in, owns the frame timer, and keeps the running scene, the scene that is
// to replace it and a stack of pushed scenes.
//
// Each frame (drawScene, called by a repeating timer on the main run loop): measure dt, switch
// scenes if a switch is pending (old scene onExit before new scene onEnter), visit the running
// scene under the landscape transform, draw the frames-per-second counter if enabled, tick the
// shared Scheduler with dt unless paused, present. Timers and actions therefore act after the frame
// is drawn and are seen in the next one.
//
//   Director::setPixelFormat(1);                  // before the first sharedDirector()
//   Director* d = Director::sharedDirector();     // null when the GL surface cannot be made
//   d->setLandscape(true);
//   d->runScene(mainMenu());                      // pushes and starts the frame timer
//
// Points stay the engine's unit everywhere (480 x 320 in landscape); the surface has
// contentScaleFactor() pixels a point. A change of the factor rebuilds the surface at the new
// size, points the viewport at it and has the texture cache load the picture variants for it;
// labels rasterise their text again when next drawn. setFollowsScreenScale(true) keeps the factor
// equal to the screen's (the window's pixels per point), through fullscreen switches and resizes.
// At the window's own scale, in a real window, the Director draws straight into the window (see
// EAGLView): the projections then start with the window's quarter turn, the viewport is the
// picture's place in the window (set again every frame, so it follows letterboxing), and a frame
// ends with the swap. Elsewhere (headless, RGB565, another scale) it draws into its own surface.
//
// Scene requests (runScene, replaceScene, pushScene, popScene) only record the next scene; the
// switch happens at the start of the next frame, and of several requests the last decides. Popping
// the last scene ends the Director: the scene exits, the timer stops and the application terminates
// (the run loop ends).
#include <cstdint>
#include <vector>

#include "core/Singleton.h"
#include "engine/render/EAGLView.h"
#include "math/Vec2.h"
#include "platform/RunLoop.h"
#include "platform/Touch.h"

namespace peckish {

class Scene;
namespace platform {
class Window;
}

class Director : public EAGLView, public Singleton<Director> {
 public:
  // 0: 16-bit RGB 565, 1: 32-bit RGBA8. Raises "DirectorInvalidPixelFormat" for other values and
  // "DirectorAlreadyInitialized" once the Director exists.
  static void setPixelFormat(int format);
  static int pixelFormat();
  // The single instance, created on first use; null when the drawing surface cannot be created
  // (a later call tries again).
  static Director* sharedDirector();

  // --- scene stack -------------------------------------------------------------------------
  void runScene(Ref<Scene> scene);      // pushScene + startAnimation; used once
  void replaceScene(Ref<Scene> scene);  // next scene; the stack is unchanged
  void pushScene(Ref<Scene> scene);     // onto the stack and next scene
  void popScene();                      // off the stack; the new top is next, or end() if none
  // Drops the stack, exits and drops the running scene, stops the timer and terminates the
  // application (which ends the run loop).
  void end();
  Scene* runningScene() const { return runningScene_.get(); }
  Scene* nextScene() const { return nextScene_.get(); }
  const std::vector<Ref<Scene>>& scenes() const { return scenes_; }

  // --- frame loop --------------------------------------------------------------------------
  void pause();   // frames keep being drawn; the scheduler stands still
  void resume();  // the next dt covers only the time since resume
  bool isPaused() const { return paused_; }
  void startAnimation();
  void stopAnimation();
  bool isAnimating() const { return animationTimer_ != 0; }
  double animationInterval() const { return animationInterval_; }
  // Takes effect at once when the timer runs (restarts it).
  void setAnimationInterval(double interval);
  void drawScene();
  void calculateDeltaTime();
  double dt() const { return dt_; }

  // --- frames-per-second counter -----------------------------------------------------------
  bool displayFPS() const { return displayFPS_; }
  void setDisplayFPS(bool on) { displayFPS_ = on; }
  // Counts the frame and draws the counter "%.2f" of frameRate().
  void showFPS();
  // The counting half of showFPS: frames += 1, accumDt += dt (single precision); past 0.3 s the
  // rate is frames / accumDt and both restart.
  void countFrame();
  float frameRate() const { return frameRate_; }
  int framesCounted() const { return frames_; }
  float accumulatedDt() const { return accumDt_; }

  // --- touches -----------------------------------------------------------------------------
  // Receiver of the four touch operations; not owned. A handler that leaves an operation at its
  // default does not answer it.
  platform::TouchHandler* eventHandler() const { return eventHandler_; }
  void setEventHandler(platform::TouchHandler* handler) { eventHandler_ = handler; }
  // While blocked (the player's pause), no touch reaches the event handler: every touch that
  // arrives here, from the mouse, fingers, keys or the autoplay bot, is dropped. Only a
  // cancellation still goes through, so a handler can forget a touch it saw begin.
  void setTouchesBlocked(bool on) { touchesBlocked_ = on; }
  bool touchesBlocked() const { return touchesBlocked_; }
  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesMoved(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesEnded(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesCancelled(const platform::TouchSet& touches, const platform::UIEvent& event) override;

  platform::Window* window() const { return window_.get(); }
  void setWindow(Ref<platform::Window> window);

  // --- display set-up and coordinates ------------------------------------------------------
  // The screen size nodes lay themselves out by: width and height swapped in landscape.
  CGRect winSize() const;
  // The physical portrait size, never swapped.
  CGRect displaySize() const { return winSize_; }
  bool landscape() const { return landscape_; }
  // On a change, also sets the status-bar orientation (landscape-right or portrait, not animated).
  void setLandscape(bool on);
  // In landscape: translate (160, 240), rotate -90 degrees, translate (-240, -160).
  void applyLandscape();
  // A view point (portrait, origin top left) in engine coordinates.
  CGPoint convertCoordinate(CGPoint p) const;
  void setDefaultProjection();
  void set2Dprojection();
  void set3Dprojection();
  void setAlphaBlending(bool on);
  void setDepthTest(bool on);
  void setTexture2D(bool on);

  // --- resolution --------------------------------------------------------------------------
  // Keep the content scale factor equal to the screen's scale (Screen::scale) from now on.
  void setFollowsScreenScale(bool on);
  bool followsScreenScale() const { return screenObserver_ != 0; }
  // Rebuilds the surface when the content scale changed (see the class comment).
  void layoutSubviews() override;

 private:
  friend class Singleton<Director>;
  Director();
  ~Director() override;  // logs "deallocing <Director: 0x...>"
  static void destroyShared(Director* d);
  void setNextScene();
  void readClock(std::int32_t* sec, std::int32_t* usec);
  void applyViewport();
  // Hands the display size, landscape setting and content scale to DisplayMetrics.
  void feedMetrics();

  bool constructing_ = true;
  bool initialised_ = false;
  bool feedsMetrics_ = true;  // false once purged: a Director kept alive past that feeds nothing
  Ref<platform::Window> window_;
  CGRect winSize_;
  platform::RunLoop::TimerId animationTimer_ = 0;
  double animationInterval_ = 1.0 / 30;
  bool landscape_ = false;
  bool displayFPS_ = false;
  int frames_ = 0;
  float accumDt_ = 0.f;
  float frameRate_ = 0.f;
  bool paused_ = false;
  Ref<Scene> runningScene_;
  Ref<Scene> nextScene_;
  platform::TouchHandler* eventHandler_ = nullptr;
  bool touchesBlocked_ = false;
  std::vector<Ref<Scene>> scenes_;
  std::int32_t lastUpdateSec_ = 0;
  std::int32_t lastUpdateUsec_ = 0;
  double dt_ = 0.0;
  float texturesScale_ = 1.f;        // the content scale the texture cache was told of
  bool projection2D_ = false;        // the last projection set (set2Dprojection)
  unsigned long screenObserver_ = 0;  // screen-mode notifications while following the screen
};

}  // namespace peckish
