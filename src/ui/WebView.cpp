#include "ui/WebView.h"

#include "platform/Application.h"
#include "ui/Overlay.h"

namespace peckish::ui {

Ref<WebView> WebView::create(CGRect frame) {
  Ref<WebView> v(new WebView());
  if (!v->initWithFrame(frame)) return nullptr;
  return v;
}

WebView::~WebView() = default;

bool WebView::loadRequest(const std::string& url) {
  url_ = url;
  loaded_ = true;
  opened_ = platform::Application::sharedApplication()->openURL(url);
  return opened_;
}

std::string WebView::statusText() const {
  if (!loaded_) return "";
  return opened_ ? "The page is open in your web browser." : "Your web browser could not be started.";
}

void WebView::drawIn(CGRect r) {
  fillRect(r, 0.94f, 0.94f, 0.92f, 1.f);
  if (!loaded_) return;
  const float width = r.size.width - 40.f;
  headline_.set(statusText(), "Arial", 20.f, width, 1);
  address_.set(url_, "Arial", 14.f, width, 1);
  hint_.set("Press Back (or Escape) to return to the game.", "Arial", 14.f, width, 1);
  const float total = headline_.size().height + 12.f + address_.size().height + 24.f + hint_.size().height;
  float top = r.origin.y + (r.size.height + total) / 2;
  const float left = r.origin.x + 20.f;
  headline_.drawAt(CGPointMake(left, top), 0.1f, 0.1f, 0.1f, 1.f);
  top -= headline_.size().height + 12.f;
  address_.drawAt(CGPointMake(left, top), 0.1f, 0.2f, 0.7f, 1.f);
  top -= address_.size().height + 24.f;
  hint_.drawAt(CGPointMake(left, top), 0.35f, 0.35f, 0.35f, 1.f);
}

}  // namespace peckish::ui
