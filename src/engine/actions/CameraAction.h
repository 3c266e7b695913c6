#pragma once
// Actions that move the camera of their target node instead of the node itself.
// CameraAction records the camera's centre, eye and up vectors when it starts; OrbitCamera moves the
// eye over a sphere around the recorded centre (the flip transitions turn a scene edge-on with it).
#include "engine/actions/Action.h"

namespace peckish {

class CameraAction : public IntervalAction {
 public:
  explicit CameraAction(double duration) : IntervalAction(duration) {}
  static Ref<CameraAction> actionWithDuration(double duration);

  Ref<Action> copy() const override;
  // Base start, then reads the target's camera: centre, eye, up.
  void start() override;
  // A ReverseTime of this very action (not of a copy).
  Ref<Action> reverse() const override;

 protected:
  float centerXOrig_ = 0.f, centerYOrig_ = 0.f, centerZOrig_ = 0.f;
  float eyeXOrig_ = 0.f, eyeYOrig_ = 0.f, eyeZOrig_ = 0.f;
  float upXOrig_ = 0.f, upYOrig_ = 0.f, upZOrig_ = 0.f;
};

// Moves the camera's eye around the centre recorded at start. Radii are in units of
// Camera::getZEye() (1 = the default eye distance); angleZ is the zenith angle from +z and angleX
// the azimuth in the x-y plane from +x, both in degrees. A radius, angleZ or angleX that is NaN is
// replaced at start by the value describing the camera's current eye.
class OrbitCamera : public CameraAction {
 public:
  OrbitCamera(float duration, float radius, float deltaRadius, float angleZ, float deltaAngleZ, float angleX,
              float deltaAngleX);
  static Ref<OrbitCamera> actionWithDuration(float duration, float radius, float deltaRadius, float angleZ,
                                             float deltaAngleZ, float angleX, float deltaAngleX);

  float radius() const { return radius_; }
  float deltaRadius() const { return deltaRadius_; }
  float angleZ() const { return angleZ_; }
  float deltaAngleZ() const { return deltaAngleZ_; }
  float angleX() const { return angleX_; }
  float deltaAngleX() const { return deltaAngleX_; }

  // The target camera's eye relative to its centre in spherical form: radius in getZEye units,
  // zenith and azimuth in radians.
  void sphericalRadius(float* radius, float* zenith, float* azimuth) const;

  Ref<Action> copy() const override;  // from the duration narrowed to float and the six parameters
  void start() override;
  void update(double t) override;

 private:
  float radius_, deltaRadius_;
  float angleZ_, deltaAngleZ_;
  float angleX_, deltaAngleX_;
  float radZ_ = 0.f, radDeltaZ_;
  float radX_ = 0.f, radDeltaX_;
};

}  // namespace peckish
