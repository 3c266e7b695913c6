#include "platform/Settings.h"

#include <charconv>
#include <optional>
#include <string>

#include "platform/UserDefaults.h"

namespace peckish::platform {
namespace {

std::optional<int> remembered(const char* key, int lo, int hi) {
  const std::optional<std::string> text = UserDefaults::standard().stringForKey(key);
  if (!text) return std::nullopt;
  int v = 0;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), v);
  if (ec != std::errc() || end != text->data() + text->size() || v < lo || v > hi) return std::nullopt;
  return v;
}

void remember(const char* key, int value) {
  const std::string text = std::to_string(value);
  if (UserDefaults::standard().stringForKey(key) != text) UserDefaults::standard().setString(key, text);
}

}  // namespace

void applyRememberedSettings(Options& o) {
  if (!o.muteGiven) {
    if (auto v = remembered(kMuteSetting, 0, 1)) o.mute = *v != 0;
  }
  if (!o.fullscreenGiven) {
    if (auto v = remembered(kFullscreenSetting, 0, 1)) o.fullscreen = *v != 0;
  }
  if (!o.scaleGiven) {
    if (o.headless) o.scale = 2;
    else if (auto v = remembered(kScaleSetting, 1, 8)) o.scale = *v;
    else o.scale = 0;
  }
}

void rememberMute(bool muted) { remember(kMuteSetting, muted ? 1 : 0); }
void rememberFullscreen(bool on) { remember(kFullscreenSetting, on ? 1 : 0); }
void rememberScale(int scale) { remember(kScaleSetting, scale); }
void rememberReducedMotion(bool on) { remember(kReducedMotionSetting, on ? 1 : 0); }
bool rememberedReducedMotion() { return remembered(kReducedMotionSetting, 0, 1).value_or(0) != 0; }

int rememberedVolume(const char* key) {
  const std::optional<int> v = remembered(key, 0, 100);
  return v && *v % 10 == 0 ? *v : 100;
}

void rememberVolume(const char* key, int percent) { remember(key, percent); }

const char* rememberedCaptions() {
  const std::optional<std::string> text = UserDefaults::standard().stringForKey(kCaptionsSetting);
  if (text == "on") return "on";
  if (text == "off") return "off";
  return "auto";
}

void rememberCaptions(const char* mode) {
  if (UserDefaults::standard().stringForKey(kCaptionsSetting) != mode)
    UserDefaults::standard().setString(kCaptionsSetting, mode);
}

std::optional<bool> rememberedAnalyticsConsent() {
  if (auto v = remembered(kAnalyticsSetting, 0, 1)) return *v != 0;
  return std::nullopt;
}
void rememberAnalyticsConsent(bool share) { remember(kAnalyticsSetting, share ? 1 : 0); }

}  // namespace peckish::platform
