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
// once; a duplicate is possible only for a batch whose exchange was cut off. A batch is forgotten
// only once the statement that ends it (delivered, put back, written back) has committed; when the
// store refuses, the statement is tried again at the next upload tick.
//
// Several processes may share one data folder. The first service to take the queue's owner lock
// (an advisory file lock beside the store, held for the life of the service) owns the queue: only
// it puts back rows left in flight by earlier processes, and only while no other instance is
// running. Any other instance logs and uploads as usual and puts back only batches it took itself.
//
// A record the store does not take (in use elsewhere, or refusing: a full disk, an I/O error, a
// read-only file, a damaged file being replaced) is held in memory (up to kMaxHeld, the oldest
// kept) and written, in order, at the next use of the store that takes it; the main thread never
// waits more than about KXDatabase::kPatience twice over for the store. Nothing is forgotten on a
// store call that raised: held records and batch endings are tried again until they committed.
// What is still held at termination, and what the bound dropped, is counted in one log line.
//
// At termination the upload and ad threads still running are cancelled first and given up to half
// of kTerminationWait to end; only then are batches still in flight written back, so that no
// answer can arrive for a batch already back in the queue.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analytics/KXError.h"
#include "analytics/KXJSONValue.h"
#include "analytics/KXSpeedServer.h"
#include "core/Object.h"
#include "core/Singleton.h"
#include "platform/FileLock.h"
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
  static constexpr std::size_t kMaxHeld = 100;         // records held while the store is in use
  // Seconds; a signal must end the whole application within 1.5 s, this wait included.
  static constexpr double kTerminationWait = 0.75;

  // Class-level credentials; set by the host before the service is used.
  static void setApplicationKey(std::string key, std::string secret);
  // Created on first use, on the main thread.
  static KXService* sharedService() { return shared(); }
  // Stops the timers and the terminate observer and forgets the shared instance (tests, and a
  // player who withdraws consent, after shutDown).
  static void purgeShared();

  // Uses the shared store and transport; schedules the upload timer on the main run loop and
  // watches for the application's termination.
  KXService();
  ~KXService() override;

  void startAnalysisUsingLocation(bool trackLocation);
  // Names longer than 40 characters, and calls while not analysing, are dropped.
  void logAction(const std::string& name);
  void stopAnalysis();
  // Ends everything as the application's termination does: the analysis stopped, the exchanges
  // cancelled and given their wait, batches still in flight written back.
  void shutDown() { applicationWillTerminate(); }
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

  // Rows recovered from earlier processes (when the service was created, or later when the store
  // or other instances kept it from doing so then).
  int recoveredAtStart() const noexcept { return recoveredAtStart_; }
  // Whether this service holds the queue's owner lock.
  bool ownsQueue() const noexcept { return ownerLock_.held(); }
  // Records waiting in memory for the store.
  int heldRecords() const;
  // Upload and ad threads started so far, and a wait until none is running (false on time-out).
  int threadsStarted() const noexcept { return threadsStarted_; }
  bool waitForThreads(double seconds);
  // Upload and ad threads not yet joined.
  int threadsAlive();
  // Uploads whose exchange has not ended.
  int uploadsInFlight() const;
  // Batches whose ending statement the store refused so far; tried again at the next tick.
  int batchesPending() const;

 private:
  // What still has to happen to a batch in the store before it can be forgotten.
  enum class Settle { None, End, PutBack, Restore };
  struct InFlight {
    Ref<KXRequest> request;  // kept until the entry goes, so its address stays its own
    std::int64_t batch = 0;
    bool writtenBack = false;
    Settle pending = Settle::None;  // None while the exchange runs
  };
  struct Held {
    Ref<KXRecord> record;
    int limit = 0;  // above this many rows the oldest is dropped first
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
  // Termination: every batch still in flight goes back to its place; true when all did.
  bool writeBackAllInFlight();
  // Puts the entry's batch back in its place (from the request when its file was replaced).
  void restore(const InFlight& entry);
  // Ends the entry of the request the given way, now if the store takes it, else at a later tick.
  void settleInFlight(KXRequest* request, Settle how);
  // Runs the entry's pending statement; true once it committed. Needs inFlightMutex_.
  bool settle(InFlight& entry);
  // Retries every pending entry; true when none is left.
  bool settleAllPending();
  // The records of the request go back behind the newer ones and its batch ends, together.
  void putBack(const KXRequest& request, std::int64_t batch);
  // Writes the record (after those held before it), or holds it while the store is in use.
  void storeRecord(const Ref<KXRecord>& record, int limit);
  void writeRecord(const Held& held);
  // Writes the held records; true when none is left.
  bool flushHeld();
  // After a write of the held records failed, and after one committed. Need heldMutex_.
  void heldRefused(const std::exception& e);
  void heldWritten();
  // The owner puts back rows other processes left in flight, once, when the store is free and no
  // other instance is running.
  void recoverIfOwner();
  // Joins the upload and ad threads that ended since termination cancelled them; lets exchanges
  // run again when none is left.
  void finishThreads(KXSpeedServer* transport);
  void reapThreadsLocked();
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

  mutable std::mutex heldMutex_;  // taken before the store's lock, never with inFlightMutex_
  std::deque<Held> held_;
  bool toldHeldFull_ = false;
  bool toldStoreRefused_ = false;
  int droppedRecords_ = 0;  // beyond kMaxHeld

  platform::FileLock ownerLock_;
  std::string usersLockPath_;
  platform::FileLock userLock_;  // a shared lock that tells the owner this instance is running
  bool recovered_ = false;

  std::mutex threadsMutex_;
  std::condition_variable threadsIdle_;
  int threadsRunning_ = 0;
  std::atomic<int> threadsStarted_{0};
  std::map<std::thread::id, std::thread> threads_;
  std::vector<std::thread::id> finished_;
  std::atomic<bool> stopping_{false};  // termination is cancelling the threads
};

}  // namespace peckish
