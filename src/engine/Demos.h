#pragma once
// Engine demos (`peckish --demo NAME`): scenes that show one part of the engine on its own.
//
//   Director* d = Director::sharedDirector();
//   d->setLandscape(true);
//   if (Ref<Scene> demo = demoScene("transitions")) d->runScene(demo);
//
// "transitions": two coloured scenes take turns, each transition kind in turn (1 s each, a hold
// of 1 s between them), with a label naming the kind that brought the scene in.
// "particles": the game's pictures and every particle preset in turn.
#include <string_view>
#include <vector>

#include "core/Object.h"

namespace peckish {

class Scene;
class TransitionScene;

// Every transition kind with its class name, in the order the demo shows them.
struct TransitionKind {
  const char* name;
  Ref<TransitionScene> (*make)(double duration, Ref<Scene> scene);
};
const std::vector<TransitionKind>& transitionKinds();

// The first scene of the transitions demo; it moves on by itself once it is the running scene.
Ref<Scene> transitionsDemo();

// The game's pictures on the farmyard with each particle preset in turn (4 s each), named.
Ref<Scene> particlesDemo();

// The demo of that name, or null when there is none.
Ref<Scene> demoScene(std::string_view name);

}  // namespace peckish
