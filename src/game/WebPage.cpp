#include "game/WebPage.h"

#include "game/PeckishAppDelegate.h"
#include "ui/NavigationBar.h"
#include "ui/WebView.h"

namespace peckish {

Ref<WebPage> WebPage::initWithFrame(CGRect frame) {
  Ref<WebPage> page(new WebPage());
  if (!page->build(frame)) return nullptr;
  return page;
}

WebPage::~WebPage() = default;

bool WebPage::build(CGRect frame) {
  if (!View::initWithFrame(frame)) return false;
  const float w = frame.size.width, h = frame.size.height;
  Ref<ui::NavigationBar> bar = ui::NavigationBar::create(CGRectMake(0, 0, 0, 0));
  bar->setDelegate(ui::NavigationBar::Delegate(this, &WebPage::navigationBarButtonClicked));
  bar->setBarStyle(1);
  bar->showButtonsWithLeftTitle("Back", std::nullopt, true);
  addSubview(bar.get());
  setNavBar(bar);
  setTitleItem(ui::NavigationItem::initWithTitle("TITLE"));
  bar->pushNavigationItem(titleItem_, false);
  bar->showButtonsWithLeftTitle("Back", std::nullopt, true);
  Ref<ui::WebView> page = ui::WebView::create(CGRectMake(0, 0, 0, 0));
  addSubview(page.get());
  setWebView(page);
  const float quarterTurn = 1.571f;
  page->setTransform(quarterTurn);
  bar->setTransform(quarterTurn);
  page->setFrame(CGRectMake(0, 0, w - 45, h));
  bar->setFrame(CGRectMake(w - 45, 0, 45, h));
  return true;
}

void WebPage::loadURL(const std::string& url) {
  if (webView_) webView_->loadRequest(url);
}

void WebPage::setTitle(const std::string& title) {
  if (titleItem_) titleItem_->setTitle(title);
}

void WebPage::navigationBarButtonClicked(Object*, int) {
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->switchBack();
}

void WebPage::setNavBar(Ref<ui::NavigationBar> bar) { navBar_ = std::move(bar); }
void WebPage::setTitleItem(Ref<ui::NavigationItem> item) { titleItem_ = std::move(item); }
void WebPage::setWebView(Ref<ui::WebView> view) { webView_ = std::move(view); }

}  // namespace peckish
