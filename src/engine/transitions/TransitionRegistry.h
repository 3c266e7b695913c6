#pragma once
// Every transition kind by its class name, for code that walks them all (the transitions demo,
// the tests that hold each kind to the same rules).
#include <vector>

#include "core/Object.h"

namespace peckish {

class Scene;
class TransitionScene;

struct TransitionKind {
  const char* name;
  Ref<TransitionScene> (*make)(double duration, Ref<Scene> scene);
};

// The fifteen kinds in a fixed order: fade, flips, zooms, move-ins, slide-ins.
const std::vector<TransitionKind>& transitionKinds();

}  // namespace peckish
