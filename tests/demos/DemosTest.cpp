// The demos as `peckish --demo NAME` runs them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demos/Demos.h"
#include "engine/render/Label.h"
#include "engine/StageTestSupport.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"

using namespace peckish;
using namespace peckish::test;

namespace {

class DemosTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    run(Scene::node());  // the scene on the Director's stack; the demo replaces it
  }
};

TEST_F(DemosTest, TransitionsDemoCyclesThroughEveryKindWithItsName) {
  run(transitionsDemo());
  std::vector<std::string> names;
  for (int i = 0; i < 600 && names.size() < 17; ++i) {
    frame(0.1);
    Scene* s = director->runningScene();
    if (dynamic_cast<TransitionScene*>(s)) continue;
    auto* label = s->getAs<Label>("name");
    ASSERT_NE(label, nullptr);
    if (names.empty() || names.back() != label->string()) names.push_back(label->string());
  }
  std::vector<std::string> expected{"Transitions"};
  for (const TransitionKind& k : transitionKinds()) expected.push_back(k.name);
  expected.push_back(transitionKinds()[0].name);  // after the last kind the cycle starts over
  EXPECT_EQ(names, expected);
  EXPECT_EQ(demoScene("nonesuch"), nullptr);
  EXPECT_NE(demoScene("transitions"), nullptr);
}

}  // namespace
