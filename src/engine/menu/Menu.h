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
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/scene/Layer.h"
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

  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesMoved(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesEnded(const platform::TouchSet& touches, const platform::UIEvent& event) override;

 private:
  void addItems(const std::vector<Ref<MenuItem>>& items);
  MenuItem* itemAt(int index) const;

  int selectedItem_ = -1;
};

}  // namespace peckish
