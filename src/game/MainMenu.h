#pragma once
// The main menu: the background picture and a column of six items, "Play", "High Scores",
// "Instructions", "Tell a Friend", "Buy More" and "Settings" (Marker Felt 20, menu offset -28: the
// column fits the sign of the picture).
//
//   director->runScene(mainMenu());   // plays a pickup line first
#include <string>

#include "engine/scene/Layer.h"

namespace peckish {

class Menu;
class Scene;

// A new scene holding a MainMenu at z 0 (plays a random pickup line first).
Ref<Scene> mainMenu();

class MainMenu : public Layer {
 public:
  static constexpr const char* kInstructionsTitle = "Instructions";
  static constexpr const char* kInstructions =
      "You have 2 minutes to hit as many roosters as your can.  You get bonus points for hitting roosters "
      "consecutively without missing. You get 2 extra seconds and double points for hitting 2 at once. If you "
      "hit a chicken you will lose 10% of your score.";
  static constexpr const char* kMailSubject = "Check out PECKISH the funniest game on the iPhone!";

  static constexpr int kFontSize = 20;
  static constexpr int kOffsetY = -28;

  MainMenu();
  ~MainMenu() override;
  static Ref<MainMenu> node() { return make<MainMenu>(); }

  // Layer behaviour, then the menu music.
  void onEnter() override;

  // The six items' operations.
  void play();      // fade (1 s) to a new game
  void scores();    // the high-score page
  void instruct();  // the rules in an alert
  void tell();      // a pre-filled e-mail
  void buy();       // the buy-more page
  void settings();  // the settings screen over the menu

  Menu* menu() const { return menu_; }

  // The e-mail body: two lines of praise and the product page, separated by empty lines.
  static std::string mailBody();
  // The mailto: address tell() opens.
  static std::string mailURL();

 private:
  Menu* menu_ = nullptr;  // held through the children list
};

// Percent-escapes text for a URL the way the phone's escaping for UTF-8 text does (spaces,
// newlines, quotes, '%', '#', brackets and every byte outside ASCII become %XX), and also escapes
// '&' and '=' so that the text stays one field of a query.
std::string escapeURLText(const std::string& text);

}  // namespace peckish
