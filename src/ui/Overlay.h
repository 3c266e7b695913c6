#pragma once
// Puts the UI layer on screen and at the keyboard.
//
// Drawing: a small node rides at the top of the running scene and, when visited, draws every
// visible widget of the Director's window (back to front, a view before its subviews). When the
// scene changes it moves on to the next scene by itself, so widgets stay on screen across scene
// switches and transitions. Widgets call ensureOverlay() when they appear; the shell may call it
// once at launch.
//
// Keys: one key listener on the display hands keys to the frontmost widget that wants them; a
// modal widget swallows every key except the player's global ones (M: mute, F/F11: fullscreen).
// claimKeyboard() makes that listener the newest, so the UI is asked before the shell's keys.
// With no such widget on screen, the navigation keys (navKeyFor) steer the front-most menu of the
// running scene (Menu::frontmost()), and a mouse move hides its highlight. So a dialog, a page or
// a text field over a menu takes the keys first, and the menu has them again once it is gone.
//
// Driving menus and dialogs from other input (a game controller): send key events through the
// display's key listeners as the keyboard does, an arrow for each d-pad or stick step, Return for
// the button that accepts, Escape for the one that goes back. Everything on screen then follows
// the same focus rules (engine/menu/FocusRing.h) with nothing else to hook up.
#include <optional>
#include <string>

#include "engine/menu/FocusRing.h"
#include "math/Vec2.h"

namespace peckish {
class Scene;
}

namespace peckish::platform {
struct KeyEvent;
}

namespace peckish::ui {

class Widget;

// Attaches the drawing node to the running scene and to the scene about to replace it.
void ensureOverlay();
// True when the scene carries the drawing node.
bool hasOverlay(const Scene* scene);
// Draws all widgets now (the current GL state must be the Director's frame).
void drawWidgets();

// Registers the UI's key listener (again), as the newest listener of the display.
void claimKeyboard();
// The frontmost visible widget of the Director's window that wants keys, or null.
Widget* keyWidget();
// True while a modal widget is on screen.
bool isModalShown();
// What a key means to a menu or dialog: the arrows; Tab (Next) and Shift+Tab (Previous); Return,
// keypad Enter and Space activate; Escape goes back. Nothing for other keys or with Ctrl or Alt.
std::optional<NavKey> navKeyFor(const platform::KeyEvent& e);

// Drawing helpers, in the current (landscape scene) coordinates.
void fillRect(CGRect rect, float r, float g, float b, float a);
void strokeRect(CGRect rect, float r, float g, float b, float a);

}  // namespace peckish::ui
