#include "analytics/Analytics.h"

#include <exception>

#include "analytics/KXDatabase.h"
#include "analytics/KXService.h"
#include "core/Log.h"
#include "platform/Config.h"
#include "platform/Device.h"
#include "platform/Paths.h"

namespace peckish::analytics {

void startForApplication() {
  KXService::setApplicationKey(platform::analyticsKey(), platform::analyticsSecret());
  try {
    KXService::sharedService()->startAnalysisUsingLocation(false);
  } catch (const std::exception& e) {
    engineLog("Analytics disabled: %s", e.what());
  }
}

void stopForApplication() {
  if (!Singleton<KXService>::exists()) return;
  try {
    KXService::sharedService()->stopAnalysis();
  } catch (const std::exception& e) {
    engineLog("Analytics: %s", e.what());
  }
}

void withdrawForApplication() {
  if (Singleton<KXService>::exists()) {
    try {
      KXService::sharedService()->shutDown();
    } catch (const std::exception& e) {
      engineLog("Analytics: %s", e.what());
    }
    KXService::purgeShared();
  }
  KXDatabase::purgeShared();
  KXDatabase::removeFiles(platform::documentsDirectory());
  platform::forgetDeviceUniqueIdentifier();
}

void logAction(const std::string& name) {
  if (!Singleton<KXService>::exists()) return;
  try {
    KXService::sharedService()->logAction(name);
  } catch (const std::exception& e) {
    engineLog("Analytics: %s", e.what());
  }
}

}  // namespace peckish::analytics
