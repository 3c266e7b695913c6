#include "demos/Demos.h"

#include "engine/scene/Scene.h"

namespace peckish {

namespace {

constexpr Demo kDemos[] = {
    {"transitions", &transitionsDemo},
    {"particles", &particlesDemo},
};

}  // namespace

std::span<const Demo> demos() { return kDemos; }

Ref<Scene> demoScene(std::string_view name) {
  for (const Demo& demo : kDemos) {
    if (name == demo.name) return demo.make();
  }
  return nullptr;
}

std::string demoNames() {
  std::string names;
  for (const Demo& demo : kDemos) {
    if (!names.empty()) names += ", ";
    names += demo.name;
  }
  return names;
}

}  // namespace peckish
