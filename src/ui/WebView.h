#pragma once
// The web view of this desktop: it does not render pages itself. Loading a request hands the
// address to the system browser (platform Application::openURL, which records it and, when
// headless, opens nothing) and the view shows the address and what became of it.
#include <string>

#include "ui/TextImage.h"
#include "ui/Widget.h"

namespace peckish::ui {

class WebView : public Widget {
 public:
  static Ref<WebView> create(CGRect frame);
  ~WebView() override;

  // Opens the address in the system browser; true when the desktop took it.
  bool loadRequest(const std::string& url);
  const std::string& url() const { return url_; }
  // The text the view shows about the page.
  std::string statusText() const;
  bool opened() const { return opened_; }

  void drawIn(CGRect rect) override;

 private:
  WebView() = default;
  std::string url_;
  bool loaded_ = false;
  bool opened_ = false;
  TextImage headline_, address_, hint_;
};

}  // namespace peckish::ui
