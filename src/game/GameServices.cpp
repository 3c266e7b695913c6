#include "game/GameServices.h"

#include <utility>

namespace peckish {

namespace {
std::function<void()>& pickupLineHook() {
  static std::function<void()> hook;
  return hook;
}
std::function<void(const std::string&)>& analyticsHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}
}  // namespace

void playRandomPickupLine() {
  if (auto& hook = pickupLineHook()) hook();
}

void logAnalyticsAction(const std::string& action) {
  if (auto& hook = analyticsHook()) hook(action);
}

std::function<void()> setPlayRandomPickupLineHook(std::function<void()> hook) {
  return std::exchange(pickupLineHook(), std::move(hook));
}

std::function<void(const std::string&)> setLogAnalyticsActionHook(std::function<void(const std::string&)> hook) {
  return std::exchange(analyticsHook(), std::move(hook));
}

}  // namespace peckish
