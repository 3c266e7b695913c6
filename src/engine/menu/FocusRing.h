#pragma once
// FocusRing: the keyboard focus over a row or column of choices (the items of a Menu, the buttons
// of an alert). It knows which choice has the focus, whether the highlight is showing, and how a
// navigation key moves it; the owner draws the highlight and performs the choice.
//
// Navigation reaches a ring as NavKey, never as a platform key: whatever feeds the keys (the
// keyboard router in ui/Overlay, a game-controller layer) translates its own input first. A game
// controller drives the same focus by sending the keys a keyboard would (d-pad to the arrows,
// south button to Return, east button to Escape) through platform::Display's key listeners; see
// ui::navKeyFor() for the one translation table.
//
//   FocusRing ring(FocusRing::kMenu);
//   switch (ring.navigate(key, repeat, itemCount, [&](int i) { return isEnabled(i); })) { ... }
//
// Rules, the same for every screen:
//   - Up/Left/Previous (Shift+Tab) move back, Down/Right/Next (Tab) move on, skipping choices the
//     owner says are not selectable; from the last choice the focus wraps to the first and back.
//   - A ring that hides its highlight until a key is used (a menu) only shows it on the first key,
//     without moving or activating: on the first selectable choice at first, later where the focus
//     was when the pointer hid it (hide()).
//   - Activate (Return, Space) and Back (Escape) are for the owner; a held key's repeats do not
//     act (a repeated Back is left to others, a repeated Activate is taken and does nothing).
#include <utility>

namespace peckish {

enum class NavKey { Up, Down, Left, Right, Next, Previous, Activate, Back };

class FocusRing {
 public:
  // How a ring starts: the highlight hidden until a key (menus) or showing from the start on the
  // last choice, the one Return presses (alerts).
  struct Style {
    bool hiddenUntilKey;
    bool startOnLast;
  };
  static constexpr Style kMenu{true, false};
  static constexpr Style kDialog{false, true};

  // What a key came to.
  enum class Outcome {
    Ignored,   // not a key for the ring, or nothing to focus
    Shown,     // the highlight appeared, on focused()
    Moved,     // the focus moved (or stayed at the only selectable choice)
    Activate,  // the owner performs focused()
    Back,      // the owner goes back
  };

  explicit FocusRing(Style style = kMenu) : style_(style) {}

  // Puts the focus back where the style starts it, among `count` choices.
  void reset(int count) {
    focused_ = style_.startOnLast ? count - 1 : 0;
    shown_ = !style_.hiddenUntilKey && count > 0;
  }

  // The focused choice; -1 when there is none.
  int focused() const { return focused_; }
  bool isShown() const { return shown_; }
  // The pointer took over: the highlight steps aside until the next key (rings that always show
  // theirs keep it).
  void hide() {
    if (style_.hiddenUntilKey) shown_ = false;
  }

  // Applies one key to `count` choices; selectable(i) says whether choice i may take the focus.
  template <class Selectable>
  Outcome navigate(NavKey key, bool repeat, int count, Selectable&& selectable) {
    if (key == NavKey::Back) return repeat ? Outcome::Ignored : Outcome::Back;
    if (count <= 0) return Outcome::Ignored;
    if (focused_ < 0 || focused_ >= count) focused_ = style_.startOnLast ? count - 1 : 0;
    if (!shown_) {
      // The first key only shows where the focus is, moved on to a choice that may take it.
      if (!selectable(focused_)) {
        const int next = step(focused_, +1, count, selectable);
        if (next < 0) return Outcome::Ignored;
        focused_ = next;
      }
      shown_ = true;
      return Outcome::Shown;
    }
    switch (key) {
      case NavKey::Activate:
        if (repeat || !selectable(focused_)) return Outcome::Moved;
        return Outcome::Activate;
      case NavKey::Up:
      case NavKey::Left:
      case NavKey::Previous:
        return move(-1, count, selectable);
      default:
        return move(+1, count, selectable);
    }
  }

 private:
  template <class Selectable>
  Outcome move(int direction, int count, Selectable& selectable) {
    const int next = step(focused_, direction, count, selectable);
    if (next >= 0) focused_ = next;
    return Outcome::Moved;
  }
  // The next selectable choice from `from` in `direction`, wrapping; -1 when there is none.
  template <class Selectable>
  static int step(int from, int direction, int count, Selectable& selectable) {
    for (int i = 1; i <= count; ++i) {
      const int c = ((from + direction * i) % count + count) % count;
      if (selectable(c)) return c;
    }
    return -1;
  }

  Style style_;
  int focused_ = -1;
  bool shown_ = false;
};

}  // namespace peckish
