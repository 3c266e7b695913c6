#include "engine/scene/Scene.h"

#include "engine/render/DisplayMetrics.h"

namespace peckish {

Scene::Scene() {
  relativeTransformAnchor_ = false;
  const CGRect s = currentWinSize();
  transformAnchor_ = Vec2(s.size.width / 2, s.size.height / 2);
}

Ref<Scene> Scene::node() { return make<Scene>(); }

}  // namespace peckish
