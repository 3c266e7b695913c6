#pragma once
// The demos (`peckish --demo NAME`): scenes that show one part of the engine on its own. They
// live beside the engine, not in it, and may use the game's pictures from the resources.
//
//   Director* d = Director::sharedDirector();
//   d->setLandscape(true);
//   if (Ref<Scene> demo = demoScene("transitions")) d->runScene(demo);
//
// "transitions": two coloured scenes take turns, each transition kind in turn (1 s each, a hold
// of 1 s between them), with a label naming the kind that brought the scene in.
// "particles": the game's pictures and every particle preset in turn.
#include <span>
#include <string>
#include <string_view>

#include "core/Object.h"

namespace peckish {

class Scene;

struct Demo {
  const char* name;
  Ref<Scene> (*make)();
};

// Every demo, in the order they are listed.
std::span<const Demo> demos();

// The demo of that name, or null when there is none.
Ref<Scene> demoScene(std::string_view name);

// The demos' names, separated by ", ".
std::string demoNames();

// The first scene of the transitions demo; it moves on by itself once it is the running scene.
Ref<Scene> transitionsDemo();

// The game's pictures on the farmyard with each particle preset in turn (4 s each), named.
Ref<Scene> particlesDemo();

}  // namespace peckish
