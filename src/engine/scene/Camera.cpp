#include "engine/scene/Camera.h"

#include "engine/render/DisplayMetrics.h"
#include "engine/render/glu.h"
#include "platform/GLES.h"

namespace peckish {

Camera::Camera() { restore(); }

Ref<Camera> Camera::camera() { return make<Camera>(); }

float Camera::getZEye() { return static_cast<float>(static_cast<double>(currentDisplaySize().size.height) / 1.1566); }

void Camera::restore() {
  const CGRect d = currentDisplaySize();
  eye_ = {d.size.width / 2, d.size.height / 2, getZEye()};
  center_ = {d.size.width / 2, d.size.height / 2, 0.f};
  up_ = {0.f, 1.f, 0.f};
  dirty_ = false;
}

namespace {
void read(const Vec3f& v, float* x, float* y, float* z) {
  *x = v.x;
  *y = v.y;
  *z = v.z;
}
}  // namespace

void Camera::set(Vec3f& vector, float x, float y, float z) {
  vector = {x, y, z};
  dirty_ = true;
}

void Camera::setEyeX(float x, float y, float z) { set(eye_, x, y, z); }
void Camera::setCenterX(float x, float y, float z) { set(center_, x, y, z); }
void Camera::setUpX(float x, float y, float z) { set(up_, x, y, z); }
void Camera::eyeX(float* x, float* y, float* z) const { read(eye_, x, y, z); }
void Camera::centerX(float* x, float* y, float* z) const { read(center_, x, y, z); }
void Camera::upX(float* x, float* y, float* z) const { read(up_, x, y, z); }

void Camera::locate() {
  if (!dirty_) return;
  const bool landscape = currentLandscape();
  glLoadIdentity();
  if (landscape) glRotatef(-90.f, 0.f, 0.f, 1.f);
  gluLookAt(eye_.x, eye_.y, eye_.z, center_.x, center_.y, center_.z, up_.x, up_.y, up_.z);
  if (landscape) glTranslatef(-80.f, 80.f, 0.f);
}

}  // namespace peckish
