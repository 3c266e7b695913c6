#pragma once
// A caption: who speaks and the words, in a dark strip over the game, for a given time. It takes
// no touches and no keys. The strip is a box in landscape scene coordinates (480 x 320, origin
// lower left) given by a placement function asked on every frame, so a caption moves with the
// screen it is over (a scene change under a caption); the words wrap inside it.
//
//   auto caption = Caption::create([] { return CGRectMake(20, 212, 440, 40); });
//   caption->show("Rooster", "Holla! Cock-a-doodle-doo!", 1.2);  // gone after 1.2 s
#include <functional>
#include <string>

#include "platform/RunLoop.h"
#include "ui/TextImage.h"
#include "ui/Widget.h"

namespace peckish::ui {

class Caption : public Widget {
 public:
  // The text size of the words and the speaker (points; 9 is the least that reads at scale 1).
  static constexpr float kTextSize = 11.f;

  static Ref<Caption> create(std::function<CGRect()> placement);
  ~Caption() override;

  // Shows the words (replacing any shown) for the given seconds of the main run loop's clock.
  void show(const std::string& speaker, const std::string& words, double seconds);
  void dismiss();
  bool isVisible() const { return superview() != nullptr; }

  const std::string& speaker() const { return speaker_; }
  const std::string& words() const { return words_; }
  // Where the strip is now.
  CGRect strip() const { return placement_(); }

  void drawIn(CGRect rect) override;

 private:
  explicit Caption(std::function<CGRect()> placement) : placement_(std::move(placement)) {}
  void expire();
  void layOut(float width);

  std::function<CGRect()> placement_;
  std::string speaker_, words_;
  float laidOutWidth_ = 0.f;
  TextImage speakerImage_, wordsImage_;
  platform::RunLoop::TimerId timer_ = 0;
};

}  // namespace peckish::ui
