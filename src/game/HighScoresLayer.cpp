#include "game/HighScoresLayer.h"

#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/render/Label.h"
#include "engine/render/Texture2D.h"  // before Sprite.h, which needs the complete type
#include "engine/render/Sprite.h"
#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"
#include "game/MainMenu.h"
#include "game/PeckishAppDelegate.h"
#include "platform/HighScoreTable.h"
#include "platform/TextRaster.h"

namespace peckish {
namespace {

constexpr const char* kFont = "Marker Felt";
constexpr float kRowFont = 16.f;
constexpr float kRowHeight = 19.f;
constexpr float kFirstRowY = 238.f;

// The columns: centre x, box width, alignment (0 left, 1 centred, 2 right).
struct Column {
  float x;
  float width;
  int alignment;
};
constexpr Column kColumns[] = {{32, 36, 2}, {158, 200, 0}, {304, 80, 2}, {370, 44, 1}, {430, 92, 1}};
constexpr const char* kHeadings[] = {"", "Name", "Score", "Level", "Date"};

// The number of bytes of the UTF-8 sequence that starts with byte b (a stray byte counts as one).
size_t sequenceLength(unsigned char b) {
  return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

}  // namespace

Ref<Scene> highScoresScene(const std::string& highlight) {
  Ref<Scene> scene = Scene::node();
  scene->add(HighScoresLayer::node(highlight), 0);
  return scene;
}

std::string HighScoresLayer::fitName(const std::string& name, float width, const std::string& fontName,
                                     float fontSize) {
  // Measured as the label renders it, at the content scale; hinting makes widths differ a little
  // from one scale to another, hence the margin.
  const float scale = currentContentScale();
  auto fits = [&](const std::string& text) {
    return platform::measureString(text, fontName, fontSize * scale).width <= width * scale * 0.94f;
  };
  if (fits(name)) return name;
  // The whole characters that fit with the ellipsis after them.
  static const std::string kEllipsis = "\xE2\x80\xA6";
  std::vector<size_t> ends;
  for (size_t i = 0; i < name.size();) {
    i += sequenceLength(static_cast<unsigned char>(name[i]));
    ends.push_back(i < name.size() ? i : name.size());
  }
  size_t lo = 0, hi = ends.size();  // fits with lo characters; does not with hi
  while (hi - lo > 1) {
    const size_t mid = (lo + hi) / 2;
    if (fits(name.substr(0, ends[mid - 1]) + kEllipsis))
      lo = mid;
    else
      hi = mid;
  }
  return (lo == 0 ? std::string() : name.substr(0, ends[lo - 1])) + kEllipsis;
}

HighScoresLayer::HighScoresLayer(std::string highlight) {
  Ref<Sprite> background = Sprite::spriteFromFile("MenuBackground.png");
  background->setTransformAnchor(vzero);
  add(background, 0);
  add(ColorLayer::layerWithColor(0x000000C0), 1);

  Ref<Label> title = Label::labelWithString("High Scores", CGSizeMake(300, 36), 1, kFont, 30);
  title->setPosition(Vec2(240, 292));
  add(title, 2);

  const std::vector<platform::HighScore> entries = platform::HighScoreTable::standard().entries();
  if (entries.empty()) {
    Ref<Label> none = Label::labelWithString("No games yet: play one!", CGSizeMake(400, 30), 1, kFont, 22);
    none->setPosition(Vec2(240, 170));
    add(none, 2);
  } else {
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      Ref<Label> heading =
          Label::labelWithString(kHeadings[c], CGSizeMake(kColumns[c].width, 18), kColumns[c].alignment, kFont, 14);
      heading->setPosition(Vec2(kColumns[c].x, kFirstRowY + kRowHeight + 2));
      heading->setRGB(190, 190, 190);
      add(heading, 2);
    }
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    const platform::HighScore& e = entries[i];
    const bool mine = !highlight.empty() && e.id == highlight;
    if (mine) highlighted_ = static_cast<int>(i);
    const std::string texts[] = {std::to_string(i + 1) + ".", fitName(e.name, kColumns[1].width, kFont, kRowFont),
                                 std::to_string(e.score), std::to_string(e.level), e.date};
    std::vector<Label*> row;
    for (size_t c = 0; c < std::size(kColumns); ++c) {
      Ref<Label> label = Label::labelWithString(texts[c], CGSizeMake(kColumns[c].width, kRowHeight),
                                                kColumns[c].alignment, kFont, kRowFont);
      label->setPosition(Vec2(kColumns[c].x, kFirstRowY - kRowHeight * static_cast<float>(i)));
      if (mine) label->setRGB(255, 230, 0);
      row.push_back(label.get());
      add(label, 2);
    }
    rows_.push_back(std::move(row));
  }

  MenuItem::setFontSize(24);
  MenuItem::setFontName(kFont);
  Ref<MenuItem> onlineItem = MenuItem::itemFromString("Online Table", this, &HighScoresLayer::online);
  Ref<MenuItem> backItem = MenuItem::itemFromString("Main Menu", this, &HighScoresLayer::back);
  Ref<Menu> menu = Menu::menuWithItems(onlineItem, backItem);
  // One row under the table.
  onlineItem->setPosition(Vec2(140, 24));
  backItem->setPosition(Vec2(340, 24));
  menu_ = menu.get();
  add(menu, 3);
}

HighScoresLayer::~HighScoresLayer() = default;

void HighScoresLayer::online() {
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->showOnlineScores();
}

void HighScoresLayer::back() {
  Ref<Scene> scene = Scene::node();
  scene->add(MainMenu::node(), 0);
  Director::sharedDirector()->replaceScene(sceneTransition("FadeTransition", 0.5, scene));
}

HighScoresLayer* HighScoresLayer::running() {
  if (!Director::exists()) return nullptr;
  Scene* scene = Director::sharedDirector()->runningScene();
  if (!scene) return nullptr;
  for (const auto& child : scene->children())
    if (auto* layer = dynamic_cast<HighScoresLayer*>(child.node.get())) return layer;
  return nullptr;
}

}  // namespace peckish
