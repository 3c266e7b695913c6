#pragma once
// The analytics client's front door. It holds the application's key and secret, owns the session
// (one identifier per process), records named actions and location fixes in the local store, and
// uploads the stored records in batches of five: once at start when the store is not empty, then
// every 90 seconds, each upload on a detached thread of its own. A failed upload puts its records
// back behind the newer ones. It can also request an ad, which is handed to the ad delegate on the
// main thread.
//
// A batch stays in the store's side table while its exchange runs: at termination batches still
// in flight are put back into the queue, and rows left behind by a process that died during an
// exchange are put back when the next process creates the service. Delivery is therefore at least
// once; a duplicate is possible only for a batch whose exchange was cut off.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "analytics/KXError.h"
#include "analytics/KXJSONValue.h"
#include "analytics/KXSpeedServer.h"
#include "core/Object.h"
#include "core/Singleton.h"
#include "platform/Location.h"
#include "platform/RunLoop.h"

namespace peckish {

class KXDatabase;
class KXRequest;
class KXResponse;
class KXService;

inline constexpr const char* KXAdvertisingErrorDomain = "org.Kestrix.advertising";
inline constexpr const char* KXLocationErrorDomain = "org.Kestrix.Location";
enum KXServiceError : long {
  KXErrorLocationFailed = 0,  // in KXLocationErrorDomain
  KXErrorAdInProgress = 3,    // in KXAdvertisingErrorDomain
  KXErrorAdTooSoon = 4,       // in KXAdvertisingErrorDomain
};

// Told about ads on the main thread. Both calls are optional: the defaults do nothing.
class KXAdDelegate : public Object {
 public:
  // The ad's "title", "desc" and "link".
  virtual void serviceDidGetAdWithTitle(KXService* service, const std::string& title, const std::string& text,
                                        const std::string& link) {
    (void)service, (void)title, (void)text, (void)link;
  }
  virtual void serviceFailedToGetAdWithError(KXService* service, KXError* error) { (void)service, (void)error; }
};

class KXService final : public Object,
                        public Singleton<KXService>,
                        public KXServerDelegate,
                        public platform::LocationManagerDelegate {
 public:
  static constexpr double kUploadInterval = 90.0;
  static constexpr int kBatchSize = 5;
  static constexpr std::size_t kMaxActionLength = 40;  // characters
  static constexpr int kMaxItemsBeforeAction = 100;    // above this an action first drops the oldest
  static constexpr int kMaxItemsBeforeGeo = 99;        // above this a fix first drops the oldest
  static constexpr double kMinAdInterval = 3.0;
  static constexpr double kFreshnessDelay = 1.0;
  static constexpr int kStaleAge = 300;                // seconds
  static constexpr double kLocationWaitTimeout = 30.0;

  // Class-level credentials; set by the host before the service is used.
  static void setApplicationKey(std::string key, std::string secret);
  // Created on first use, on the main thread.
  static KXService* sharedService() { return shared(); }
  // Tests: stops the timers and the terminate observer and forgets the shared instance.
  static void purgeShared();

  // Uses the shared store and transport; schedules the upload timer on the main run loop and
  // watches for the application's termination.
  KXService();
  ~KXService() override;

  void startAnalysisUsingLocation(bool trackLocation);
  // Names longer than 40 characters, and calls while not analysing, are dropped.
  void logAction(const std::string& name);
  void stopAnalysis();
  // Answers through the ad delegate: an ad, or an error (codes above, or the transport's).
  void requestAdUsingLocation(bool usingLocation);

  KXAdDelegate* adDelegate() const { return adDelegate_.get(); }
  void setAdDelegate(KXAdDelegate* delegate) { adDelegate_ = delegate; }

  // The transport's view of the service.
  std::string key() const override;
  std::string secret() const override;
  // Puts every record of the request back into the store (behind the newer ones); an ad request
  // also ends with the error told to the ad delegate.
  void failedToCompleteRequest(KXRequest* request, KXError* error) override;

  void locationManagerDidUpdateToLocation(platform::LocationManager& manager, const platform::Location& newLocation,
                                          const std::optional<platform::Location>& oldLocation) override;
  void locationManagerDidFailWithError(platform::LocationManager& manager, const std::string& domain,
                                       int code) override;

  const std::string& session() const noexcept { return session_; }
  bool analyzing() const noexcept { return analyzing_; }
  bool trackLocation() const noexcept { return trackLocation_; }
  bool requestingAd() const noexcept { return requestingAd_; }
  platform::LocationManager& locationManager() noexcept { return locationManager_; }
  std::optional<platform::Location> location() const;

  // How long an ad request waits for a first location fix before it goes on as if the location
  // service had failed.
  void setLocationWaitTimeout(double seconds) noexcept { locationWaitTimeout_ = seconds; }
  double locationWaitTimeout() const noexcept { return locationWaitTimeout_; }

  // Rows recovered from an earlier process when this service was created.
  int recoveredAtStart() const noexcept { return recoveredAtStart_; }
  // Upload and ad threads started so far, and a wait until none is running (false on time-out).
  int threadsStarted() const noexcept { return threadsStarted_; }
  bool waitForThreads(double seconds);
  // Uploads whose exchange has not ended.
  int uploadsInFlight() const;

 private:
  struct InFlight {
    std::int64_t batch = 0;
    bool writtenBack = false;
  };

  void phoneHome();
  void phoneHomeThread(const Ref<KXRequest>& request);
  void waitForLocationToRequestAdUsingLocation(bool usingLocation);
  void requestCompletedWithResponse(KXResponse* response);
  void deliverAd(const KXJSONValue& ad);
  void deliverFailure(const Ref<KXError>& error);
  void deliverFailureWithError(Ref<KXError> error);
  void maintainLocationFreshness();
  void applicationWillTerminate();

  void startThread(std::function<void()> body);
  // The oldest batch (with extra appended when given) as a request whose batch is in flight;
  // null when there is nothing to send.
  Ref<KXRequest> takeBatch(const Ref<KXRecord>& extra = nullptr);
  // The exchange ended with an answer: the batch is delivered.
  void endInFlight(KXRequest* request);
  // Puts the request's batch back where it came from (termination, or an exchange that broke off).
  void writeBackInFlight(KXRequest* request);
  void writeBackAllInFlight();
  void detachFromRunLoop();

  Ref<KXAdDelegate> adDelegate_;
  platform::LocationManager locationManager_;
  Ref<KXDatabase> database_;
  std::string session_;
  std::atomic<bool> trackLocation_{false};
  std::atomic<bool> analyzing_{false};
  std::atomic<bool> requestingAd_{false};

  // Guards location_ and locFailed_, and is the lock of the ad request's wait.
  mutable std::mutex locationMutex_;
  std::condition_variable locationUpdated_;
  std::optional<platform::Location> location_;
  bool locFailed_ = false;
  double locationUpdateTime_ = 0.0;  // main run loop clock
  platform::RunLoop::TimerId geoTimer_ = 0;
  std::atomic<double> lastAdRequest_{-1.0};  // main run loop clock; negative until the first ad
  std::atomic<double> locationWaitTimeout_{kLocationWaitTimeout};

  platform::RunLoop::TimerId uploadTimer_ = 0;
  unsigned long terminateObserver_ = 0;

  mutable std::mutex inFlightMutex_;  // taken before the store's lock
  std::map<const KXRequest*, InFlight> inFlight_;
  int recoveredAtStart_ = 0;

  std::mutex threadsMutex_;
  std::condition_variable threadsIdle_;
  int threadsRunning_ = 0;
  std::atomic<int> threadsStarted_{0};
};

}  // namespace peckish
