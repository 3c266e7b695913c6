#include "game/MainMenu.h"

#include <cstdio>

#include "audio/BackgroundSoundManager.h"
#include "engine/scene/Director.h"
#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/scene/Scene.h"
#include "engine/render/Texture2D.h"  // before Sprite.h, which needs the complete type
#include "engine/render/Sprite.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"
#include "game/GameNode.h"
#include "game/GameServices.h"
#include "game/PeckishAppDelegate.h"
#include "platform/Application.h"
#include "platform/Config.h"
#include "ui/AlertView.h"

namespace peckish {

Ref<Scene> mainMenu() {
  playRandomPickupLine();
  Ref<Scene> scene = Scene::node();
  scene->add(MainMenu::node(), 0);
  return scene;
}

MainMenu::MainMenu() {
  MenuItem::setFontSize(kFontSize);
  MenuItem::setFontName("Marker Felt");
  Ref<MenuItem> playItem = MenuItem::itemFromString("Play", this, &MainMenu::play);
  Ref<MenuItem> scoresItem = MenuItem::itemFromString("High Scores", this, &MainMenu::scores);
  Ref<MenuItem> instructItem = MenuItem::itemFromString("Instructions", this, &MainMenu::instruct);
  Ref<MenuItem> tellItem = MenuItem::itemFromString("Tell a Friend", this, &MainMenu::tell);
  Ref<MenuItem> buyItem = MenuItem::itemFromString("Buy More", this, &MainMenu::buy);
  Ref<MenuItem> settingsItem = MenuItem::itemFromString("Settings", this, &MainMenu::settings);
  Menu::setOffsetY(kOffsetY);
  Ref<Menu> menu = Menu::menuWithItems(playItem, scoresItem, instructItem, tellItem, buyItem, settingsItem);
  menu_ = menu.get();
  Ref<Sprite> background = Sprite::spriteFromFile("MenuBackground.png");
  background->setTransformAnchor(vzero);
  add(background, 0);
  add(menu, 1);
}

MainMenu::~MainMenu() = default;

void MainMenu::onEnter() {
  Layer::onEnter();
  if (BackgroundSoundManager* music = BackgroundSoundManager::sharedManager()) music->playTrack("MenuMusic.mp3");
}

void MainMenu::play() {
  Director::sharedDirector()->replaceScene(sceneTransition("FadeTransition", 1.0, gameNode()));
}

void MainMenu::scores() {
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->showScores();
}

void MainMenu::buy() {
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->showBuyMore();
}

void MainMenu::settings() {
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->showSettings();
}

void MainMenu::instruct() {
  logAnalyticsAction("instruct");
  Ref<ui::AlertView> alert = ui::AlertView::create(kInstructionsTitle, kInstructions);
  alert->setCancelButtonIndex(alert->addButtonWithTitle("OK"));
  alert->show();
}

std::string MainMenu::mailBody() {
  return "PECKISH as many roosters as your can, but don't hit the chicken though, you'll PECKISH yourself!\n\n"
         "Its so funny!\n\n" +
         platform::productUrl();
}

std::string MainMenu::mailURL() {
  return "mailto:?subject=" + escapeURLText(kMailSubject) + "&body=" + escapeURLText(mailBody());
}

void MainMenu::tell() {
  logAnalyticsAction("tell");
  platform::Application::sharedApplication()->openURL(mailURL());
}

std::string escapeURLText(const std::string& text) {
  static const char* const kKept = "!$'()*+,-./:;?@_~";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    bool kept = alnum;
    for (const char* k = kKept; !kept && *k; ++k) kept = c == static_cast<unsigned char>(*k);
    if (kept) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace peckish
