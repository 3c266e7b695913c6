#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/scene/Camera.h"
#include "engine/actions/CameraAction.h"
#include "engine/actions/CompositeActions.h"

using namespace peckish;
using namespace peckish::test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class CameraActionTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    node = Node::node();
    node->onEnter();
    zEye = Camera::getZEye();
    Vec3f c = node->camera()->center();
    cx = c.x;
    cy = c.y;
  }
  void TearDown() override {
    node->stop();
    tick(0.0);
    tick(0.0);
    node->onExit();
    node = nullptr;
    EngineTest::TearDown();
  }
  void expectEye(float x, float y, float z, const char* where) {
    Vec3f e = node->camera()->eye();
    EXPECT_NEAR(e.x, x, 1e-3) << where;
    EXPECT_NEAR(e.y, y, 1e-3) << where;
    EXPECT_NEAR(e.z, z, 1e-3) << where;
  }
  Ref<Node> node;
  float zEye = 0, cx = 0, cy = 0;
};

TEST_F(CameraActionTest, OrbitStartsAboveTheCentreAndTurnsEdgeOn) {
  // The outgoing half of a flip: from straight above through a quarter turn about the y axis.
  Ref<OrbitCamera> orbit = OrbitCamera::actionWithDuration(1, 1, 0, 0, 90, 0, 0);
  node->do_(orbit);
  EXPECT_FALSE(node->camera()->dirty());  // nothing moves before the first step
  orbit->update(0.0);
  expectEye(cx, cy, zEye, "t = 0");
  EXPECT_TRUE(node->camera()->dirty());
  tick(0.5);
  expectEye(cx + zEye * std::sin(float(M_PI / 4)), cy, zEye * std::cos(float(M_PI / 4)), "t = 0.5");
  tick(0.5);
  expectEye(cx + zEye, cy, 0, "t = 1: edge-on");
  Vec3f c = node->camera()->center(), up = node->camera()->up();
  EXPECT_EQ(c, (Vec3f{cx, cy, 0}));
  EXPECT_EQ(up, (Vec3f{0, 1, 0}));

  // The incoming half: from edge-on on the other side back to straight above.
  node->camera()->restore();
  Ref<OrbitCamera> in = OrbitCamera::actionWithDuration(1, 1, 0, 270, 90, 0, 0);
  in->startWithTarget(node.get());
  in->update(0.0);
  expectEye(cx - zEye, cy, 0, "incoming t = 0");
  in->update(1.0);
  expectEye(cx, cy, zEye, "incoming t = 1");
}

TEST_F(CameraActionTest, OrbitCirclesTheCentreRecordedAtStart) {
  node->camera()->setCenterX(10, 20, 30);
  node->camera()->setEyeX(10, 20, 100);
  Ref<OrbitCamera> orbit = OrbitCamera::actionWithDuration(2, 2, -1, 90, 0, 0, 180);
  orbit->startWithTarget(node.get());
  node->camera()->setCenterX(0, 0, 0);  // later changes to the centre are not followed
  orbit->update(0.0);
  expectEye(10 + 2 * zEye, 20, 30, "t = 0");
  orbit->update(0.5);  // radius 1.5, azimuth 90: on +y
  expectEye(10, 20 + 1.5f * zEye, 30, "t = 0.5");
  orbit->update(1.0);
  expectEye(10 - zEye, 20, 30, "t = 1");
}

TEST_F(CameraActionTest, NaNParametersTakeTheCameraPositionAtStart) {
  // Eye 100 to the left of the centre: zenith 90, azimuth 180 (the x < 0 branch).
  node->camera()->setEyeX(cx - 100, cy, 0);
  Ref<OrbitCamera> keep = OrbitCamera::actionWithDuration(1, kNaN, 0, kNaN, 0, kNaN, 0);
  keep->startWithTarget(node.get());
  EXPECT_NEAR(keep->radius(), 100 / zEye, 1e-6);
  EXPECT_NEAR(keep->angleZ(), 90, 1e-4);
  EXPECT_NEAR(keep->angleX(), 180, 1e-4);
  keep->update(0.5);
  expectEye(cx - 100, cy, 0, "unchanged");

  // Only the radius left open: the orbit keeps the camera's distance.
  node->camera()->setEyeX(cx, cy, 200);
  Ref<OrbitCamera> tilt = OrbitCamera::actionWithDuration(1, kNaN, 0, 0, 90, 0, 0);
  tilt->startWithTarget(node.get());
  tilt->update(1.0);
  expectEye(cx + 200, cy, 0, "same distance");

  // The copy carries the parameters as they stand after start.
  Ref<OrbitCamera> copy = ref_cast<OrbitCamera>(keep->copy());
  ASSERT_TRUE(copy);
  EXPECT_FLOAT_EQ(copy->radius(), keep->radius());
  EXPECT_FLOAT_EQ(copy->angleX(), keep->angleX());
  EXPECT_DOUBLE_EQ(copy->duration(), 1.0);
}

TEST_F(CameraActionTest, ReverseRunsTheSameOrbitBackwards) {
  Ref<OrbitCamera> orbit = OrbitCamera::actionWithDuration(1, 1, 0, 0, 90, 0, 0);
  Ref<ReverseTime> back = ref_cast<ReverseTime>(orbit->reverse());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->other(), orbit.get());  // the orbit itself, not a copy
  EXPECT_DOUBLE_EQ(back->duration(), 1.0);
  node->do_(back);
  EXPECT_EQ(orbit->target(), node.get());
  tick(0.25);
  const float a = float(M_PI / 2 * 0.75);
  expectEye(cx + zEye * std::sin(a), cy, zEye * std::cos(a), "t = 0.25");
  tick(0.75);
  expectEye(cx, cy, zEye, "end: back above the centre");
}

}  // namespace
