#pragma once
// The settings screen: laid over whatever runs (the main menu, or the game paused by the player),
// which it dims and keeps underneath unchanged, and taken away again by Back or Escape, so the
// player returns exactly where they came from.
//
//   Music volume          -  70%  +
//   Effects volume        -  100% +
//   Voice volume          -  100% +
//   Fullscreen               Off
//   Window scale          -   2x  +
//   Captions                 Auto
//   Reduced motion           Off
//   Share play statistics    Off
//
// "Back" stands in the top left corner, clear of the captions' strip. The screen is one Menu, so a
// click, a tap and the keys that steer menus (arrows, Tab, Return, Space; Escape is Back) work alike:
// "-" and "+" items step a volume by 10 % (0..100) or the window scale by one; the value item of
// the other rows turns to its next value. Every change takes effect at once and is remembered in
// the user defaults by the code that owns the setting; a volume change plays a short sample at
// the new level. Mute (M) stays a master switch above the volumes. The values shown follow
// changes made elsewhere (F11, Ctrl +/-) through refresh().
//
// While it is on screen its Menu is the Director's touch handler; going away it gives the
// touches back to the layer that had them.
#include <string>
#include <vector>

#include "core/Callback.h"
#include "engine/scene/Layer.h"

namespace peckish {

class Label;
class Menu;
class MenuItem;

class SettingsScreen : public Layer {
 public:
  enum class Row { Music, Effects, Voice, Fullscreen, Scale, Captions, ReducedMotion, Sharing };
  static constexpr int kRowCount = 8;
  // Above the scene's own layers, below the UI's dialogs.
  static constexpr int kZ = 1000;

  // Lays a new screen over the running scene; closed runs after it has gone away.
  static Ref<SettingsScreen> open(Callback<void()> closed = {});

  explicit SettingsScreen(Callback<void()> closed);
  ~SettingsScreen() override;

  // Back: the screen leaves the scene (once).
  void close();
  // What runs after closing (the receiver is not owned: one going away first sets none).
  void setClosedCall(Callback<void()> closed) { closed_ = closed; }
  bool isOpen() const { return parent() != nullptr; }

  // Steps a row: by -1 or +1 for the volumes and the scale; toggles and choices turn to their next
  // value whatever the sign.
  void change(Row row, int by);
  // The value as the row shows it ("70%", "On", "2x", "Auto").
  static std::string valueText(Row row);
  // The item that steps the row that way ("-" for -1, "+" for +1; the value item of a row
  // without steppers answers both).
  MenuItem* item(Row row, int by) const;
  MenuItem* backItem() const { return back_; }
  // The value the row shows now.
  const std::string& shownText(Row row) const;
  Menu* menu() const { return menu_; }
  // Shows every value as it stands now.
  void refresh();

  // Layer behaviour, then the touches go back to the layer below.
  void onExit() override;

 private:
  // One item's call: a row stepped one way.
  struct Step : Object {
    SettingsScreen* screen;
    Row row;
    int by;
    Step(SettingsScreen* s, Row r, int b) : screen(s), row(r), by(b) {}
    void run() { screen->change(row, by); }
  };
  struct Line {
    Row row;
    MenuItem* down = nullptr;  // "-" (steppers), else the value item
    MenuItem* up = nullptr;    // "+" (steppers), else the value item
    Label* value = nullptr;    // the value (steppers: a label between the two; else the item's)
  };

  void addRow(Row row, float y, std::vector<Ref<MenuItem>>& items);

  Callback<void()> closed_;
  std::vector<Ref<Step>> steps_;
  std::vector<Line> lines_;
  Menu* menu_ = nullptr;       // held through the children list
  MenuItem* back_ = nullptr;   // held by the menu
  platform::TouchHandler* below_ = nullptr;  // the handler before the screen came
};

}  // namespace peckish
