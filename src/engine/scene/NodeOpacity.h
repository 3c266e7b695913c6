#pragma once
// Nodes whose opacity can be animated (textured nodes, colour layers) adopt this interface; the
// fade actions drive it. 0 is transparent, 255 opaque.
#include <cstdint>

namespace peckish {

class NodeOpacity {
 public:
  virtual uint8_t opacity() const = 0;
  virtual void setOpacity(uint8_t opacity) = 0;

 protected:
  ~NodeOpacity() = default;
};

}  // namespace peckish
