#pragma once
// Services the game asks of the rest of the application, as replaceable hooks: the application
// shell plays the spoken pickup lines, the analytics client records named actions. Until someone
// installs a hook the calls do nothing, so the game runs on its own (tests, --play).
//
//   setPlayRandomPickupLineHook([] { appDelegate->playRandomPickupLine(); });
//   setLogAnalyticsActionHook([](const std::string& a) { KXService::sharedService()->logAction(a); });
#include <functional>
#include <string>

namespace peckish {

// One of the pickup lines at random (called whenever a game scene is built).
void playRandomPickupLine();
// Records a named action ("startGame") with the analytics client.
void logAnalyticsAction(const std::string& action);

// Install a hook (an empty function restores the do-nothing default); each returns the previous one.
std::function<void()> setPlayRandomPickupLineHook(std::function<void()> hook);
std::function<void(const std::string&)> setLogAnalyticsActionHook(std::function<void(const std::string&)> hook);

}  // namespace peckish
