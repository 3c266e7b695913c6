#include "platform/Config.h"

#include <cstdlib>

#include "BuildConfig.h"

namespace peckish::platform {
namespace {
std::string envOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string(fallback);
}
}  // namespace

std::string highScoreBaseUrl() { return envOr("PECKISH_HIGHSCORE_URL", PECKISH_DEFAULT_HIGHSCORE_URL); }
std::string analyticsHost() { return envOr("PECKISH_ANALYTICS_HOST", PECKISH_DEFAULT_ANALYTICS_HOST); }
std::string analyticsKey() { return envOr("PECKISH_ANALYTICS_KEY", PECKISH_DEFAULT_ANALYTICS_KEY); }
std::string analyticsSecret() { return envOr("PECKISH_ANALYTICS_SECRET", PECKISH_DEFAULT_ANALYTICS_SECRET); }
std::string productUrl() { return envOr("PECKISH_PRODUCT_URL", PECKISH_DEFAULT_PRODUCT_URL); }
std::string versionString() { return PECKISH_VERSION; }
bool doNotTrack() {
  const char* v = std::getenv("DO_NOT_TRACK");
  return v && *v && std::string(v) != "0";
}

}  // namespace peckish::platform
