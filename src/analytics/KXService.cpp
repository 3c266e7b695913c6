#include "analytics/KXService.h"

#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "analytics/KXDatabase.h"
#include "analytics/KXMD5.h"
#include "analytics/KXRecord.h"
#include "analytics/KXRequest.h"
#include "analytics/KXResponse.h"
#include "core/Log.h"
#include "platform/Device.h"
#include "platform/Notifications.h"

namespace peckish {

namespace {
constexpr const char* kAnalysisStarted = "Analysis Started";
constexpr const char* kAnalysisStopped = "Analysis Stopped";
constexpr double kAbsoluteTimeOffset = 978307200.0;  // 1970-01-01 to 2001-01-01 in seconds

struct Credentials {
  std::mutex mutex;
  std::string key;
  std::string secret;
};
Credentials& credentials() {
  static Credentials c;
  return c;
}

// Characters, not bytes: continuation bytes of UTF-8 do not count.
std::size_t characterCount(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Seconds since 2001-01-01 00:00 UTC on the wall clock (not the run loop's, so that two runs of a
// game on a fixed clock still get different sessions).
double absoluteTimeNow() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6 - kAbsoluteTimeOffset;
}

std::string makeSession() {
  const std::string device = platform::deviceUniqueIdentifier();
  const int random = std::rand();
  const double time = absoluteTimeNow();
  int n = std::snprintf(nullptr, 0, "%s%d%f", device.c_str(), random, time);
  std::string text(static_cast<std::size_t>(n), '\0');
  std::snprintf(text.data(), text.size() + 1, "%s%d%f", device.c_str(), random, time);
  return KXMD5(text);
}

std::string stringFor(const KXJSONValue& dictionary, const char* key) {
  const KXJSONValue* v = dictionary.find(key);
  return v ? v->stringValue() : std::string();
}
}  // namespace

// ---- class level ------------------------------------------------------------------------------

void KXService::setApplicationKey(std::string key, std::string secret) {
  Credentials& c = credentials();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.key = std::move(key);
  c.secret = std::move(secret);
}

std::string KXService::key() const {
  Credentials& c = credentials();
  std::lock_guard<std::mutex> lock(c.mutex);
  return c.key;
}

std::string KXService::secret() const {
  Credentials& c = credentials();
  std::lock_guard<std::mutex> lock(c.mutex);
  return c.secret;
}

void KXService::purgeShared() {
  if (Singleton<KXService>::exists()) shared()->detachFromRunLoop();
  Singleton<KXService>::purgeShared();
}

// ---- life ------------------------------------------------------------------------------------

KXService::KXService() {
  locationManager_.setDelegate(this);
  session_ = makeSession();
  database_ = KXDatabase::sharedDatabase();
  // Batches whose exchange an earlier process never finished go back where they were taken from.
  recoveredAtStart_ = database_->restoreAllInFlight();
  KXSpeedServer::sharedServer()->setServerDelegate(this);
  uploadTimer_ = platform::RunLoop::main().addTimer(kUploadInterval, true, Callback<void()>(this, &KXService::phoneHome));
  terminateObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillTerminateNotification, [this](void*) { applicationWillTerminate(); });
}

KXService::~KXService() { locationManager_.setDelegate(nullptr); }

void KXService::detachFromRunLoop() {
  platform::RunLoop& loop = platform::RunLoop::main();
  loop.invalidateTimer(uploadTimer_);
  loop.invalidateTimer(geoTimer_);
  uploadTimer_ = geoTimer_ = 0;
  if (terminateObserver_) platform::NotificationCenter::defaultCenter().removeObserver(terminateObserver_);
  terminateObserver_ = 0;
  if (Singleton<KXSpeedServer>::exists() && KXSpeedServer::sharedServer()->serverDelegate() == this)
    KXSpeedServer::sharedServer()->setServerDelegate(nullptr);
}

// ---- analysis --------------------------------------------------------------------------------

void KXService::startAnalysisUsingLocation(bool trackLocation) {
  if (analyzing_) return;
  analyzing_ = true;
  trackLocation_ = trackLocation;
  if (trackLocation) locationManager_.startUpdatingLocation();
  if (Ref<KXRequest> request = takeBatch()) {
    KXSpeedServer::sharedServer()->setServerDelegate(this);
    startThread([this, request] { phoneHomeThread(request); });
  }
  // Logged after the batch was taken, so it travels in a later one.
  logAction(kAnalysisStarted);
}

void KXService::logAction(const std::string& name) {
  if (!analyzing_ || characterCount(name) > kMaxActionLength) return;
  auto action = make<KXAction>(name, session_);
  std::lock_guard<std::recursive_mutex> lock(database_->lock());
  if (database_->numItems() > kMaxItemsBeforeAction) database_->oldestActions(1);
  database_->storeAction(*action);
}

void KXService::stopAnalysis() {
  if (!analyzing_) return;
  logAction(kAnalysisStopped);
  analyzing_ = false;
  if (trackLocation_) locationManager_.stopUpdatingLocation();
}

void KXService::applicationWillTerminate() {
  stopAnalysis();
  writeBackAllInFlight();
}

// ---- uploads ---------------------------------------------------------------------------------

void KXService::phoneHome() {
  // A store failure is reported in the log; it must not unwind through the main run loop.
  try {
    if (database_->numItems() <= 0) return;
    if (Ref<KXRequest> request = takeBatch()) startThread([this, request] { phoneHomeThread(request); });
  } catch (const std::exception& e) {
    engineLog("KXService: %s", e.what());
  }
}

void KXService::phoneHomeThread(const Ref<KXRequest>& request) {
  try {
    // The answer is not looked at; a failure has already put the records back (should the
    // transport have told someone else, the batch goes back where it was taken from).
    if (KXSpeedServer::sharedServer()->sendRequest(request))
      endInFlight(request);
    else
      writeBackInFlight(request);
  } catch (...) {
    writeBackInFlight(request);
    throw;
  }
}

void KXService::startThread(std::function<void()> body) {
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    ++threadsRunning_;
  }
  ++threadsStarted_;
  Ref<KXService> self(this);
  std::thread([self, body = std::move(body)] {
    try {
      body();
    } catch (const std::exception& e) {
      engineLog("KXService: %s", e.what());
    }
    std::lock_guard<std::mutex> lock(self->threadsMutex_);
    if (--self->threadsRunning_ == 0) self->threadsIdle_.notify_all();
  }).detach();
}

bool KXService::waitForThreads(double seconds) {
  std::unique_lock<std::mutex> lock(threadsMutex_);
  return threadsIdle_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return threadsRunning_ == 0; });
}

Ref<KXRequest> KXService::takeBatch(const Ref<KXRecord>& extra) {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  std::int64_t batch = 0;
  std::vector<Ref<KXRecord>> records = database_->takeOldestActionsInFlight(kBatchSize, &batch);
  if (records.empty() && !extra) return nullptr;
  if (extra) records.push_back(extra);
  auto request = make<KXRequest>(std::move(records));
  if (batch) inFlight_[request.get()] = InFlight{batch, false};
  return request;
}

void KXService::endInFlight(KXRequest* request) {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  auto it = inFlight_.find(request);
  if (it == inFlight_.end()) return;
  InFlight entry = it->second;
  inFlight_.erase(it);
  if (!entry.writtenBack) database_->endInFlight(entry.batch);
}

void KXService::writeBackInFlight(KXRequest* request) {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  auto it = inFlight_.find(request);
  if (it == inFlight_.end()) return;
  InFlight entry = it->second;
  inFlight_.erase(it);
  if (!entry.writtenBack) database_->restoreInFlight(entry.batch);
}

void KXService::writeBackAllInFlight() {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  for (auto& [request, entry] : inFlight_) {
    if (entry.writtenBack) continue;
    try {
      database_->restoreInFlight(entry.batch);
      entry.writtenBack = true;
    } catch (const std::exception& e) {
      engineLog("KXService: %s", e.what());
    }
  }
}

int KXService::uploadsInFlight() const {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  int n = 0;
  for (const auto& [request, entry] : inFlight_)
    if (!entry.writtenBack) ++n;
  return n;
}

void KXService::failedToCompleteRequest(KXRequest* request, KXError* error) {
  if (!request) return;
  bool adRequest = false;
  {
    std::lock_guard<std::mutex> lock(inFlightMutex_);
    std::int64_t batch = 0;
    bool putBack = true;
    if (auto it = inFlight_.find(request); it != inFlight_.end()) {
      batch = it->second.batch;
      putBack = !it->second.writtenBack;  // already back in the queue since termination
      inFlight_.erase(it);
    }
    // The records go back behind the newer ones, and the batch stops being in flight, together.
    database_->inTransaction([&] {
      for (const Ref<KXRecord>& record : request->payload()) {
        if (dynamic_cast<KXAd*>(record.get())) {
          adRequest = true;
          break;
        }
        if (!putBack) continue;
        if (auto* geo = dynamic_cast<KXGeo*>(record.get()))
          database_->storeGeo(*geo);
        else if (auto* action = dynamic_cast<KXAction*>(record.get()))
          database_->storeAction(*action);
      }
      if (batch && putBack) database_->endInFlight(batch);
    });
  }
  if (adRequest) {
    requestingAd_ = false;
    deliverFailureWithError(Ref<KXError>(error));
  }
}

// ---- location --------------------------------------------------------------------------------

std::optional<platform::Location> KXService::location() const {
  std::lock_guard<std::mutex> lock(locationMutex_);
  return location_;
}

void KXService::locationManagerDidUpdateToLocation(platform::LocationManager&, const platform::Location& newLocation,
                                                   const std::optional<platform::Location>&) {
  platform::RunLoop& loop = platform::RunLoop::main();
  locationUpdateTime_ = loop.now();
  // An earlier freshness timer is left to fire; only the latest is remembered.
  if (trackLocation_)
    geoTimer_ = loop.addTimer(kFreshnessDelay, false, Callback<void()>(this, &KXService::maintainLocationFreshness));
  // Every fix is stored, analysing or not; it is in the store before a waiting ad request wakes,
  // so that request carries it.
  auto geo = KXGeo::withLocation(newLocation.latitude, newLocation.longitude, newLocation.altitude, session_);
  {
    std::lock_guard<std::recursive_mutex> lock(database_->lock());
    if (database_->numItems() > kMaxItemsBeforeGeo) database_->oldestActions(1);
    database_->storeGeo(*geo);
  }
  std::lock_guard<std::mutex> lock(locationMutex_);
  location_ = newLocation;
  locationUpdated_.notify_all();
}

void KXService::locationManagerDidFailWithError(platform::LocationManager& manager, const std::string&, int) {
  if (requestingAd_) {
    std::lock_guard<std::mutex> lock(locationMutex_);
    locFailed_ = true;
    locationUpdated_.notify_all();
  }
  if (trackLocation_)
    geoTimer_ = platform::RunLoop::main().addTimer(kFreshnessDelay, false,
                                                   Callback<void()>(this, &KXService::maintainLocationFreshness));
  manager.stopUpdatingLocation();
}

void KXService::maintainLocationFreshness() {
  platform::RunLoop& loop = platform::RunLoop::main();
  if (!analyzing_) {
    loop.invalidateTimer(geoTimer_);
    return;
  }
  if (!location()) return;
  const auto age = static_cast<long long>(loop.now() - locationUpdateTime_);
  if (age > kStaleAge) {
    loop.invalidateTimer(geoTimer_);
    locationManager_.startUpdatingLocation();
  }
}

// ---- ads -------------------------------------------------------------------------------------

void KXService::requestAdUsingLocation(bool usingLocation) {
  if (requestingAd_) {
    deliverFailureWithError(KXError::errorWithDomain(KXAdvertisingErrorDomain, KXErrorAdInProgress));
    return;
  }
  const double last = lastAdRequest_;
  if (last >= 0.0 && platform::RunLoop::main().now() - last < kMinAdInterval) {
    deliverFailureWithError(KXError::errorWithDomain(KXAdvertisingErrorDomain, KXErrorAdTooSoon));
    return;
  }
  requestingAd_ = true;
  startThread([this, usingLocation] { waitForLocationToRequestAdUsingLocation(usingLocation); });
}

void KXService::waitForLocationToRequestAdUsingLocation(bool usingLocation) {
  if (usingLocation && !location()) {
    locationManager_.startUpdatingLocation();
    {
      std::unique_lock<std::mutex> lock(locationMutex_);
      const bool answered = locationUpdated_.wait_for(lock, std::chrono::duration<double>(locationWaitTimeout_.load()),
                                                      [this] { return location_.has_value() || locFailed_; });
      // No word from the location service in time counts as its failure.
      if (!answered) locFailed_ = true;
    }
    if (!trackLocation_) locationManager_.stopUpdatingLocation();
  }
  bool failed;
  {
    std::lock_guard<std::mutex> lock(locationMutex_);
    failed = locFailed_;
    locFailed_ = false;
  }
  if (failed) {
    requestingAd_ = false;
    deliverFailureWithError(KXError::errorWithDomain(KXLocationErrorDomain, KXErrorLocationFailed));
  }
  // The request goes out either way: the oldest batch with the ad record last.
  Ref<KXRequest> request = takeBatch(make<KXAd>(usingLocation, session_));
  Ref<KXResponse> response;
  try {
    response = KXSpeedServer::sharedServer()->sendRequest(request);
  } catch (...) {
    writeBackInFlight(request);
    throw;
  }
  if (!response) {
    writeBackInFlight(request);
    return;
  }
  endInFlight(request);
  requestCompletedWithResponse(response);
}

void KXService::requestCompletedWithResponse(KXResponse* response) {
  if (response->type() != KXAd::kType) return;  // not the answer to an ad: still requesting
  requestingAd_ = false;
  const KXJSONValue& data = response->data();
  if (!data.isArray() || data.size() == 0) return;
  const KXJSONValue& ad = data[0];
  if (!ad.isDictionary()) return;  // nothing to show
  Ref<KXService> self(this);
  platform::RunLoop::main().post([self, ad] { self->deliverAd(ad); });
}

void KXService::deliverAd(const KXJSONValue& ad) {
  lastAdRequest_ = platform::RunLoop::main().now();
  if (Ref<KXAdDelegate> delegate = adDelegate_)
    delegate->serviceDidGetAdWithTitle(this, stringFor(ad, "title"), stringFor(ad, "desc"), stringFor(ad, "link"));
}

void KXService::deliverFailureWithError(Ref<KXError> error) {
  Ref<KXService> self(this);
  platform::RunLoop::main().post([self, error] { self->deliverFailure(error); });
}

void KXService::deliverFailure(const Ref<KXError>& error) {
  if (Ref<KXAdDelegate> delegate = adDelegate_) delegate->serviceFailedToGetAdWithError(this, error.get());
}

}  // namespace peckish
