#pragma once
// The high-score table kept on this machine, shown in the game: the ten best games (place, name,
// score, level, date) over the menu background, the entry of the game just played in yellow, and
// two buttons: "Online Table" (the high-score page in the browser, as the delegate shows it) and
// "Main Menu". Escape goes back to the main menu too (the delegate hands it the key).
//
//   director->replaceScene(FadeTransition::transitionWithDuration(0.5, highScoresScene(entryId)));
#include <string>
#include <vector>

#include "engine/scene/Layer.h"

namespace peckish {

class Label;
class Menu;
class Scene;

// A new scene holding a HighScoresLayer; `highlight` is the id of the entry to show in yellow.
Ref<Scene> highScoresScene(const std::string& highlight = "");

class HighScoresLayer : public Layer {
 public:
  explicit HighScoresLayer(std::string highlight = "");
  ~HighScoresLayer() override;
  static Ref<HighScoresLayer> node(std::string highlight = "") { return make<HighScoresLayer>(std::move(highlight)); }

  // The buttons' operations.
  void online();  // the online table in the browser
  void back();    // fade (0.5 s) to the main menu

  // The layer of the Director's running scene, or null.
  static HighScoresLayer* running();

  Menu* menu() const { return menu_; }
  // The rows as shown: place, name, score, level and date of each entry, in order.
  const std::vector<std::vector<Label*>>& rows() const { return rows_; }
  // The row in yellow, or -1.
  int highlightedRow() const { return highlighted_; }

  // The name as it fits `width` points in the given font: whole, or cut (never inside a UTF-8
  // sequence) and ended with an ellipsis.
  static std::string fitName(const std::string& name, float width, const std::string& fontName, float fontSize);

 private:
  Menu* menu_ = nullptr;  // held through the children list
  std::vector<std::vector<Label*>> rows_;
  int highlighted_ = -1;
};

}  // namespace peckish
