#pragma once
// Touches as a phone reports them: positions in the portrait view (320 x 480 points, origin at the
// top left, y downwards), grouped in the set of one event.
#include <cstdint>
#include <vector>

#include "math/Vec2.h"

namespace peckish::platform {

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

struct Touch {
  std::int64_t id = 0;        // stable for one finger from began to ended
  CGPoint location;           // view coordinates
  CGPoint previousLocation;   // view coordinates
  TouchPhase phase = TouchPhase::Began;
  int tapCount = 1;
  double timestamp = 0.0;
  CGPoint locationInView() const { return location; }
};

// The touches of one event that changed in the phase being delivered.
using TouchSet = std::vector<Touch>;

struct UIEvent {
  TouchSet allTouches;   // every finger currently down
  double timestamp = 0.0;
};

// Receives the four touch operations. An operation left at its default does not answer it: the
// touch is dropped.
class TouchHandler {
 public:
  virtual ~TouchHandler() = default;
  virtual void touchesBegan(const TouchSet&, const UIEvent&) {}
  virtual void touchesMoved(const TouchSet&, const UIEvent&) {}
  virtual void touchesEnded(const TouchSet&, const UIEvent&) {}
  virtual void touchesCancelled(const TouchSet&, const UIEvent&) {}
};

}  // namespace peckish::platform
