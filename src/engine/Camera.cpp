#include "engine/Camera.h"

#include <GLES/gl.h>

#include "engine/DisplayMetrics.h"
#include "engine/glu.h"

namespace peckish {

Camera::Camera() { restore(); }

Ref<Camera> Camera::camera() { return make<Camera>(); }

float Camera::getZEye() { return static_cast<float>(static_cast<double>(currentDisplaySize().size.height) / 1.1566); }

void Camera::restore() {
  const CGRect d = currentDisplaySize();
  eyeX_ = d.size.width / 2;
  eyeY_ = d.size.height / 2;
  eyeZ_ = getZEye();
  centerX_ = d.size.width / 2;
  centerY_ = d.size.height / 2;
  centerZ_ = 0.f;
  upX_ = 0.f;
  upY_ = 1.f;
  upZ_ = 0.f;
  dirty_ = false;
}

void Camera::setEyeX(float x, float y, float z) {
  eyeX_ = x;
  eyeY_ = y;
  eyeZ_ = z;
  dirty_ = true;
}
void Camera::setCenterX(float x, float y, float z) {
  centerX_ = x;
  centerY_ = y;
  centerZ_ = z;
  dirty_ = true;
}
void Camera::setUpX(float x, float y, float z) {
  upX_ = x;
  upY_ = y;
  upZ_ = z;
  dirty_ = true;
}
void Camera::eyeX(float* x, float* y, float* z) const {
  *x = eyeX_;
  *y = eyeY_;
  *z = eyeZ_;
}
void Camera::centerX(float* x, float* y, float* z) const {
  *x = centerX_;
  *y = centerY_;
  *z = centerZ_;
}
void Camera::upX(float* x, float* y, float* z) const {
  *x = upX_;
  *y = upY_;
  *z = upZ_;
}

void Camera::locate() {
  if (!dirty_) return;
  const bool landscape = currentLandscape();
  glLoadIdentity();
  if (landscape) glRotatef(-90.f, 0.f, 0.f, 1.f);
  gluLookAt(eyeX_, eyeY_, eyeZ_, centerX_, centerY_, centerZ_, upX_, upY_, upZ_);
  if (landscape) glTranslatef(-80.f, 80.f, 0.f);
}

}  // namespace peckish
