#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StageTestSupport.h"
#include "engine/render/Label.h"
#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/render/Texture2D.h"

using namespace peckish;
using namespace peckish::test;

namespace {

class MenuTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    MenuItem::setFontSize(24);
    Menu::setOffsetY(-30);
  }
  void TearDown() override {
    MenuItem::setFontSize(32);
    MenuItem::setFontName("Marker Felt");
    Menu::setOffsetY(0);
    StageTest::TearDown();
  }
};

// Receives the menu items' calls and records which fired.
class Receiver : public Object {
 public:
  void play() { calls.push_back("play"); }
  void scores() { calls.push_back("scores"); }
  void buy() { calls.push_back("buy"); }
  void tell() { calls.push_back("tell"); }
  void back() { calls.push_back("back"); }
  std::vector<std::string> calls;
};

// Five items of height 26 ("Play" ... are laid out with font size 24).
struct FiveItemMenu {
  explicit FiveItemMenu(Receiver* r) {
    items = {MenuItem::itemFromString("Play", r, &Receiver::play),
             MenuItem::itemFromString("High Scores", r, &Receiver::scores),
             MenuItem::itemFromString("Buy More", r, &Receiver::buy),
             MenuItem::itemFromString("Instructions", r, &Receiver::buy),
             MenuItem::itemFromString("Tell a Friend", r, &Receiver::tell)};
    menu = Menu::menuWithItems(items[0], items[1], items[2], items[3], items[4]);
  }
  std::vector<Ref<MenuItem>> items;
  Ref<Menu> menu;
};

TEST_F(MenuTest, LabelTextureBoxAndAnchorFollowTheString) {
  Ref<Label> label = Label::labelWithString("0", CGSizeMake(100, 30), 1, "Marker Felt", 24);
  ASSERT_NE(label->texture(), nullptr);
  EXPECT_EQ(label->texture()->contentSize(), CGSizeMake(100, 30));
  EXPECT_EQ(label->transformAnchor(), Vec2(50, 15));
  Ref<Texture2D> before(label->texture());
  label->setString("125");
  ASSERT_NE(label->texture(), nullptr);
  EXPECT_NE(label->texture(), before.get());
  EXPECT_EQ(before->retainCount(), 1);  // the label let go of the old texture
  EXPECT_EQ(label->string(), "125");
  EXPECT_EQ(label->transformAnchor(), Vec2(50, 15));
}

TEST_F(MenuTest, ItemLabelBoxComesFromTheTextLengthAndFontSize) {
  Receiver r;
  Ref<MenuItem> play = MenuItem::itemFromString("Play", &r, &Receiver::play);
  EXPECT_EQ(play->label()->texture()->contentSize(), CGSizeMake(104, 26));
  EXPECT_EQ(play->transformAnchor(), Vec2(52, 13));
  EXPECT_EQ(play->height(), 26u);
  EXPECT_EQ(play->label()->fontName(), "Marker Felt");
  play->setPosition(Vec2(240, 207));
  EXPECT_EQ(play->rect(), CGRectMake(188, 194, 104, 26));
  play->setScale(1.2f);  // scale is not part of the hit box
  EXPECT_EQ(play->rect(), CGRectMake(188, 194, 104, 26));

  MenuItem::setFontSize(10);
  MenuItem::setFontName("Arial");
  Ref<MenuItem> later = MenuItem::itemFromString("Go", &r, &Receiver::play);
  EXPECT_EQ(later->label()->texture()->contentSize(), CGSizeMake(24, 12));
  EXPECT_EQ(later->label()->fontName(), "Arial");
  EXPECT_EQ(play->label()->texture()->contentSize(), CGSizeMake(104, 26));  // earlier items keep theirs

  Ref<MenuItem> accented = MenuItem::itemFromString("Caf\xC3\xA9", &r, &Receiver::play);  // 4 characters
  EXPECT_EQ(accented->label()->texture()->contentSize().width, 48);
}

TEST_F(MenuTest, EmptyItemTextRaises) {
  Receiver r;
  expectRaise([&] { MenuItem::itemFromString("", &r, &Receiver::play); }, "MenuItemInvalid",
              "Can't create a MenuItem without value");
}

TEST_F(MenuTest, ActivateCallsTheReceiver) {
  Receiver r;
  Ref<MenuItem> item = MenuItem::itemFromString("Buy", &r, &Receiver::buy);
  item->activate();
  item->activate();
  EXPECT_EQ(r.calls, (std::vector<std::string>{"buy", "buy"}));
  Ref<MenuItem> unbound = MenuItem::itemFromString("Nothing", Callback<void()>());
  unbound->activate();  // no receiver: nothing happens
}

TEST_F(MenuTest, ItemsStackDownTheCentreShiftedByTheOffset) {
  Receiver r;
  FiveItemMenu m(&r);
  std::vector<Vec2> positions;
  std::vector<int> zs;
  for (const auto& e : m.menu->children()) {
    positions.push_back(e.node->position());
    zs.push_back(e.z);
  }
  EXPECT_EQ(positions, (std::vector<Vec2>{{240, 207}, {240, 176}, {240, 145}, {240, 114}, {240, 83}}));
  EXPECT_EQ(zs, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(m.menu->children()[1].node.get(), m.items[1].get());
  EXPECT_TRUE(m.menu->isTouchEnabled());
  EXPECT_EQ(m.menu->selectedItem(), -1);

  Menu::setOffsetY(0);  // applies to the next layout
  EXPECT_EQ(m.items[0]->position(), Vec2(240, 207));
  m.menu->alignItems();
  EXPECT_EQ(m.items[0]->position(), Vec2(240, 237));
  EXPECT_EQ(m.items[4]->position(), Vec2(240, 113));
}

TEST_F(MenuTest, HitBoxesAreHalfOpen) {
  Receiver r;
  FiveItemMenu m(&r);
  // "Play" at (240, 207): x 188 .. 292, y 194 .. 220.
  int idx = -1;
  EXPECT_EQ(m.menu->itemInPoint(CGPointMake(200, 188), &idx), m.items[0].get());  // left edge (view y = x)
  EXPECT_EQ(idx, 0);
  EXPECT_EQ(m.menu->itemInPoint(CGPointMake(194, 240), &idx), m.items[0].get());  // bottom edge
  EXPECT_EQ(m.menu->itemInPoint(CGPointMake(200, 292), &idx), nullptr);           // right edge
  EXPECT_EQ(idx, 4);  // the last index tried
  EXPECT_EQ(m.menu->itemInPoint(CGPointMake(220, 240), &idx), nullptr);  // top edge; 220 is below "High Scores"
  EXPECT_EQ(m.menu->itemInPoint(CGPointMake(83, 240), &idx), m.items[4].get());
  EXPECT_EQ(idx, 4);
}

TEST_F(MenuTest, TouchMovedToASecondItemActivatesOnlyTheSecond) {
  Receiver r;
  FiveItemMenu m(&r);
  Ref<Scene> scene = Scene::node();
  scene->add(m.menu);
  run(scene);
  ASSERT_EQ(director->eventHandler(), m.menu.get());

  began(240, 207);
  EXPECT_EQ(m.menu->selectedItem(), 0);
  frames(4, 0.03125);  // 0.125 s: the growth of 0.1 s is over
  EXPECT_FLOAT_EQ(m.items[0]->scale(), 1.2f);

  moved(250, 176);
  EXPECT_EQ(m.menu->selectedItem(), 1);
  frames(4, 0.03125);
  EXPECT_FLOAT_EQ(m.items[0]->scale(), 1.0f);
  EXPECT_FLOAT_EQ(m.items[1]->scale(), 1.2f);

  moved(10, 10);  // off every item: the selection stays
  EXPECT_EQ(m.menu->selectedItem(), 1);

  ended(250, 176);
  EXPECT_EQ(m.menu->selectedItem(), -1);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"scores"}));
  frames(4, 0.03125);
  EXPECT_FLOAT_EQ(m.items[1]->scale(), 1.0f);
  settle();
}

TEST_F(MenuTest, LiftingOutsideActivatesNothingAndShrinksBack) {
  Receiver r;
  FiveItemMenu m(&r);
  Ref<Scene> scene = Scene::node();
  scene->add(m.menu);
  run(scene);

  began(240, 145);
  frame(0.05);
  EXPECT_GT(m.items[2]->scale(), 1.0f);
  ended(20, 300);
  EXPECT_EQ(m.menu->selectedItem(), -1);
  frames(4, 0.03125);
  EXPECT_FLOAT_EQ(m.items[2]->scale(), 1.0f);
  EXPECT_TRUE(r.calls.empty());

  began(20, 300);  // nowhere: nothing selected
  EXPECT_EQ(m.menu->selectedItem(), -1);
  ended(240, 145);  // lifted over an item: it fires all the same
  EXPECT_EQ(r.calls, (std::vector<std::string>{"buy"}));
  settle();
}

// The item's call takes the menu off the stage and drops it (as a scene change would).
class Dismisser : public Object {
 public:
  void dismiss() {
    calls++;
    if (menu && menu->parent()) menu->parent()->remove(menu);
    menu = nullptr;
  }
  Menu* menu = nullptr;
  int calls = 0;
};

TEST_F(MenuTest, AnItemMayRemoveItsMenu) {
  Dismisser d;
  Ref<Scene> scene = Scene::node();
  Ref<MenuItem> item = MenuItem::itemFromString("Close", &d, &Dismisser::dismiss);
  {
    Ref<Menu> menu = Menu::menuWithItems(item);
    d.menu = menu.get();
    scene->add(menu);
  }
  run(scene);
  began(240, 145);  // one item, shifted down by the offset
  ended(240, 145);
  EXPECT_EQ(d.calls, 1);
  EXPECT_TRUE(scene->children().empty());
  EXPECT_EQ(director->eventHandler(), nullptr);
  began(240, 145);  // no handler any more
  EXPECT_EQ(item->parent(), nullptr);  // the menu is gone
  scene->add(item);  // back on stage so its shrink can end
  settle();
}

TEST_F(MenuTest, MenuListEndsAtTheFirstNull) {
  Receiver r;
  Ref<Menu> menu = Menu::menuWithItems(MenuItem::itemFromString("A", &r, &Receiver::play), nullptr,
                                       MenuItem::itemFromString("B", &r, &Receiver::play));
  EXPECT_EQ(menu->children().size(), 1u);
  Ref<Menu> none = make<Menu>(Ref<MenuItem>());
  EXPECT_TRUE(none->children().empty());
  int idx = -7;
  EXPECT_EQ(none->itemInPoint(CGPointMake(0, 0), &idx), nullptr);
  EXPECT_EQ(idx, -7);
}

// Keys steer the menu's focus: the first key only shows it, moves wrap at the ends and skip items
// that cannot be chosen, Activate performs the focused item as a tap would, Back calls the owner's
// back call, held keys move but act once, and a touch hides the highlight until the next key.
TEST_F(MenuTest, KeysMoveTheFocusAndActivateAsATapWould) {
  Receiver r;
  FiveItemMenu m(&r);
  m.items[2]->setIsEnabled(false);
  m.menu->setBackCall(Callback<void()>(&r, &Receiver::back));
  Ref<Scene> scene = Scene::node();
  scene->add(m.menu);
  run(scene);
  ASSERT_EQ(Menu::frontmost(), m.menu.get());
  EXPECT_FALSE(m.menu->isFocusShown());

  struct Step {
    NavKey key;
    bool repeat;
    bool taken;
    int focused;
    const char* call;  // what the receiver hears, if anything
  };
  const Step steps[] = {
      {NavKey::Down, false, true, 0, nullptr},         // shows the first item, does not move
      {NavKey::Down, false, true, 1, nullptr},         //
      {NavKey::Down, false, true, 3, nullptr},         // the disabled item is skipped
      {NavKey::Right, true, true, 4, nullptr},         // a held key keeps moving
      {NavKey::Next, false, true, 0, nullptr},         // Tab wraps from the last to the first
      {NavKey::Previous, false, true, 4, nullptr},     // Shift+Tab wraps back
      {NavKey::Up, false, true, 3, nullptr},           //
      {NavKey::Left, false, true, 1, nullptr},         // skipping the disabled item again
      {NavKey::Activate, false, true, 1, "scores"},    // what a tap on "High Scores" does
      {NavKey::Activate, true, true, 1, nullptr},      // a held Return acts once
      {NavKey::Back, false, true, 1, "back"},          //
      {NavKey::Back, true, false, 1, nullptr},         // a held Escape is left to others
  };
  std::vector<std::string> calls;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "key " << static_cast<int>(s.key) << " repeat " << s.repeat);
    EXPECT_EQ(m.menu->navigate(s.key, s.repeat), s.taken);
    EXPECT_TRUE(m.menu->isFocusShown());
    EXPECT_EQ(m.menu->focusedItem(), s.focused);
    if (s.call) calls.push_back(s.call);
    EXPECT_EQ(r.calls, calls);
  }

  // The focused item grows as under a finger; the others stay as they are.
  frames(4, 0.03125);
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(m.items[static_cast<size_t>(i)]->scale(), i == 1 ? 1.2f : 1.0f) << i;

  // A touch anywhere hides the highlight; the next key shows it again where it was.
  began(20, 300);
  ended(20, 300);
  EXPECT_FALSE(m.menu->isFocusShown());
  frames(4, 0.03125);
  EXPECT_FLOAT_EQ(m.items[1]->scale(), 1.0f);
  EXPECT_TRUE(m.menu->navigate(NavKey::Activate));
  EXPECT_TRUE(m.menu->isFocusShown());
  EXPECT_EQ(m.menu->focusedItem(), 1);
  EXPECT_EQ(r.calls, calls);  // showing is all the first key does

  // A tap on the disabled item does nothing; a menu without a back call leaves Escape to others.
  began(240, 145);
  ended(240, 145);
  EXPECT_EQ(r.calls, calls);
  m.menu->setBackCall({});
  EXPECT_FALSE(m.menu->navigate(NavKey::Back));
  settle();
}

TEST_F(MenuTest, TheHighlightIsDrawnOnlyOnceAKeyWasUsed) {
  Receiver r;
  FiveItemMenu m(&r);
  Ref<Scene> scene = Scene::node();
  scene->add(m.menu);
  run(scene);
  // Just inside the left end of the band behind the grown first item, clear of its label.
  const MenuItem& play = *m.items[0];
  const int x = static_cast<int>(play.position().x - play.rect().size.width * 0.6f - 2.f);
  const int y = static_cast<int>(play.position().y);
  frame(0.1);
  const std::uint32_t untouched = scenePixel(x, y);

  m.menu->navigate(NavKey::Down);
  frames(4, 0.03125);
  EXPECT_NE(scenePixel(x, y), untouched);

  m.menu->hideFocus();
  frames(4, 0.03125);
  EXPECT_EQ(scenePixel(x, y), untouched);
  settle();
}

}  // namespace
