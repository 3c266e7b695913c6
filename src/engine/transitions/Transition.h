#pragma once
// Scene transitions: a temporary scene that holds the outgoing scene (the Director's running
// scene when the transition is made) and the incoming scene as its two children, animates them
// for a given duration, and at the end asks the Director to replace it with the incoming scene.
//
//   Director::sharedDirector()->replaceScene(FadeTransition::transitionWithDuration(1.0, gameScene()));
//
// The incoming scene is drawn on top (z-order 1, the outgoing scene 0). At the end (finish) both
// scenes are made visible again with position (0, 0), scale 1, rotation 0, their original
// transform anchors and default cameras, any action still running on the scene nodes themselves is
// dropped, the Director is asked to switch to the incoming scene and both are detached.
// A touch-enabled layer of the incoming scene is the Director's event handler during the
// transition and again from the switch on.
//
// Making a transition to the running scene raises "TransitionWithInvalidScene" / "Incoming scene
// must be different from the outgoing scene" (as does a null incoming scene). With no running
// scene the transition starts from an empty scene.
//
// Kinds (d = duration, w x h = the Director's window size, eased = Accelerate with rate 0.5):
//   FadeTransition          to black over d/2, the scenes swap, back from black over d/2
//   MoveIn{L,R,T,B}         the incoming scene moves in from the left/right/top/bottom edge
//   SlideIn{L,R,T,B}        both scenes slide by one screen; the incoming one pushes the other out
//   ShrinkGrowTransition    the outgoing scene shrinks away while the incoming one grows
//   RotoZoomTransition      the outgoing scene spins and shrinks away, the incoming one spins in
//   JumpZoomTransition      the outgoing scene shrinks and jumps out, the incoming one jumps in
//   FlipX / FlipY / FlipAngular   the camera orbits: the outgoing scene turns edge-on, then the
//                                 incoming one turns back from edge-on
#include "engine/scene/Scene.h"
#include "math/Vec2.h"

namespace peckish {

class Action;
class IntervalAction;

class TransitionScene : public Scene {
 public:
  ~TransitionScene() override;

  Scene* inScene() const { return inScene_.get(); }
  Scene* outScene() const { return outScene_.get(); }
  double duration() const { return duration_; }

  // Adds the incoming scene at z-order 1 and the outgoing one at z-order 0. Every kind calls this
  // first and then sets up its own actions.
  virtual void start();
  // The common end (run by a CallFunc at the end of each kind's actions).
  void finish();

  // Scene behaviour; then once more resets the two scenes of a finished transition (actions
  // stepped after finish in the same frame cannot leave them moved) and releases the actions left
  // on the outgoing scene.
  void onExit() override;

 protected:
  // Raises "TransitionWithInvalidScene" when the incoming scene is the running scene.
  TransitionScene(double duration, Ref<Scene> scene);

  // new T(duration, scene), then start(): kinds are made only through their factories.
  template <class T>
  static Ref<T> create(double duration, Ref<Scene> scene) {
    Ref<T> t(new T(duration, std::move(scene)));
    t->start();
    return t;
  }

  // The window size the kinds lay themselves out by.
  static CGSize size();
  // A CallFunc of finish, the last step of every kind.
  Ref<Action> finishAction();
  // The flips: the camera orbits of the two sides, with the given azimuths in degrees.
  void flip(float inAngleX, float outAngleX);

  Ref<Scene> inScene_;
  Ref<Scene> outScene_;
  double duration_;

 private:
  Vec2 inAnchor_;
  Vec2 outAnchor_;
  // The two scenes of a finished transition, until it leaves the stage.
  Ref<Scene> finishedIn_;
  Ref<Scene> finishedOut_;
};

class FadeTransition : public TransitionScene {
 public:
  static Ref<FadeTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  // Base start; a transparent black ColorLayer over the screen at z-order 2 named "fade"; the
  // incoming scene hidden.
  void start() override;
  // Scene behaviour; then the fade: FadeIn d/2, hideOutShowIn, FadeOut d/2, finish.
  void onEnter() override;
  // Scene behaviour; then the "fade" layer is removed.
  void onExit() override;
  // Shows the incoming scene and hides the outgoing one.
  void hideOutShowIn();

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class FlipXTransition : public TransitionScene {
 public:
  static Ref<FlipXTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class FlipYTransition : public TransitionScene {
 public:
  static Ref<FlipYTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class FlipAngularTransition : public TransitionScene {
 public:
  static Ref<FlipAngularTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class ShrinkGrowTransition : public TransitionScene {
 public:
  static Ref<ShrinkGrowTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class JumpZoomTransition : public TransitionScene {
 public:
  static Ref<JumpZoomTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class RotoZoomTransition : public TransitionScene {
 public:
  static Ref<RotoZoomTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

// The incoming scene moves from off screen to (0, 0); the outgoing scene stays.
class MoveInLTransition : public TransitionScene {
 public:
  static Ref<MoveInLTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;
  // Places the incoming scene off screen (left edge: (-w, 0)).
  virtual void initScenes();
  // MoveTo (0, 0) over d.
  virtual Ref<IntervalAction> action();

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class MoveInRTransition : public MoveInLTransition {
 public:
  static Ref<MoveInRTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void initScenes() override;  // (w, 0)

 protected:
  friend class TransitionScene;
  using MoveInLTransition::MoveInLTransition;
};

class MoveInTTransition : public MoveInLTransition {
 public:
  static Ref<MoveInTTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void initScenes() override;  // (0, h)

 protected:
  friend class TransitionScene;
  using MoveInLTransition::MoveInLTransition;
};

class MoveInBTransition : public MoveInLTransition {
 public:
  static Ref<MoveInBTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void initScenes() override;  // (0, -h)

 protected:
  friend class TransitionScene;
  using MoveInLTransition::MoveInLTransition;
};

// Both scenes move by one screen: the incoming one from off screen to (0, 0), the outgoing one
// off screen on the other side. The transition ends with the outgoing scene's move.
class SlideInLTransition : public TransitionScene {
 public:
  static Ref<SlideInLTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void start() override;
  virtual void initScenes();               // incoming scene at (-w, 0)
  virtual Ref<IntervalAction> action();    // MoveBy (w, 0) over d

 protected:
  friend class TransitionScene;
  using TransitionScene::TransitionScene;
};

class SlideInRTransition : public SlideInLTransition {
 public:
  static Ref<SlideInRTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void initScenes() override;             // (w, 0)
  Ref<IntervalAction> action() override;  // MoveBy (-w, 0)

 protected:
  friend class TransitionScene;
  using SlideInLTransition::SlideInLTransition;
};

class SlideInTTransition : public SlideInLTransition {
 public:
  static Ref<SlideInTTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void initScenes() override;             // (0, h)
  Ref<IntervalAction> action() override;  // MoveBy (0, -h)

 protected:
  friend class TransitionScene;
  using SlideInLTransition::SlideInLTransition;
};

class SlideInBTransition : public SlideInLTransition {
 public:
  static Ref<SlideInBTransition> transitionWithDuration(double duration, Ref<Scene> scene);
  void initScenes() override;             // (0, -h)
  Ref<IntervalAction> action() override;  // MoveBy (0, h)

 protected:
  friend class TransitionScene;
  using SlideInLTransition::SlideInLTransition;
};

}  // namespace peckish
