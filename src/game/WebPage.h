#pragma once
// The web-page panel laid over the game: a black navigation strip with the page title and a Back
// button, and the page area. This desktop shows pages in the system browser: loading a page opens
// it there and the page area says so. Back (or Escape) asks the application delegate to take the
// panel away.
//
//   Ref<WebPage> page = WebPage::initWithFrame(platform::Screen::mainScreen().applicationFrame());
//   page->loadURL("http://127.0.0.1:8765/highscores/public/index.php?gid=3");
//   page->setTitle("High Scores");
//   appDelegate->switchTo(page.get());
#include <string>

#include "core/Object.h"
#include "platform/View.h"

namespace peckish {

namespace ui {
class NavigationBar;
class NavigationItem;
class WebView;
}  // namespace ui

class WebPage : public platform::View {
 public:
  // The panel for a frame (x, y, W, H) in portrait window coordinates: the page area
  // (0, 0, W - 45, H) and the 45-point strip (W - 45, 0, 45, H), both turned a quarter so that
  // they read upright in landscape (the strip is then along the top). Initial title "TITLE".
  static Ref<WebPage> initWithFrame(CGRect frame);
  ~WebPage() override;

  // Hands the address to the page area (which opens it in the system browser).
  void loadURL(const std::string& url);
  void setTitle(const std::string& title);
  // Delegate operation of the strip: any button goes back.
  void navigationBarButtonClicked(Object* bar, int index);

  ui::NavigationBar* navBar() const { return navBar_.get(); }
  void setNavBar(Ref<ui::NavigationBar> bar);
  ui::NavigationItem* titleItem() const { return titleItem_.get(); }
  void setTitleItem(Ref<ui::NavigationItem> item);
  ui::WebView* webView() const { return webView_.get(); }
  void setWebView(Ref<ui::WebView> view);

 private:
  WebPage() = default;
  bool build(CGRect frame);

  Ref<ui::NavigationBar> navBar_;
  Ref<ui::NavigationItem> titleItem_;
  Ref<ui::WebView> webView_;
};

}  // namespace peckish
