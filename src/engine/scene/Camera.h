#pragma once
// Camera: an eye point, a centre point and an up vector in the space of the default 3-D projection.
// Every node owns one and calls locate() at the start of its transform. A clean camera does
// nothing; once any vector is set the camera is dirty and locate() replaces the model-view matrix
// with its own look-at view (so the node is placed absolutely, ignoring its parents' transforms).
// restore() brings back the defaults and makes the camera clean again.
#include "core/Object.h"

namespace peckish {

struct Vec3f {
  float x = 0.f;
  float y = 0.f;
  float z = 0.f;
  constexpr bool operator==(const Vec3f&) const = default;
};

class Camera : public Object {
 public:
  Camera();  // restore()
  static Ref<Camera> camera();

  // Eye at (display width / 2, display height / 2, getZEye()), centre at (w / 2, h / 2, 0), up
  // (0, 1, 0), clean. The display is the Director's portrait size.
  void restore();
  // Display height / 1.1566 (computed in double, rounded to float): the eye distance at which the
  // 60-degree view shows the full display height at z = 0.
  static float getZEye();

  void setEyeX(float x, float y, float z);
  void setCenterX(float x, float y, float z);
  void setUpX(float x, float y, float z);
  void eyeX(float* x, float* y, float* z) const;
  void centerX(float* x, float* y, float* z) const;
  void upX(float* x, float* y, float* z) const;
  Vec3f eye() const { return eye_; }
  Vec3f center() const { return center_; }
  Vec3f up() const { return up_; }
  bool dirty() const { return dirty_; }

  // Dirty: load the identity, turn for landscape, look at, shift for landscape.
  void locate();

 private:
  // Every setter: store the vector and make the camera dirty.
  void set(Vec3f& vector, float x, float y, float z);

  Vec3f eye_;
  Vec3f center_;
  Vec3f up_;
  bool dirty_ = false;
};

}  // namespace peckish
