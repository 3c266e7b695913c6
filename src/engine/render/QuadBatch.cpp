#include "engine/render/QuadBatch.h"

#include <cstddef>
#include <vector>

#include "engine/render/Texture2D.h"
#include "platform/GLES.h"

namespace peckish {

namespace {

struct Vertex {
  GLfloat x, y, z;
  GLfloat s, t;
  GLubyte color[4];
};
static_assert(sizeof(Vertex) == 24, "vertices are packed for the interleaved arrays");

struct State {
  bool enabled = true;
  int visitDepth = 0;
  unsigned quads = 0;
  GLuint name = 0;
  Ref<Texture2D> texture;  // keeps the queued quads' GL texture alive until they are drawn
  std::vector<Vertex> vertices;
  std::vector<GLushort> indices;
  std::uint64_t drawCalls = 0;

  State() {
    vertices.resize(size_t(QuadBatch::kMaxQuads) * 4);
    indices.resize(size_t(QuadBatch::kMaxQuads) * 6);
    // Each quad is the triangle strip 0 1 2 3 of Texture2D::drawAtPoint as two triangles.
    for (unsigned q = 0; q < QuadBatch::kMaxQuads; ++q) {
      const auto v = GLushort(q * 4);
      GLushort* i = &indices[size_t(q) * 6];
      i[0] = v;
      i[1] = GLushort(v + 1);
      i[2] = GLushort(v + 2);
      i[3] = GLushort(v + 2);
      i[4] = GLushort(v + 1);
      i[5] = GLushort(v + 3);
    }
  }
};

State& state() {
  static State s;
  return s;
}

}  // namespace

bool QuadBatch::enabled() { return state().enabled; }

void QuadBatch::setEnabled(bool on) {
  if (!on) flush();
  state().enabled = on;
}

bool QuadBatch::accepting() {
  const State& s = state();
  return s.enabled && s.visitDepth > 0;
}

unsigned QuadBatch::queued() { return state().quads; }

std::uint64_t QuadBatch::drawCalls() { return state().drawCalls; }

void QuadBatch::add(const Texture2D& texture, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  State& s = state();
  if (s.quads > 0 && (s.name != texture.name() || s.quads == kMaxQuads)) flush();
  if (s.quads == 0) {
    s.name = texture.name();
    s.texture.reset(const_cast<Texture2D*>(&texture));
  }
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const CGSize size = texture.contentSize();
  const GLfloat w = size.width, h = size.height;
  const GLfloat s0 = texture.minS(), s1 = texture.maxS();
  const GLfloat t0 = texture.minT(), t1 = texture.maxT();
  // Corners in the order of drawAtPoint: lower left, lower right, upper left, upper right; the
  // picture's top row (t0) at the larger y. (x, y, 0, 1) through the column-major matrix.
  Vertex* v = &s.vertices[size_t(s.quads) * 4];
  const GLfloat xs[4] = {0.f, w, 0.f, w};
  const GLfloat ys[4] = {0.f, 0.f, h, h};
  const GLfloat ss[4] = {s0, s1, s0, s1};
  const GLfloat ts[4] = {t1, t1, t0, t0};
  for (int i = 0; i < 4; ++i) {
    const GLfloat x = xs[i], y = ys[i];
    v[i].x = m[0] * x + m[4] * y + m[12];
    v[i].y = m[1] * x + m[5] * y + m[13];
    v[i].z = m[2] * x + m[6] * y + m[14];
    v[i].s = ss[i];
    v[i].t = ts[i];
    v[i].color[0] = r;
    v[i].color[1] = g;
    v[i].color[2] = b;
    v[i].color[3] = a;
  }
  ++s.quads;
}

void QuadBatch::flush() {
  State& s = state();
  if (s.quads == 0) return;

  // What this draw changes, to be put back afterwards.
  GLint matrixMode = GL_MODELVIEW, boundTexture = 0;
  GLfloat modelview[16], color[4];
  glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_CURRENT_COLOR, color);
  const GLboolean texturing = glIsEnabled(GL_TEXTURE_2D);
  const GLboolean vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
  const GLboolean coordArray = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
  const GLboolean colorArray = glIsEnabled(GL_COLOR_ARRAY);

  if (matrixMode != GL_MODELVIEW) glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (!texturing) glEnable(GL_TEXTURE_2D);
  if (!vertexArray) glEnableClientState(GL_VERTEX_ARRAY);
  if (!coordArray) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  if (!colorArray) glEnableClientState(GL_COLOR_ARRAY);
  glBindTexture(GL_TEXTURE_2D, s.name);
  const Vertex* v = s.vertices.data();
  glVertexPointer(3, GL_FLOAT, sizeof(Vertex), &v->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &v->s);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), v->color);
  glDrawElements(GL_TRIANGLES, GLsizei(s.quads * 6), GL_UNSIGNED_SHORT, s.indices.data());
  ++s.drawCalls;

  if (!colorArray) glDisableClientState(GL_COLOR_ARRAY);
  if (!coordArray) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  if (!vertexArray) glDisableClientState(GL_VERTEX_ARRAY);
  if (!texturing) glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, GLuint(boundTexture));
  // The colour array leaves the current colour undefined.
  glColor4f(color[0], color[1], color[2], color[3]);
  glLoadMatrixf(modelview);
  if (matrixMode != GL_MODELVIEW) glMatrixMode(GLenum(matrixMode));

  s.quads = 0;
  s.name = 0;
  s.texture = nullptr;
}

QuadBatch::VisitScope::VisitScope() { ++state().visitDepth; }

QuadBatch::VisitScope::~VisitScope() {
  State& s = state();
  if (--s.visitDepth == 0) flush();
}

}  // namespace peckish
