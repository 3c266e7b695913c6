#pragma once
// Interval actions that change one property of their target in proportion to the progress t:
// position (MoveTo, MoveBy, JumpTo, JumpBy), rotation (RotateTo, RotateBy), scale (ScaleTo,
// ScaleBy), visibility (Blink), opacity (FadeIn, FadeOut, FadeTo) and the texture of a textured
// node (Animate).
//
// Each reads the starting value in start() and writes start + change x t in update(). "To" actions
// compute the change from the value found at start to the given end value; "By" actions apply the
// given change. Values are combined in double precision from the single-precision fields and
// rounded to float when written to the node; opacities are truncated to an integer whose low 8
// bits are written. RotateTo and JumpTo replace their stored end value by the difference when they
// start, so running one again (or copying it after it started) moves by that difference.
//
// The fade actions need a target that implements NodeOpacity, Animate a TextureNode; on any other
// target they change nothing.
#include <cstdint>

#include "engine/actions/Action.h"

namespace peckish {

class Animation;
class Texture2D;

class MoveTo : public IntervalAction {
 public:
  MoveTo(double duration, Vec2 position);
  static Ref<MoveTo> actionWithDuration(double duration, Vec2 position);

  Vec2 endPosition() const { return endPosition_; }
  Vec2 startPosition() const { return startPosition_; }
  Vec2 delta() const { return delta_; }

  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;

 protected:
  struct ByDelta {};
  MoveTo(double duration, Vec2 delta, ByDelta);

  Vec2 endPosition_;
  Vec2 startPosition_;
  Vec2 delta_;
};

class MoveBy : public MoveTo {
 public:
  MoveBy(double duration, Vec2 delta);
  static Ref<MoveBy> actionWithDuration(double duration, Vec2 delta);
  Ref<Action> copy() const override;
  void start() override;
  Ref<Action> reverse() const override;  // MoveBy of -delta
};

// `jumps` arches of `height` above the straight line from the start to start + delta, landing on
// the line at every t = k / jumps.
class JumpBy : public IntervalAction {
 public:
  JumpBy(double duration, Vec2 position, double height, int jumps);
  static Ref<JumpBy> actionWithDuration(double duration, Vec2 position, double height, int jumps);

  Vec2 startPosition() const { return startPosition_; }
  Vec2 delta() const { return delta_; }
  double height() const { return height_; }
  int jumps() const { return jumps_; }

  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // JumpBy of -delta, same height and jumps

 protected:
  Vec2 startPosition_;
  Vec2 delta_;
  double height_;
  int jumps_;
};

// Jumps to an end point: at start the stored end point becomes the change from the start position.
class JumpTo : public JumpBy {
 public:
  JumpTo(double duration, Vec2 position, double height, int jumps);
  static Ref<JumpTo> actionWithDuration(double duration, Vec2 position, double height, int jumps);
  Ref<Action> copy() const override;
  void start() override;
};

// Turns the short way to an end angle (degrees): the difference is brought into [-180, 180] with
// at most one turn added or taken away.
class RotateTo : public IntervalAction {
 public:
  RotateTo(double duration, float angle);
  static Ref<RotateTo> actionWithDuration(double duration, float angle);
  float angle() const { return angle_; }
  float startAngle() const { return startAngle_; }
  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;

 private:
  float angle_;
  float startAngle_ = 0.f;
};

class RotateBy : public IntervalAction {
 public:
  RotateBy(double duration, float angle);
  static Ref<RotateBy> actionWithDuration(double duration, float angle);
  float angle() const { return angle_; }
  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // RotateBy of -angle

 private:
  float angle_;
  float startAngle_ = 0.f;
};

class ScaleTo : public IntervalAction {
 public:
  ScaleTo(double duration, float scale);
  static Ref<ScaleTo> actionWithDuration(double duration, float scale);
  float startScale() const { return startScale_; }
  float endScale() const { return endScale_; }
  float delta() const { return delta_; }
  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;

 protected:
  float startScale_ = 0.f;
  float endScale_;
  float delta_ = 0.f;
};

// Multiplies the scale by a factor (endScale() holds the factor).
class ScaleBy : public ScaleTo {
 public:
  ScaleBy(double duration, float factor);
  static Ref<ScaleBy> actionWithDuration(double duration, float factor);
  Ref<Action> copy() const override;
  void start() override;
  Ref<Action> reverse() const override;  // factor 1 / factor
};

// Hides the target in the first half and shows it in the second half of each of `times` slices.
// The visibility is left as the last update set it.
class Blink : public IntervalAction {
 public:
  Blink(double duration, int times);
  static Ref<Blink> actionWithDuration(double duration, int times);
  int times() const { return times_; }
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // the same blink

 private:
  int times_;
};

class FadeIn : public IntervalAction {
 public:
  explicit FadeIn(double duration) : IntervalAction(duration) {}
  static Ref<FadeIn> actionWithDuration(double duration);
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // FadeOut
};

class FadeOut : public IntervalAction {
 public:
  explicit FadeOut(double duration) : IntervalAction(duration) {}
  static Ref<FadeOut> actionWithDuration(double duration);
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // FadeIn
};

class FadeTo : public IntervalAction {
 public:
  FadeTo(double duration, uint8_t opacity);
  static Ref<FadeTo> actionWithDuration(double duration, uint8_t opacity);
  uint8_t toOpacity() const { return toOpacity_; }
  uint8_t fromOpacity() const { return fromOpacity_; }
  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;

 private:
  uint8_t toOpacity_;
  uint8_t fromOpacity_ = 0;
};

// Shows the frames of an animation one after another on a TextureNode, `delay` seconds each, and
// puts back the texture the node had at start when it stops. At the very end of the run (t = 1)
// the last frame is shown. Each update logs "idx: <frame index>".
class Animate : public IntervalAction {
 public:
  explicit Animate(Ref<Animation> animation);  // a null animation raises "AnimateInit"
  ~Animate() override;
  static Ref<Animate> actionWithAnimation(Ref<Animation> animation);

  Animation* animation() const { return animation_.get(); }
  Texture2D* origFrame() const { return origFrame_.get(); }

  Ref<Action> copy() const override;
  void start() override;
  void stop() override;
  void update(double t) override;

 private:
  Ref<Animation> animation_;
  Ref<Texture2D> origFrame_;
};

}  // namespace peckish
