#include "engine/actions/CameraAction.h"

#include <cmath>

#include "engine/scene/Camera.h"
#include "engine/actions/CompositeActions.h"
#include "engine/scene/Node.h"

namespace peckish {

namespace {

Camera* cameraOf(Node* node) { return node ? node->camera() : nullptr; }

// Degrees to radians as the angles are stored: the division in float, the product with pi in
// double, the result rounded to float.
float radians(float degrees) { return static_cast<float>(static_cast<double>(degrees / 180.f) * M_PI); }

}  // namespace

// --- CameraAction ------------------------------------------------------------------------------

Ref<CameraAction> CameraAction::actionWithDuration(double duration) { return make<CameraAction>(duration); }

Ref<Action> CameraAction::copy() const { return make<CameraAction>(duration_); }

void CameraAction::start() {
  IntervalAction::start();
  if (Camera* camera = cameraOf(target_.get())) {
    camera->centerX(&centerXOrig_, &centerYOrig_, &centerZOrig_);
    camera->eyeX(&eyeXOrig_, &eyeYOrig_, &eyeZOrig_);
    camera->upX(&upXOrig_, &upYOrig_, &upZOrig_);
  }
}

Ref<Action> CameraAction::reverse() const {
  return make<ReverseTime>(Ref<Action>(const_cast<CameraAction*>(this)));
}

// --- OrbitCamera -------------------------------------------------------------------------------

OrbitCamera::OrbitCamera(float duration, float radius, float deltaRadius, float angleZ, float deltaAngleZ,
                         float angleX, float deltaAngleX)
    : CameraAction(duration),
      radius_(radius),
      deltaRadius_(deltaRadius),
      angleZ_(angleZ),
      deltaAngleZ_(deltaAngleZ),
      angleX_(angleX),
      deltaAngleX_(deltaAngleX),
      radDeltaZ_(radians(deltaAngleZ)),
      radDeltaX_(radians(deltaAngleX)) {}

Ref<OrbitCamera> OrbitCamera::actionWithDuration(float duration, float radius, float deltaRadius, float angleZ,
                                                 float deltaAngleZ, float angleX, float deltaAngleX) {
  return make<OrbitCamera>(duration, radius, deltaRadius, angleZ, deltaAngleZ, angleX, deltaAngleX);
}

Ref<Action> OrbitCamera::copy() const {
  return make<OrbitCamera>(static_cast<float>(duration_), radius_, deltaRadius_, angleZ_, deltaAngleZ_, angleX_,
                           deltaAngleX_);
}

void OrbitCamera::sphericalRadius(float* radius, float* zenith, float* azimuth) const {
  float ex = 0.f, ey = 0.f, ez = 0.f, cx = 0.f, cy = 0.f, cz = 0.f;
  if (Camera* camera = cameraOf(target_.get())) {
    camera->eyeX(&ex, &ey, &ez);
    camera->centerX(&cx, &cy, &cz);
  }
  const float x = ex - cx, y = ey - cy, z = ez - cz;
  float r = std::sqrt(x * x + y * y + z * z);
  float s = std::sqrt(x * x + y * y);
  if (r == 0.f) r = 1e-8f;
  if (s == 0.f) s = 1e-8f;
  *zenith = std::acos(z / r);
  *azimuth = x < 0.f ? static_cast<float>(M_PI - std::asin(y / s)) : std::asin(y / s);
  *radius = r / Camera::getZEye();
}

void OrbitCamera::start() {
  CameraAction::start();
  float r = 0.f, zenith = 0.f, azimuth = 0.f;
  sphericalRadius(&r, &zenith, &azimuth);
  if (std::isnan(radius_)) radius_ = r;
  if (std::isnan(angleZ_)) angleZ_ = static_cast<float>(zenith / M_PI * 180);
  if (std::isnan(angleX_)) angleX_ = static_cast<float>(azimuth / M_PI * 180);
  radZ_ = radians(angleZ_);
  radX_ = radians(angleX_);
}

void OrbitCamera::update(double t) {
  Camera* camera = cameraOf(target_.get());
  if (!camera) return;
  const float r = static_cast<float>((radius_ + deltaRadius_ * t) * Camera::getZEye());
  const float za = static_cast<float>(radZ_ + radDeltaZ_ * t);
  const float xa = static_cast<float>(radX_ + radDeltaX_ * t);
  const float sinZ = std::sin(za);
  camera->setEyeX(sinZ * std::cos(xa) * r + centerXOrig_, sinZ * std::sin(xa) * r + centerYOrig_,
                  std::cos(za) * r + centerZOrig_);
}

}  // namespace peckish
