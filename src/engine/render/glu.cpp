#include "engine/render/glu.h"

#include <cmath>

namespace peckish {

void gluPerspective(GLfloat fovy, GLfloat aspect, GLfloat zNear, GLfloat zFar) {
  const GLfloat ymax = zNear * static_cast<GLfloat>(std::tan(fovy * M_PI / 360.0));
  const GLfloat ymin = -ymax;
  const GLfloat xmin = ymin * aspect;
  const GLfloat xmax = ymax * aspect;
  glFrustumf(xmin, xmax, ymin, ymax, zNear, zFar);
}

namespace {
void normalize(GLfloat v[3]) {
  const GLfloat mag = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (mag != 0.f) {
    v[0] /= mag;
    v[1] /= mag;
    v[2] /= mag;
  }
}
void cross(const GLfloat a[3], const GLfloat b[3], GLfloat out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = -a[0] * b[2] + a[2] * b[0];
  out[2] = a[0] * b[1] - a[1] * b[0];
}
}  // namespace

void gluLookAt(GLfloat eyex, GLfloat eyey, GLfloat eyez, GLfloat centerx, GLfloat centery,
               GLfloat centerz, GLfloat upx, GLfloat upy, GLfloat upz) {
  // z points from the centre back to the eye; x = up x z; y = z x x.
  GLfloat z[3] = {eyex - centerx, eyey - centery, eyez - centerz};
  normalize(z);
  GLfloat y[3] = {upx, upy, upz};
  GLfloat x[3];
  cross(y, z, x);
  cross(z, x, y);
  // The cross products have the length of a parallelogram's area, below 1 for unit vectors that
  // are not perpendicular.
  normalize(x);
  normalize(y);
  const GLfloat m[16] = {
      x[0], y[0], z[0], 0.f,  //
      x[1], y[1], z[1], 0.f,  //
      x[2], y[2], z[2], 0.f,  //
      0.f,  0.f,  0.f,  1.f,
  };
  glMultMatrixf(m);
  glTranslatef(-eyex, -eyey, -eyez);
}

}  // namespace peckish
