#pragma once
// Every transition kind by its class name, for code that walks them all (the transitions demo,
// the tests that hold each kind to the same rules), and the one place a scene change picks its
// transition, where the player's wish for reduced motion is honoured.
//
//   director->replaceScene(sceneTransition("FadeTransition", 1.0, gameScene()));
#include <string_view>
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

// Reduced motion (off by default): while on, sceneTransition gives a short fade whatever kind and
// length are asked for.
void setReducedMotion(bool on);
bool reducedMotion();
inline constexpr double kReducedMotionFade = 0.3;  // seconds, dark and back

// A transition to scene of the named kind (a FadeTransition for a name not in the table) over
// duration seconds; under reduced motion a FadeTransition of at most kReducedMotionFade.
Ref<TransitionScene> sceneTransition(std::string_view kind, double duration, Ref<Scene> scene);

}  // namespace peckish
