#include "engine/transitions/TransitionRegistry.h"

#include <algorithm>

#include "engine/transitions/Transition.h"

namespace peckish {

namespace {

bool gReducedMotion = false;

template <class T>
Ref<TransitionScene> makeKind(double duration, Ref<Scene> scene) {
  return T::transitionWithDuration(duration, std::move(scene));
}

}  // namespace

const std::vector<TransitionKind>& transitionKinds() {
  static const std::vector<TransitionKind> kinds = {
      {"FadeTransition", &makeKind<FadeTransition>},
      {"FlipXTransition", &makeKind<FlipXTransition>},
      {"FlipYTransition", &makeKind<FlipYTransition>},
      {"FlipAngularTransition", &makeKind<FlipAngularTransition>},
      {"ShrinkGrowTransition", &makeKind<ShrinkGrowTransition>},
      {"JumpZoomTransition", &makeKind<JumpZoomTransition>},
      {"RotoZoomTransition", &makeKind<RotoZoomTransition>},
      {"MoveInLTransition", &makeKind<MoveInLTransition>},
      {"MoveInRTransition", &makeKind<MoveInRTransition>},
      {"MoveInTTransition", &makeKind<MoveInTTransition>},
      {"MoveInBTransition", &makeKind<MoveInBTransition>},
      {"SlideInLTransition", &makeKind<SlideInLTransition>},
      {"SlideInRTransition", &makeKind<SlideInRTransition>},
      {"SlideInTTransition", &makeKind<SlideInTTransition>},
      {"SlideInBTransition", &makeKind<SlideInBTransition>},
  };
  return kinds;
}

void setReducedMotion(bool on) { gReducedMotion = on; }
bool reducedMotion() { return gReducedMotion; }

Ref<TransitionScene> sceneTransition(std::string_view kind, double duration, Ref<Scene> scene) {
  if (gReducedMotion)
    return FadeTransition::transitionWithDuration(std::min(duration, kReducedMotionFade), std::move(scene));
  for (const TransitionKind& k : transitionKinds())
    if (kind == k.name) return k.make(duration, std::move(scene));
  return FadeTransition::transitionWithDuration(duration, std::move(scene));
}

}  // namespace peckish
