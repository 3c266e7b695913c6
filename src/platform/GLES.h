#pragma once
// The one way to include OpenGL ES 1.1 in this project: the core API plus the extension entry
// points with prototypes. Mesa's libGLESv1_CM does not export the framebuffer-object and
// draw-texture entry points; the platform library defines them and forwards each call to the
// driver's function, looked up once on first use (see GLExtensions.cpp). Point sprites and
// point-size arrays (glPointSizePointerOES) come straight from the library.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GLES/gl.h>
#include <GLES/glext.h>

namespace peckish::platform {

// True when the current context's GL_EXTENSIONS lists name (exact word match).
bool hasGLExtension(const char* name);

}  // namespace peckish::platform
