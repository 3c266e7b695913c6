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

}  // namespace peckish::platform
