#pragma once
// QuadBatch: draws consecutive textured nodes that share a GL texture with one draw call.
//
// While the node tree is being visited, a TextureNode does not draw itself: it queues its quad,
// the four corners of its picture already taken through the current model-view matrix on the CPU,
// with its colour (r, g, b, opacity) on every vertex. The queue is drawn (flushed) as one indexed
// triangle list under an identity model-view matrix:
//   - when a quad of another GL texture arrives (pictures packed in one atlas share a texture),
//   - when the visit that began it ends (the outermost Node::visit returns), and
//   - whenever other code is about to draw or to change GL state that the queued quads depend on
//     (projection, viewport, framebuffer, blending, ...): such code calls QuadBatch::flush() first.
//     The engine's own drawing does (colour layers, particles, labels drawn by hand, the FPS
//     counter, Texture2D::drawAtPoint / drawInRect, projection set-up, presenting a frame).
//
// A flush leaves the GL as it found it (client arrays, texturing, bound texture, current colour
// and model-view matrix), so it may happen in the middle of anybody's drawing. Model-view changes
// (node transforms, cameras, the landscape turn) need no flush: each quad carries its own.
// Outside a visit, or with batching turned off, textured nodes draw themselves at once.
//
// Main thread only (the thread that owns the GL context). The buffers are made once and reused:
// queueing and flushing allocate nothing.
#include <cstdint>

namespace peckish {

class Texture2D;

class QuadBatch {
 public:
  // The most quads one draw call takes (16-bit indices); a fuller queue is flushed first.
  static constexpr unsigned kMaxQuads = 4096;

  // Batching is on unless turned off (tests and benchmarks compare both ways of drawing).
  static bool enabled();
  static void setEnabled(bool on);

  // True while a quad may be queued: batching is on and a visit of the node tree is under way.
  static bool accepting();

  // Queues the picture of `texture` covering (0, 0)..(content width, content height) of the
  // current model-view space, in the colour (r, g, b, a) (modulating the texture).
  static void add(const Texture2D& texture, uint8_t r, uint8_t g, uint8_t b, uint8_t a);

  // Draws the queued quads now; nothing when the queue is empty.
  static void flush();

  // Quads waiting in the queue.
  static unsigned queued();
  // Draw calls made by flush since the process started (for tests and benchmarks).
  static uint64_t drawCalls();

  // Marks a visit of the node tree: the outermost scope's end flushes the queue.
  class VisitScope {
   public:
    VisitScope();
    ~VisitScope();
    VisitScope(const VisitScope&) = delete;
    VisitScope& operator=(const VisitScope&) = delete;
  };
};

}  // namespace peckish
