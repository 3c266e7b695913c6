#include "ui/Overlay.h"

#include <algorithm>
#include <vector>

#include "engine/menu/Menu.h"
#include "engine/scene/Director.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/scene/Node.h"
#include "engine/render/QuadBatch.h"
#include "engine/scene/Scene.h"
#include "platform/Display.h"
#include "platform/GLES.h"
#include "platform/Window.h"
#include "ui/Widget.h"

namespace peckish::ui {
namespace {

// Rides in a scene; draws the widgets while that scene is the running one.
class OverlayNode : public Node {
 public:
  void visit() override {
    Director* d = Director::exists() ? Director::shared() : nullptr;
    if (!d || !parent() || parent() != d->runningScene()) return;
    drawWidgets();
  }
  void onExit() override {
    Node::onExit();
    // The scene is being left: go along to the one that replaces it.
    if (!Director::exists()) return;
    if (Scene* next = Director::shared()->nextScene()) {
      if (!hasOverlay(next)) next->add(make<OverlayNode>(), kTop);
    }
  }
  static constexpr int kTop = 0x7fffffff;
};

void attach(Scene* scene) {
  if (scene && !hasOverlay(scene)) scene->add(make<OverlayNode>(), OverlayNode::kTop);
}

void drawTree(platform::View* view) {
  for (const Ref<platform::View>& sub : std::vector<Ref<platform::View>>(view->subviews())) {
    if (sub->isHidden()) continue;
    if (auto* w = dynamic_cast<Widget*>(sub.get())) w->drawIn(w->sceneRect());
    drawTree(sub.get());
  }
}

void findKeyWidget(platform::View* view, Widget*& found) {
  for (const Ref<platform::View>& sub : view->subviews()) {
    if (sub->isHidden()) continue;
    if (auto* w = dynamic_cast<Widget*>(sub.get()); w && w->wantsKeys()) found = w;
    findKeyWidget(sub.get(), found);
  }
}

bool findModal(platform::View* view) {
  for (const Ref<platform::View>& sub : view->subviews()) {
    if (sub->isHidden()) continue;
    if (auto* w = dynamic_cast<Widget*>(sub.get()); w && w->isModal()) return true;
    if (findModal(sub.get())) return true;
  }
  return false;
}

platform::Window* directorWindow() {
  if (!Director::exists()) return nullptr;
  return Director::shared()->window();
}

class KeyRouter : public platform::KeyListener {
 public:
  bool keyDown(const platform::KeyEvent& e) override {
    if (Widget* w = keyWidget()) {
      // A widget that wants keys stands in front of any screen's menu.
      Ref<Widget> keep(w);
      if (w->keyDown(e)) return true;
      return w->isModal() && !isGlobalKey(e);
    }
    const std::optional<NavKey> nav = navKeyFor(e);
    if (!nav) return false;
    Menu* menu = Menu::frontmost();
    return menu && menu->navigate(*nav, e.repeat);
  }
  void pointerMoved() override {
    if (Menu* menu = Menu::frontmost()) menu->hideFocus();
  }
  bool keyUp(const platform::KeyEvent& e) override {
    Widget* w = keyWidget();
    return w && w->isModal() && !isGlobalKey(e);
  }
  bool textInput(const std::string& text) override {
    Widget* w = keyWidget();
    if (!w) return false;
    Ref<Widget> keep(w);
    return w->textInput(text) || w->isModal();
  }

 private:
  static bool isGlobalKey(const platform::KeyEvent& e) {
    return e.key == platform::Key::M || e.key == platform::Key::F || e.key == platform::Key::F11;
  }
};

KeyRouter& router() {
  static KeyRouter r;
  return r;
}

}  // namespace

bool hasOverlay(const Scene* scene) {
  if (!scene) return false;
  for (const auto& e : scene->children())
    if (dynamic_cast<OverlayNode*>(e.node.get())) return true;
  return false;
}

void ensureOverlay() {
  if (!Director::exists()) return;
  Director* d = Director::shared();
  attach(d->runningScene());
  attach(d->nextScene());
}

void drawWidgets() {
  platform::Window* window = directorWindow();
  if (!window) return;
  QuadBatch::flush();  // the scene's textured nodes lie under the widgets
  const GLboolean depth = glIsEnabled(GL_DEPTH_TEST);
  const GLboolean texture = glIsEnabled(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  drawTree(window);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  if (depth) glEnable(GL_DEPTH_TEST);
  if (texture) glEnable(GL_TEXTURE_2D);
}

void claimKeyboard() {
  platform::Display* display = platform::Display::shared();
  if (!display) return;
  display->removeKeyListener(&router());
  display->addKeyListener(&router());
}

Widget* keyWidget() {
  platform::Window* window = directorWindow();
  if (!window) return nullptr;
  Widget* found = nullptr;
  findKeyWidget(window, found);
  return found;
}

std::optional<NavKey> navKeyFor(const platform::KeyEvent& e) {
  using platform::Key;
  if (e.ctrl || e.alt) return std::nullopt;
  switch (e.key) {
    case Key::Up: return NavKey::Up;
    case Key::Down: return NavKey::Down;
    case Key::Left: return NavKey::Left;
    case Key::Right: return NavKey::Right;
    case Key::Tab: return e.shift ? NavKey::Previous : NavKey::Next;
    case Key::Return:
    case Key::Space: return NavKey::Activate;
    case Key::Escape: return NavKey::Back;
    default:
      if (e.code == 0x40000058 /* keypad Enter */) return NavKey::Activate;
      return std::nullopt;
  }
}

bool isModalShown() {
  platform::Window* window = directorWindow();
  return window && findModal(window);
}

void fillRect(CGRect r, float red, float green, float blue, float alpha) {
  const GLfloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
  const GLfloat v[] = {x0, y0, x1, y0, x0, y1, x1, y1};
  glColor4f(red, green, blue, alpha);
  glVertexPointer(2, GL_FLOAT, 0, v);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void strokeRect(CGRect r, float red, float green, float blue, float alpha) {
  const GLfloat x0 = r.origin.x + 0.5f, y0 = r.origin.y + 0.5f;
  const GLfloat x1 = r.origin.x + r.size.width - 0.5f, y1 = r.origin.y + r.size.height - 0.5f;
  const GLfloat v[] = {x0, y0, x1, y0, x1, y1, x0, y1};
  glColor4f(red, green, blue, alpha);
  glVertexPointer(2, GL_FLOAT, 0, v);
  // One point wide on a surface of any resolution.
  glLineWidth(std::max(1.f, currentContentScale()));
  glDrawArrays(GL_LINE_LOOP, 0, 4);
  glLineWidth(1.f);
}

}  // namespace peckish::ui
