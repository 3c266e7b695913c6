#include "game/Autoplay.h"

#include <algorithm>

#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "game/GameNode.h"
#include "game/Sprites.h"
#include "platform/RunLoop.h"
#include "platform/Touch.h"
#include "ui/Overlay.h"

namespace peckish {

namespace {

// The view point (portrait, origin top left) that the Director converts to the scene point.
CGPoint viewPointFor(const Director* director, CGPoint scene) {
  if (director->landscape()) return CGPointMake(scene.y, scene.x);
  return CGPointMake(scene.x, director->displaySize().size.height - scene.y);
}

}  // namespace

Autoplay::Autoplay(std::uint32_t seed) : rng_(seed) { targets_.reserve(16); }

Autoplay::~Autoplay() = default;

Ref<Autoplay> Autoplay::start(std::uint32_t seed) {
  Ref<Autoplay> bot = make<Autoplay>(seed);
  bot->timer_ = Scheduler::sharedScheduler()->scheduleTarget(bot.get(), &Autoplay::tick);
  return bot;
}

void Autoplay::stop() {
  if (!timer_) return;
  Ref<Timer> timer = std::move(timer_);
  Scheduler* scheduler = Scheduler::sharedScheduler();
  if (scheduler->isFiring(timer.get()) || scheduler->isPendingAddition(timer.get())) scheduler->unscheduleTimer(timer.get());
  targets_.clear();
}

GameNode* Autoplay::runningGame() {
  if (!Director::exists()) return nullptr;
  Director* director = Director::sharedDirector();
  Scene* scene = director ? director->runningScene() : nullptr;
  if (!scene) return nullptr;
  for (const Node::ChildEntry& e : scene->children()) {
    if (auto* game = dynamic_cast<GameNode*>(e.node.get())) return game;
  }
  return nullptr;
}

void Autoplay::track(GameNode* game) {
  // Forget roosters that were hit or have gone.
  std::erase_if(targets_, [game](const Target& t) { return t.rooster->parent() != game || t.rooster->isTouched(); });
  std::uniform_real_distribution<double> reaction(kMinReaction, kMaxReaction);
  for (const Node::ChildEntry& e : game->children()) {
    auto* rooster = dynamic_cast<Rooster*>(e.node.get());
    if (!rooster || rooster->isTouched()) continue;
    const bool known = std::any_of(targets_.begin(), targets_.end(), [rooster](const Target& t) { return t.rooster.get() == rooster; });
    if (!known) targets_.push_back(Target{rooster, now_ + reaction(rng_)});
  }
}

void Autoplay::tick(double dt) {
  now_ += dt;
  GameNode* game = runningGame();
  if (!game) {
    targets_.clear();
    return;
  }
  track(game);
  if (posted_ || now_ - lastTap_ < kFingerRest) return;
  const bool due = std::any_of(targets_.begin(), targets_.end(), [this](const Target& t) { return t.due <= now_; });
  if (!due) return;
  posted_ = true;
  Ref<Autoplay> self(this);
  platform::RunLoop::main().post([self] {
    self->posted_ = false;
    if (self->isRunning()) self->act();
  });
}

bool Autoplay::act() {
  GameNode* game = runningGame();
  if (!game) return false;
  // A dialog on screen takes every touch a player makes: the bot's finger is no exception.
  if (ui::isModalShown()) return false;
  // Front-most first: the order in which a touch walks the layer.
  const auto& children = game->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    auto* rooster = dynamic_cast<Rooster*>(it->node.get());
    if (!rooster || rooster->isTouched()) continue;
    auto target = std::find_if(targets_.begin(), targets_.end(), [rooster](const Target& t) { return t.rooster.get() == rooster; });
    if (target == targets_.end() || target->due > now_) continue;
    CGPoint p;
    if (!safePoint(game, rooster, &p)) continue;
    targets_.erase(target);
    tap(p);
    return true;
  }
  return false;
}

bool Autoplay::safePoint(GameNode* game, CharacterSprite* character, CGPoint* scenePoint) {
  Director* director = Director::sharedDirector();
  if (!director) return false;
  const auto& children = game->children();
  // Everything a touch meets before the character: the children after it in the list.
  auto self = std::find_if(children.begin(), children.end(), [character](const Node::ChildEntry& e) { return e.node.get() == character; });
  if (self == children.end()) return false;
  auto blocked = [&](CGPoint p) {
    for (auto it = self + 1; it != children.end(); ++it) {
      auto* other = dynamic_cast<TouchSprite*>(it->node.get());
      if (!other || other->isTouched()) continue;
      if (!dynamic_cast<Button*>(other) && !dynamic_cast<CharacterSprite*>(other)) continue;
      if (other->containsPoint(p)) return true;
    }
    return false;
  };
  const Vec2 pos = character->position();
  const Vec2 anchor = character->transformAnchor();
  const CGSize size = character->texture() ? character->texture()->contentSize() : CGSize{};
  const float left = pos.x - anchor.x;
  const float bottom = pos.y - anchor.y;
  const float width = character->scale() * size.width;
  const float height = character->scale() * size.height;
  // The middle of the box first, then a grid over it.
  static constexpr float kFractions[] = {0.5f, 0.3f, 0.7f, 0.15f, 0.85f};
  for (float fy : kFractions) {
    for (float fx : kFractions) {
      const CGPoint wanted = CGPointMake(left + fx * width, bottom + fy * height);
      // Check the point the Director will actually hand the layer.
      const CGPoint p = director->convertCoordinate(viewPointFor(director, wanted));
      if (!character->containsPoint(p) || blocked(p)) continue;
      *scenePoint = p;
      return true;
    }
  }
  return false;
}

void Autoplay::tap(CGPoint scenePoint) {
  lastTap_ = now_;
  ++taps_;
  tapAt(scenePoint, 1, now_);
}

void Autoplay::tapAt(CGPoint scenePoint, std::int64_t touchId, double timestamp) {
  Director* director = Director::sharedDirector();
  if (!director) return;
  platform::Touch touch;
  touch.id = touchId;
  touch.location = viewPointFor(director, scenePoint);
  touch.previousLocation = touch.location;
  touch.timestamp = timestamp;
  platform::UIEvent event;
  event.timestamp = timestamp;
  platform::TouchSet touches{touch};
  event.allTouches = touches;
  Ref<Director> keep(director);
  director->touchesBegan(touches, event);
  touches[0].phase = platform::TouchPhase::Ended;
  event.allTouches.clear();
  director->touchesEnded(touches, event);
}

}  // namespace peckish
