#pragma once
// Helpers of the game tests: a fresh Director (32-bit surface, landscape), Scheduler, State and run
// loop on a fake clock for every test; whole frames driven by hand; touches given in landscape
// scene points and delivered through the Director; characters placed in chosen holes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/scene/Director.h"
#include "engine/render/Label.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "game/GameHUD.h"
#include "game/GameNode.h"
#include "game/Positions.h"
#include "game/Sprites.h"
#include "game/State.h"
#include "platform/Application.h"
#include "platform/RunLoop.h"
#include "platform/Touch.h"

namespace peckish::test {

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Scheduler::purgeShared();
    State::purgeShared();
    platform::RunLoop::main().reset();
    platform::RunLoop::main().setClock(&clock);
    Director::purgeShared();
    platform::Application::sharedApplication()->reset();
    Director::setPixelFormat(1);
    director = Director::sharedDirector();
    ASSERT_NE(director, nullptr) << "no headless GL surface";
    director->setLandscape(true);
    ::srandom(1);
  }
  void TearDown() override {
    game = nullptr;
    hud = nullptr;
    scene = nullptr;
    Director::purgeShared();
    Director::setPixelFormat(0);
    platform::Application::sharedApplication()->reset();
    Scheduler::purgeShared();
    State::purgeShared();
    platform::RunLoop::main().reset();
  }

  // Builds a game scene and makes it the running one (after one frame of no time).
  void startGame() {
    scene = gameNode();
    for (const auto& e : scene->children()) {
      if (auto* g = dynamic_cast<GameNode*>(e.node.get())) game = g;
      if (auto* h = dynamic_cast<GameHUD*>(e.node.get())) hud = h;
    }
    ASSERT_TRUE(game && hud);
    director->runScene(scene);
    director->stopAnimation();  // frames are driven by hand
    frame(0);
    state = State::sharedState();
  }
  // The same game without spawns getting in the way.
  void startQuietGame() {
    startGame();
    state->setFreq(1e9f);
  }

  void frame(double dt) {
    clock.advance(dt);
    director->drawScene();
  }
  void frames(int n, double dt) {
    for (int i = 0; i < n; ++i) frame(dt);
  }

  // One touch event with a finger at each landscape scene point (view point = (y, x)).
  void touch(std::initializer_list<CGPoint> points) {
    platform::TouchSet set;
    std::int64_t id = 1;
    for (CGPoint p : points) {
      platform::Touch t;
      t.id = id++;
      t.location = CGPointMake(p.y, p.x);
      t.previousLocation = t.location;
      set.push_back(t);
    }
    platform::UIEvent event;
    event.allTouches = set;
    director->touchesBegan(set, event);
  }
  void touch(float x, float y) { touch({CGPointMake(x, y)}); }

  // A character standing fully risen (or at the given scale) in a hole, as a spawn would leave it.
  template <class T>
  T* place(int hole, float scale = -1.f) {
    Ref<T> c = T::node();
    c->setPosition(Positions::pos(static_cast<unsigned>(hole)));
    c->setGridPosition(hole);
    c->setScale(scale > 0 ? scale : (hole < 3 ? 1.0f : hole < 6 ? 0.8f : 0.6f));
    game->add(c, 9 - hole);
    return c.get();
  }
  // A point inside a character's hit box (its lower-left quarter), as a scene point.
  static CGPoint inside(const CharacterSprite* c) {
    const Vec2 p = c->position();
    const float w = c->scale() * 100.f;
    return CGPointMake(p.x - 50.f + w * 0.25f, p.y + w * 0.25f);
  }

  template <class T>
  std::vector<T*> childrenOf(Node* parent) const {
    std::vector<T*> out;
    for (const auto& e : parent->children())
      if (auto* t = dynamic_cast<T*>(e.node.get())) out.push_back(t);
    return out;
  }
  int zOf(Node* parent, Node* child) const {
    for (const auto& e : parent->children())
      if (e.node.get() == child) return e.z;
    return -1000;
  }
  // Labels of the layer showing the given text.
  std::vector<Label*> labels(const std::string& text) const {
    std::vector<Label*> out;
    for (Label* l : childrenOf<Label>(game))
      if (l->string() == text) out.push_back(l);
    return out;
  }

  platform::FakeClock clock;
  Director* director = nullptr;
  Ref<Scene> scene;
  GameNode* game = nullptr;
  GameHUD* hud = nullptr;
  State* state = nullptr;
};

}  // namespace peckish::test
