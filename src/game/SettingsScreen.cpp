#include "game/SettingsScreen.h"

#include <algorithm>
#include <cstdio>

#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/render/Label.h"
#include "engine/render/Texture2D.h"
#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "engine/transitions/TransitionRegistry.h"
#include "game/PeckishAppDelegate.h"
#include "game/SoundSettings.h"
#include "platform/Display.h"
#include "platform/Settings.h"

namespace peckish {
namespace {

const char* const kFont = "Marker Felt";
constexpr int kRowFont = 18;
constexpr float kTop = 252.f;     // the first row's centre
constexpr float kStep = 26.f;     // row to row
constexpr float kNameRight = 250.f;
constexpr float kValueX = 345.f;  // value column; the steppers 45 points either side
constexpr float kStepperGap = 45.f;
constexpr PackedColor kShade = 0x141C30EC;  // dark blue, the dialogs' own, over what lies below

using Row = SettingsScreen::Row;

struct RowInfo {
  Row row;
  const char* name;
  bool stepper;       // "-" and "+" around the value; else the value itself is the item
  const char* widest;  // the longest value shown, so the value's box fits every one
};

constexpr RowInfo kRows[SettingsScreen::kRowCount] = {
    {Row::Music, "Music volume", true, "100%"},
    {Row::Effects, "Effects volume", true, "100%"},
    {Row::Voice, "Voice volume", true, "100%"},
    {Row::Fullscreen, "Fullscreen", false, "Off"},
    {Row::Scale, "Window scale", true, "8x"},
    {Row::Captions, "Captions", false, "Auto"},
    {Row::ReducedMotion, "Reduced motion", false, "Off"},
    {Row::Sharing, "Share play statistics", false, "Off"},
};

const char* onOff(bool on) { return on ? "On" : "Off"; }

// --- what each row reads and changes ---------------------------------------------------------

Volume volumeOf(Row row) {
  return row == Row::Music ? Volume::Music : row == Row::Effects ? Volume::Effects : Volume::Voice;
}

const char* captionsText() {
  switch (captionMode()) {
    case CaptionMode::On: return "On";
    case CaptionMode::Off: return "Off";
    case CaptionMode::Auto: break;
  }
  return "Auto";
}

void nextCaptions() {
  const CaptionMode mode = captionMode();
  setCaptionMode(mode == CaptionMode::Auto ? CaptionMode::On : mode == CaptionMode::On ? CaptionMode::Off : CaptionMode::Auto);
}

// The remembered answer about sharing play statistics; off until the player agreed.
bool sharing() { return platform::rememberedAnalyticsConsent().value_or(false); }
void setSharing(bool share) {
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->setAnalyticsConsent(share);
}

}  // namespace

Ref<SettingsScreen> SettingsScreen::open(Callback<void()> closed) {
  if (!Director::exists()) return {};
  Scene* scene = Director::sharedDirector()->runningScene();
  if (!scene) return {};
  Ref<SettingsScreen> screen = make<SettingsScreen>(closed);
  scene->add(screen, kZ);
  return screen;
}

SettingsScreen::SettingsScreen(Callback<void()> closed) : closed_(closed) {
  if (Director::exists()) below_ = Director::sharedDirector()->eventHandler();
  add(ColorLayer::layerWithColor(kShade), 0);
  Ref<Label> title = Label::labelWithString("Settings", CGSizeMake(240, 36), 1, kFont, 30);
  title->setPosition(Vec2(240, 292));
  add(title, 1);

  // Class-wide item settings: ours for these items, then as they were.
  const int previousSize = MenuItem::fontSize();
  const std::string previousFont = MenuItem::fontName();
  MenuItem::setFontSize(kRowFont);
  MenuItem::setFontName(kFont);
  std::vector<Ref<MenuItem>> items;
  lines_.reserve(kRowCount);
  for (int i = 0; i < kRowCount; ++i) addRow(kRows[i].row, kTop - kStep * static_cast<float>(i), items);
  Ref<MenuItem> back = MenuItem::itemFromString("Back", this, &SettingsScreen::close);
  back_ = back.get();
  items.push_back(back);
  MenuItem::setFontSize(previousSize);
  MenuItem::setFontName(previousFont);

  // The menu lays out a column; the rows place their items themselves.
  std::vector<Vec2> at;
  at.reserve(items.size());
  for (const Ref<MenuItem>& it : items) at.push_back(it->position());
  Ref<Menu> menu = make<Menu>(items);
  for (size_t i = 0; i < items.size(); ++i) items[i]->setPosition(at[i]);
  back_->setPosition(Vec2(60, 292));
  menu->setBackCall(Callback<void()>(this, &SettingsScreen::close));
  menu_ = menu.get();
  add(menu, 2);
  refresh();
}

SettingsScreen::~SettingsScreen() = default;

void SettingsScreen::addRow(Row row, float y, std::vector<Ref<MenuItem>>& items) {
  const RowInfo& info = kRows[static_cast<int>(row)];
  Ref<Label> name = Label::labelWithString(info.name, CGSizeMake(220, kRowFont + 4), 2, kFont, kRowFont);
  name->setPosition(Vec2(kNameRight - 110, y));
  add(name, 1);
  Line line{row};
  auto stepItem = [&](const char* text, int by, float x) {
    Ref<Step> step = make<Step>(this, row, by);
    Ref<MenuItem> it = MenuItem::itemFromString(text, step.get(), &Step::run);
    steps_.push_back(step);
    it->setPosition(Vec2(x, y));
    items.push_back(it);
    return it.get();
  };
  if (info.stepper) {
    line.down = stepItem("-", -1, kValueX - kStepperGap);
    line.up = stepItem("+", +1, kValueX + kStepperGap);
    Ref<Label> value = Label::labelWithString(info.widest, CGSizeMake(60, kRowFont + 4), 1, kFont, kRowFont);
    value->setPosition(Vec2(kValueX, y));
    add(value, 1);
    line.value = value.get();
  } else {
    line.down = line.up = stepItem(info.widest, +1, kValueX);
    line.value = line.up->label();
  }
  lines_.push_back(line);
}

void SettingsScreen::onExit() {
  Layer::onExit();
  // The layer below has the touches again if it is still on stage.
  if (auto* layer = dynamic_cast<Layer*>(below_); layer && layer->isRunning() && Director::exists())
    Director::sharedDirector()->setEventHandler(below_);
}

void SettingsScreen::close() {
  Node* from = parent();
  if (!from) return;
  Ref<SettingsScreen> keep(this);
  from->remove(this);
  if (closed_) closed_();
}

MenuItem* SettingsScreen::item(Row row, int by) const {
  const Line& line = lines_[static_cast<size_t>(row)];
  return by < 0 ? line.down : line.up;
}

const std::string& SettingsScreen::shownText(Row row) const {
  return lines_[static_cast<size_t>(row)].value->string();
}

std::string SettingsScreen::valueText(Row row) {
  platform::Display* d = platform::Display::shared();
  char text[16];
  switch (row) {
    case Row::Music:
    case Row::Effects:
    case Row::Voice:
      std::snprintf(text, sizeof text, "%d%%", soundVolume(volumeOf(row)));
      return text;
    case Row::Fullscreen:
      return onOff(d && d->fullscreen());
    case Row::Scale:
      std::snprintf(text, sizeof text, "%dx", d ? d->scale() : 1);
      return text;
    case Row::Captions:
      return captionsText();
    case Row::ReducedMotion:
      return onOff(reducedMotion());
    case Row::Sharing:
      return onOff(sharing());
  }
  return {};
}

void SettingsScreen::change(Row row, int by) {
  platform::Display* d = platform::Display::shared();
  switch (row) {
    case Row::Music:
    case Row::Effects:
    case Row::Voice:
      setSoundVolume(volumeOf(row), soundVolume(volumeOf(row)) + (by < 0 ? -10 : 10));
      playVolumeSample(volumeOf(row));
      break;
    case Row::Fullscreen:
      // The display tells its settings observer, which remembers the change.
      if (d) d->toggleFullscreen();
      break;
    case Row::Scale:
      if (d) d->setScale(d->scale() + (by < 0 ? -1 : 1));
      break;
    case Row::Captions:
      nextCaptions();
      break;
    case Row::ReducedMotion:
      setReducedMotion(!reducedMotion());
      platform::rememberReducedMotion(reducedMotion());
      break;
    case Row::Sharing:
      setSharing(!sharing());
      break;
  }
  refresh();
}

void SettingsScreen::refresh() {
  for (const Line& line : lines_) {
    const std::string text = valueText(line.row);
    if (line.value && line.value->string() != text) line.value->setString(text);
  }
}

}  // namespace peckish
