#pragma once
// A notice laid over the whole screen: the game dimmed, a headline and one line under it in the
// middle (for example "Paused" / "Press P to continue"). It takes no touches and no keys: touches
// pass through it to whatever lies beneath, so whoever shows it decides what else stops.
//
//   auto banner = Banner::create("Paused", "Press P to continue");
//   banner->show();      // in front of everything in the Director's window
//   banner->dismiss();
#include <string>

#include "ui/TextImage.h"
#include "ui/Widget.h"

namespace peckish::ui {

class Banner : public Widget {
 public:
  static Ref<Banner> create(const std::string& headline, const std::string& line);
  ~Banner() override;

  const std::string& headline() const { return headline_; }
  const std::string& line() const { return line_; }

  void show();
  void dismiss();
  bool isVisible() const { return superview() != nullptr; }

  void drawIn(CGRect rect) override;

 private:
  Banner(const std::string& headline, const std::string& line);

  std::string headline_, line_;
  TextImage headlineImage_, lineImage_;
};

}  // namespace peckish::ui
