#pragma once
// Autoplay: a bot that plays the running game through the same touch path as a player, for demos
// and end-to-end runs (--autoplay).
//
// It has one finger. It notices each rooster as it starts rising and taps it after a randomised
// reaction time (kMinReaction..kMaxReaction); when several are due it taps the front-most one. The
// tap point lies in the rooster's hit box and outside the hit box of every untouched character or
// button that a touch would reach first, so the girl is never hit. Between two taps the finger
// rests at least kFingerRest seconds (longer than a double hit's window). The bot's clock is the
// frame time handed out by the Scheduler, so it stands still while the Director is paused, and its
// random numbers come from its own generator: a seed gives the same game every time.
//
// Touches go to the Director's touchesBegan (then touchesEnded) in view coordinates. They are
// delivered from a task posted on the main run loop, after the frame that found a rooster due, so
// they arrive between frames like a real finger's.
//
//   Ref<Autoplay> bot = Autoplay::start(seed);   // scheduled; works for every game scene to come
//   ...
//   bot->stop();
#include <cstdint>
#include <random>
#include <vector>

#include "core/Object.h"
#include "math/Vec2.h"

namespace peckish {

class CharacterSprite;
class GameNode;
class Rooster;
class Timer;

class Autoplay : public Object {
 public:
  static constexpr double kMinReaction = 0.25;
  static constexpr double kMaxReaction = 0.55;
  static constexpr double kFingerRest = 0.15;

  explicit Autoplay(std::uint32_t seed);
  ~Autoplay() override;

  // A bot scheduled on the shared Scheduler (which keeps it alive until stop()).
  static Ref<Autoplay> start(std::uint32_t seed);
  void stop();
  bool isRunning() const { return timer_ != nullptr; }

  // The per-frame step: advances the bot's clock, notices new roosters and, when one is due,
  // posts the tap.
  void tick(double dt);
  // Taps the front-most due rooster of the running game if there is a safe point on it. Returns
  // whether it tapped.
  bool act();

  int taps() const { return taps_; }
  double now() const { return now_; }

  // The game layer of the Director's running scene, or null.
  static GameNode* runningGame();
  // A point on the character that a touch reaches before anything else (no untouched character
  // or button in front of it covers the point); false when there is none.
  static bool safePoint(GameNode* game, CharacterSprite* character, CGPoint* scenePoint);
  // One tap (touchesBegan, then touchesEnded) at a landscape scene point, given to the Director
  // in view coordinates as a finger's would be.
  static void tapAt(CGPoint scenePoint, std::int64_t touchId, double timestamp);

 private:
  struct Target {
    Ref<Rooster> rooster;
    double due;
  };
  void track(GameNode* game);
  void tap(CGPoint scenePoint);

  std::mt19937 rng_;
  std::vector<Target> targets_;
  double now_ = 0.0;
  double lastTap_ = -1.0e9;
  int taps_ = 0;
  bool posted_ = false;
  Ref<Timer> timer_;
};

}  // namespace peckish
