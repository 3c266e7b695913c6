// Random sets of touches delivered through the Director, headless, to a menu of three items and
// to a game layer, with frames of random length in between. Each input runs on a new scene of the
// kind its first byte picks; the Director, its GL surface and the texture cache live across inputs.
//
// Input: byte 0 picks the scene; then events of
//   op: bits 0-1 phase (began, moved, ended, cancelled), bits 2-4 finger count - 1 (at most 5),
//       bit 7 draws a frame afterwards whose length is the next byte in hundredths of a second
//       (at most 0.05 s, so a game does not end inside one input);
//   per finger: id (one byte, eight fingers) and x, y (two bytes each), also off the screen.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/scene/Director.h"
#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "game/GameNode.h"
#include "game/GameServices.h"
#include "game/State.h"
#include "platform/RunLoop.h"
#include "platform/Touch.h"
#include "ui/AlertView.h"

using namespace peckish;

namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool more() const { return p_ < end_; }
  std::uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

class Picked : public Object {
 public:
  void one() { ++count; }
  void two() { ++count; }
  void three() { ++count; }
  int count = 0;
};

struct World {
  platform::FakeClock clock;
  Director* director = nullptr;
  Ref<Picked> picked = make<Picked>();

  World() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("PECKISH_RESOURCES", PECKISH_SOURCE_DIR "/resources", 0);
    setenv("PECKISH_HIGHSCORE_URL", "http://127.0.0.1:1", 1);
    platform::RunLoop::main().setClock(&clock);
    Director::setPixelFormat(1);
    director = Director::sharedDirector();
    if (!director) std::abort();
    director->setLandscape(true);
    director->stopAnimation();
  }
  void frame(double dt) {
    clock.advance(dt);
    director->drawScene();
  }
};

World& world() {
  static World w;
  return w;
}

Ref<Scene> menuScene(Picked* picked) {
  auto scene = Scene::node();
  auto menu = Menu::menuWithItems(MenuItem::itemFromString("One", picked, &Picked::one),
                                  MenuItem::itemFromString("Two", picked, &Picked::two),
                                  MenuItem::itemFromString("Three", picked, &Picked::three));
  scene->add(menu);
  return scene;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  World& w = world();
  Reader in(data, size);
  const bool game = in.byte() & 1;
  if (game) State::purgeShared();
  Ref<Scene> scene = game ? gameNode() : menuScene(w.picked.get());
  if (w.director->runningScene()) w.director->replaceScene(scene);
  else w.director->runScene(scene);
  w.director->resume();
  w.frame(0);

  while (in.more()) {
    const std::uint8_t op = in.byte();
    platform::TouchSet touches;
    const int fingers = 1 + ((op >> 2) & 7) % 5;
    for (int i = 0; i < fingers; ++i) {
      platform::Touch t;
      t.id = in.byte() & 7;
      // The view is 320 x 480 (portrait); reach a little past every edge.
      t.location = CGPointMake(static_cast<float>(in.u16() % 400) - 40.f, static_cast<float>(in.u16() % 560) - 40.f);
      t.previousLocation = t.location;
      touches.push_back(t);
    }
    platform::UIEvent event;
    event.allTouches = touches;
    switch (op & 3) {
      case 0: w.director->touchesBegan(touches, event); break;
      case 1: w.director->touchesMoved(touches, event); break;
      case 2: w.director->touchesEnded(touches, event); break;
      default: w.director->touchesCancelled(touches, event); break;
    }
    if (op & 0x80) w.frame((in.byte() % 6) / 100.0);
  }

  // Leave nothing behind for the next input: dialogs the game opened, a pause it asked for.
  for (ui::AlertView* alert : ui::AlertView::visibleAlerts()) alert->removeFromSuperview();
  w.director->resume();
  return 0;
}
