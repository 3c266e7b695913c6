#pragma once
// Menu: a touch-enabled layer that stacks MenuItems in a centred column and turns a tap into the
// item's call. The first item is at the top; all items are spaced by the first item's height + 5;
// the class-wide offsetY shifts every menu laid out afterwards (positive moves it up).
//
//   Menu::setOffsetY(-30);
//   auto menu = Menu::menuWithItems(play, scores, buy, instructions, tell);
//   scene->add(menu);
//
// Touches: the finger going down on an item selects it (it grows), moving onto another item moves
// the selection, lifting over an item shrinks it back and activates it; lifting elsewhere only
// shrinks the selected item back. One touch of each set is looked at.
//
// Keys: the menu keeps a keyboard focus (engine/menu/FocusRing.h has the rules every menu and
// dialog share). navigate() takes one NavKey: the first key shows the highlight on the first item
// without acting, the arrows and Tab / Shift+Tab then move it (wrapping at the ends, skipping
// disabled or hidden items), Activate (Return, Space) performs the focused item exactly as a tap
// on it would, Back (Escape) calls the back call the owner set (a menu without one leaves the key
// to others). The focused item grows as under a finger and stands on a band in the dialogs'
// colours; the highlight shows only once a key was used and a touch or a mouse move hides it
// again, so a menu nobody steers by keys looks as it always did.
//
// Keys reach the front-most menu (Menu::frontmost()) through ui/Overlay's key router, after any
// dialog; a game controller steers a menu by sending the same keys (see FocusRing.h).
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/Callback.h"
#include "engine/scene/Layer.h"
#include "engine/menu/FocusRing.h"
#include "engine/menu/MenuItem.h"
#include "math/Vec2.h"

namespace peckish {

class Menu : public Layer {
 public:
  // There is no plain construction: a menu has items. The items are added with z-order 0, 1, 2...
  // in the order given; the list ends at its first null entry.
  Menu(Ref<MenuItem> first, std::initializer_list<Ref<MenuItem>> rest = {});
  explicit Menu(const std::vector<Ref<MenuItem>>& items);

  template <class... Rest>
  static Ref<Menu> menuWithItems(Ref<MenuItem> first, Rest&&... rest) {
    return make<Menu>(std::move(first), std::initializer_list<Ref<MenuItem>>{Ref<MenuItem>(std::forward<Rest>(rest))...});
  }

  static void setOffsetY(int offset);
  static int offsetY();

  // Positions the items in a column centred on the Director's window (see above).
  void alignItems();
  // The item whose rect holds the view point p (converted to scene coordinates by the Director),
  // or null. Left and bottom edges are inside, right and top edges outside. idx receives the
  // index of the item found, or the last index tried.
  MenuItem* itemInPoint(CGPoint p, int* idx);

  // Index in the children list of the selected item, -1 for none.
  int selectedItem() const { return selectedItem_; }

  // One navigation key (see above); true when the menu took it.
  bool navigate(NavKey key, bool repeat = false);
  // What Back (Escape) does on this menu's screen; none by default.
  void setBackCall(const Callback<void()>& back) { back_ = back; }
  const Callback<void()>& backCall() const { return back_; }
  // The pointer moved: the keyboard highlight steps aside until the next key.
  void hideFocus();
  // Index of the item with the keyboard focus (-1 for none) and whether its highlight shows.
  int focusedItem() const { return focus_.focused(); }
  bool isFocusShown() const { return focus_.isShown(); }

  // The menu that takes keys: the front-most visible, touch-enabled menu of the running scene
  // (drawn last), or null.
  static Menu* frontmost();

  // Draws the keyboard highlight's band, under the items.
  void draw() override;

  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesMoved(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesEnded(const platform::TouchSet& touches, const platform::UIEvent& event) override;

 private:
  void addItems(const std::vector<Ref<MenuItem>>& items);
  MenuItem* itemAt(int index) const;
  bool canFocus(int index) const;
  // Grows the focused item while the highlight shows, shrinks the one it left.
  void showFocus();

  int selectedItem_ = -1;
  FocusRing focus_{FocusRing::kMenu};
  int grown_ = -1;  // the item the focus grew
  Callback<void()> back_;
};

}  // namespace peckish
