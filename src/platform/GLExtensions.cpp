// Definitions of the OpenGL ES extension entry points the GLES 1.1 library does not export.
// Each forwards to the driver's implementation, resolved through EGL the first time it is called.
#include <EGL/egl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/GLES.h"

namespace {

template <class Fn>
Fn resolve(const char* name) {
  auto fn = reinterpret_cast<Fn>(eglGetProcAddress(name));
  if (!fn) {
    std::fprintf(stderr, "GL entry point %s is not available\n", name);
    std::abort();
  }
  return fn;
}

}  // namespace

#define PECKISH_GL_FORWARD(ret, name, params, args)                         \
  extern "C" GL_API ret GL_APIENTRY name params {                           \
    using Fn = ret(GL_APIENTRY*) params;                                    \
    static const Fn fn = resolve<Fn>(#name);                                \
    return fn args;                                                         \
  }

PECKISH_GL_FORWARD(GLboolean, glIsRenderbufferOES, (GLuint renderbuffer), (renderbuffer))
PECKISH_GL_FORWARD(void, glBindRenderbufferOES, (GLenum target, GLuint renderbuffer), (target, renderbuffer))
PECKISH_GL_FORWARD(void, glDeleteRenderbuffersOES, (GLsizei n, const GLuint* renderbuffers), (n, renderbuffers))
PECKISH_GL_FORWARD(void, glGenRenderbuffersOES, (GLsizei n, GLuint* renderbuffers), (n, renderbuffers))
PECKISH_GL_FORWARD(void, glRenderbufferStorageOES,
                   (GLenum target, GLenum internalformat, GLsizei width, GLsizei height),
                   (target, internalformat, width, height))
PECKISH_GL_FORWARD(void, glGetRenderbufferParameterivOES, (GLenum target, GLenum pname, GLint* params),
                   (target, pname, params))
PECKISH_GL_FORWARD(GLboolean, glIsFramebufferOES, (GLuint framebuffer), (framebuffer))
PECKISH_GL_FORWARD(void, glBindFramebufferOES, (GLenum target, GLuint framebuffer), (target, framebuffer))
PECKISH_GL_FORWARD(void, glDeleteFramebuffersOES, (GLsizei n, const GLuint* framebuffers), (n, framebuffers))
PECKISH_GL_FORWARD(void, glGenFramebuffersOES, (GLsizei n, GLuint* framebuffers), (n, framebuffers))
PECKISH_GL_FORWARD(GLenum, glCheckFramebufferStatusOES, (GLenum target), (target))
PECKISH_GL_FORWARD(void, glFramebufferRenderbufferOES,
                   (GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer),
                   (target, attachment, renderbuffertarget, renderbuffer))
PECKISH_GL_FORWARD(void, glFramebufferTexture2DOES,
                   (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level),
                   (target, attachment, textarget, texture, level))
PECKISH_GL_FORWARD(void, glGetFramebufferAttachmentParameterivOES,
                   (GLenum target, GLenum attachment, GLenum pname, GLint* params),
                   (target, attachment, pname, params))
PECKISH_GL_FORWARD(void, glGenerateMipmapOES, (GLenum target), (target))
PECKISH_GL_FORWARD(void, glDrawTexiOES, (GLint x, GLint y, GLint z, GLint width, GLint height),
                   (x, y, z, width, height))
PECKISH_GL_FORWARD(void, glDrawTexfOES, (GLfloat x, GLfloat y, GLfloat z, GLfloat width, GLfloat height),
                   (x, y, z, width, height))

namespace peckish::platform {

bool hasGLExtension(const char* name) {
  const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!all || !name || !*name) return false;
  const size_t len = std::strlen(name);
  for (const char* p = all; (p = std::strstr(p, name)) != nullptr; p += len) {
    const bool startOk = p == all || p[-1] == ' ';
    const bool endOk = p[len] == ' ' || p[len] == '\0';
    if (startOk && endOk) return true;
  }
  return false;
}

}  // namespace peckish::platform
