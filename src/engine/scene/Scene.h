#pragma once
// Scene: the root node of a scene. Its transform anchor is the centre of the screen (in the
// Director's current orientation) and position places the node's origin, so a scene at (0, 0)
// rotates and scales about the screen centre.
#include "engine/scene/Node.h"

namespace peckish {

class Scene : public Node {
 public:
  Scene();
  static Ref<Scene> node();
};

}  // namespace peckish
