#pragma once
// The two GLU helpers OpenGL ES lacks, applied to the current matrix.
#include "platform/GLES.h"

namespace peckish {

// Frustum for a vertical field of view in degrees: ymax = zNear * tan(fovy * pi / 360),
// x range +/- ymax * aspect.
void gluPerspective(GLfloat fovy, GLfloat aspect, GLfloat zNear, GLfloat zFar);
// The look-at matrix multiplied onto the current matrix, then a translation by -eye. Zero-length
// vectors are left unnormalised.
void gluLookAt(GLfloat eyex, GLfloat eyey, GLfloat eyez, GLfloat centerx, GLfloat centery,
               GLfloat centerz, GLfloat upx, GLfloat upy, GLfloat upz);

}  // namespace peckish
