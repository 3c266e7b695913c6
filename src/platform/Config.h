#pragma once
// Build-time settings with their run-time environment overrides.
#include <string>

namespace peckish::platform {

std::string highScoreBaseUrl();    // PECKISH_HIGHSCORE_URL
std::string analyticsHost();       // PECKISH_ANALYTICS_HOST (host[:port])
std::string analyticsKey();        // PECKISH_ANALYTICS_KEY
std::string analyticsSecret();     // PECKISH_ANALYTICS_SECRET
std::string productUrl();          // PECKISH_PRODUCT_URL
std::string versionString();
// DO_NOT_TRACK set to anything but empty or "0": the user asks every program not to report home.
bool doNotTrack();

}  // namespace peckish::platform
