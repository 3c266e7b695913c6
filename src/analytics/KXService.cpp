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
  const std::string& store = database_->databasePath();
  ownerLock_ = platform::FileLock::tryLock(store + ".owner", platform::FileLock::Mode::Exclusive);
  usersLockPath_ = store + ".users";
  if (!ownerLock_.held()) {
    // The owner takes this lock exclusively, for a moment, only to learn whether anyone else runs.
    for (int attempt = 0; attempt < 50 && !userLock_.held(); ++attempt) {
      userLock_ = platform::FileLock::tryLock(usersLockPath_, platform::FileLock::Mode::Shared);
      if (!userLock_.held()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    engineLog("KXService: another instance owns the queue '%s'; this one puts back only the batches it takes.",
              store.c_str());
  }
  // Batches whose exchange an earlier process never finished go back where they were taken from.
  recoverIfOwner();
  KXSpeedServer::sharedServer()->setServerDelegate(this);
  uploadTimer_ = platform::RunLoop::main().addTimer(kUploadInterval, true, Callback<void()>(this, &KXService::phoneHome));
  terminateObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillTerminateNotification, [this](void*) { applicationWillTerminate(); });
}

KXService::~KXService() {
  locationManager_.setDelegate(nullptr);
  std::map<std::thread::id, std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    threads.swap(threads_);
  }
  // The last reference may go on one of the service's own threads, which cannot join itself.
  for (auto& [id, thread] : threads) {
    if (!thread.joinable()) continue;
    if (id == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
  }
}

void KXService::recoverIfOwner() {
  if (recovered_ || !ownerLock_.held()) return;
  // Another instance's batch may be on the wire; while any runs, rows in flight are left alone.
  platform::FileLock alone = platform::FileLock::tryLock(usersLockPath_, platform::FileLock::Mode::Exclusive);
  if (!alone.held()) return;
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  std::vector<std::int64_t> ours;
  for (const auto& [request, entry] : inFlight_) ours.push_back(entry.batch);
  try {
    recoveredAtStart_ += database_->restoreAllInFlight(ours);
    recovered_ = true;
  } catch (const std::exception& e) {
    if (!KXIsStoreBusy(e)) engineLog("KXService: %s", e.what());  // again at the next tick
  }
}

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
  // Rows an earlier process left in flight go first, should the store have been in use when the
  // service was made and be free now.
  recoverIfOwner();
  try {
    if (Ref<KXRequest> request = takeBatch()) {
      KXSpeedServer::sharedServer()->setServerDelegate(this);
      startThread([this, request] { phoneHomeThread(request); });
    }
  } catch (const std::exception& e) {
    // The store refused: the first tick that finds it usable sends.
    if (!KXIsStoreBusy(e)) engineLog("KXService: %s", e.what());
  }
  // Logged after the batch was taken, so it travels in a later one.
  logAction(kAnalysisStarted);
}

void KXService::logAction(const std::string& name) {
  if (!analyzing_ || characterCount(name) > kMaxActionLength) return;
  storeRecord(make<KXAction>(name, session_), kMaxItemsBeforeAction);
}

void KXService::writeRecord(const Held& held) {
  if (database_->numItems() > held.limit) database_->oldestActions(1);
  if (auto* geo = dynamic_cast<KXGeo*>(held.record.get()))
    database_->storeGeo(*geo);
  else if (auto* action = dynamic_cast<KXAction*>(held.record.get()))
    database_->storeAction(*action);
}

void KXService::storeRecord(const Ref<KXRecord>& record, int limit) {
  std::lock_guard<std::mutex> lock(heldMutex_);
  const Held held{record, limit};
  try {
    // Held records were logged first and are written first; the new one goes with them. The
    // transaction commits all of them or none.
    database_->inTransaction([&] {
      for (const Held& h : held_) writeRecord(h);
      writeRecord(held);
    });
    heldWritten();
    return;
  } catch (const std::exception& e) {
    heldRefused(e);
  }
  if (held_.size() >= kMaxHeld) {
    if (!toldHeldFull_) engineLog("KXService: the queue takes no records now; records are dropped until it does.");
    toldHeldFull_ = true;
    ++droppedRecords_;
    return;
  }
  held_.push_back(held);
}

bool KXService::flushHeld() {
  std::lock_guard<std::mutex> lock(heldMutex_);
  if (held_.empty()) return true;
  try {
    database_->inTransaction([&] {
      for (const Held& h : held_) writeRecord(h);
    });
  } catch (const std::exception& e) {
    heldRefused(e);
    return false;
  }
  heldWritten();
  return true;
}

void KXService::heldRefused(const std::exception& e) {
  // Told once until the store takes records again (a full disk would otherwise be told for every
  // record); a store in use elsewhere is not worth a line.
  if (KXIsStoreBusy(e) || toldStoreRefused_) return;
  toldStoreRefused_ = true;
  engineLog("KXService: %s Records are held until the queue takes them.", e.what());
}

void KXService::heldWritten() {
  held_.clear();
  toldHeldFull_ = false;
  toldStoreRefused_ = false;
}

int KXService::heldRecords() const {
  std::lock_guard<std::mutex> lock(heldMutex_);
  return static_cast<int>(held_.size());
}

void KXService::stopAnalysis() {
  if (!analyzing_) return;
  logAction(kAnalysisStopped);
  analyzing_ = false;
  if (trackLocation_) locationManager_.stopUpdatingLocation();
}

void KXService::applicationWillTerminate() {
  const auto start = std::chrono::steady_clock::now();
  const auto wait = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(kTerminationWait));
  try {
    stopAnalysis();
  } catch (const std::exception& e) {
    engineLog("KXService: %s", e.what());
  }
  // The exchanges end first, for up to half the wait: a batch is written back only once no answer
  // can arrive for it any more, else an answer arriving meanwhile would leave it delivered and back
  // in the queue at once. An exchange cancelled this way puts its own batch back in its place.
  KXSpeedServer* transport = Singleton<KXSpeedServer>::exists() ? KXSpeedServer::sharedServer() : nullptr;
  stopping_ = true;
  {
    std::lock_guard<std::mutex> lock(locationMutex_);
    locationUpdated_.notify_all();
  }
  if (transport) transport->cancelExchanges();
  {
    std::unique_lock<std::mutex> lock(threadsMutex_);
    threadsIdle_.wait_until(lock, start + wait / 2, [this] { return threadsRunning_ == 0; });
  }
  // Then what the store still owes (batches of exchanges that have not ended back to their places,
  // refused endings, held records), tried while it refuses for the rest of the wait; rows left in
  // flight are put back by the next start.
  for (;;) {
    bool done = writeBackAllInFlight();
    done = settleAllPending() && done;
    done = flushHeld() && done;
    if (done || std::chrono::steady_clock::now() - start >= wait) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  {
    std::lock_guard<std::mutex> lock(heldMutex_);
    if (const int lost = static_cast<int>(held_.size()) + droppedRecords_)
      engineLog("KXService: %d records are not kept: the queue did not take them (%d held at exit, %d dropped "
                "beyond the %zu held).",
                lost, static_cast<int>(held_.size()), droppedRecords_, kMaxHeld);
  }
  finishThreads(transport);
}

void KXService::finishThreads(KXSpeedServer* transport) {
  std::lock_guard<std::mutex> lock(threadsMutex_);
  const bool idle = threadsRunning_ == 0;
  reapThreadsLocked();
  if (!idle) {
    // Stuck where nothing can interrupt it (a name lookup): it keeps the service alive, and the
    // transport stays cancelled so it sends nothing once it comes back.
    engineLog("KXService: %d upload threads still running at exit.", threadsRunning_);
    return;
  }
  if (transport) transport->allowExchanges();
  stopping_ = false;
}

// ---- uploads ---------------------------------------------------------------------------------

void KXService::phoneHome() {
  // A store failure is reported in the log; it must not unwind through the main run loop. A store
  // in use elsewhere is simply tried again at the next tick.
  try {
    settleAllPending();
    flushHeld();
    recoverIfOwner();
    if (database_->numItems() <= 0) return;
    if (Ref<KXRequest> request = takeBatch()) startThread([this, request] { phoneHomeThread(request); });
  } catch (const std::exception& e) {
    if (!KXIsStoreBusy(e)) engineLog("KXService: %s", e.what());
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
  std::lock_guard<std::mutex> lock(threadsMutex_);
  reapThreadsLocked();
  ++threadsRunning_;
  ++threadsStarted_;
  Ref<KXService> self(this);
  std::thread thread([self, body = std::move(body)]() mutable {
    try {
      body();
    } catch (const std::exception& e) {
      engineLog("KXService: %s", e.what());
    }
    body = nullptr;  // what the work held goes before the thread counts as finished
    std::lock_guard<std::mutex> done(self->threadsMutex_);
    self->finished_.push_back(std::this_thread::get_id());
    if (--self->threadsRunning_ == 0) self->threadsIdle_.notify_all();
  });
  const std::thread::id id = thread.get_id();
  threads_.emplace(id, std::move(thread));
}

void KXService::reapThreadsLocked() {
  for (std::thread::id id : finished_) {
    auto it = threads_.find(id);
    if (it == threads_.end() || id == std::this_thread::get_id()) continue;
    it->second.join();  // past its last use of the service: returns at once
    threads_.erase(it);
  }
  finished_.clear();
}

int KXService::threadsAlive() {
  std::lock_guard<std::mutex> lock(threadsMutex_);
  reapThreadsLocked();
  return static_cast<int>(threads_.size());
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
  if (batch) inFlight_[request.get()] = InFlight{request, batch, false, Settle::None};
  return request;
}

void KXService::endInFlight(KXRequest* request) { settleInFlight(request, Settle::End); }

void KXService::writeBackInFlight(KXRequest* request) { settleInFlight(request, Settle::Restore); }

void KXService::settleInFlight(KXRequest* request, Settle how) {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  auto it = inFlight_.find(request);
  if (it == inFlight_.end()) return;
  InFlight& entry = it->second;
  if (entry.writtenBack) {  // already back in the queue since termination
    inFlight_.erase(it);
    return;
  }
  if (entry.pending == Settle::None) entry.pending = how;  // a decided ending is not changed
  if (settle(entry)) inFlight_.erase(it);
}

bool KXService::settle(InFlight& entry) {
  try {
    switch (entry.pending) {
      case Settle::None:
        return false;
      case Settle::End:
        database_->endInFlight(entry.batch);
        break;
      case Settle::PutBack:
        putBack(*entry.request, entry.batch);
        break;
      case Settle::Restore:
        restore(entry);
        break;
    }
    return true;
  } catch (const std::exception& e) {
    // Kept, and tried again at the next tick; its rows stay in flight meanwhile.
    if (!KXIsStoreBusy(e)) engineLog("KXService: %s", e.what());
    return false;
  }
}

bool KXService::settleAllPending() {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  bool done = true;
  for (auto it = inFlight_.begin(); it != inFlight_.end();) {
    if (it->second.pending != Settle::None && !settle(it->second)) {
      done = false;
      ++it;
    } else if (it->second.pending != Settle::None) {
      it = inFlight_.erase(it);
    } else {
      ++it;
    }
  }
  return done;
}

void KXService::putBack(const KXRequest& request, std::int64_t batch) {
  // The records go back behind the newer ones, and the batch stops being in flight, together.
  database_->inTransaction([&] {
    for (const Ref<KXRecord>& record : request.payload()) {
      if (dynamic_cast<KXAd*>(record.get())) break;  // the ad record is last and not stored
      if (auto* geo = dynamic_cast<KXGeo*>(record.get()))
        database_->storeGeo(*geo);
      else if (auto* action = dynamic_cast<KXAction*>(record.get()))
        database_->storeAction(*action);
    }
    if (batch) database_->endInFlight(batch);
  });
}

void KXService::restore(const InFlight& entry) {
  // A batch whose file was moved aside as damaged left its rows there: they go into the fresh
  // queue from the request, behind the records stored since.
  if (database_->restoreInFlight(entry.batch) == 0 && database_->batchOutlivedItsFile(entry.batch))
    putBack(*entry.request, 0);
}

bool KXService::writeBackAllInFlight() {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  bool done = true;
  for (auto& [request, entry] : inFlight_) {
    if (entry.writtenBack || entry.pending != Settle::None) continue;
    try {
      restore(entry);
      entry.writtenBack = true;
    } catch (const std::exception& e) {
      if (!KXIsStoreBusy(e)) engineLog("KXService: %s", e.what());
      done = false;
    }
  }
  return done;
}

int KXService::uploadsInFlight() const {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  int n = 0;
  for (const auto& [request, entry] : inFlight_)
    if (!entry.writtenBack && entry.pending == Settle::None) ++n;
  return n;
}

int KXService::batchesPending() const {
  std::lock_guard<std::mutex> lock(inFlightMutex_);
  int n = 0;
  for (const auto& [request, entry] : inFlight_)
    if (entry.pending != Settle::None) ++n;
  return n;
}

void KXService::failedToCompleteRequest(KXRequest* request, KXError* error) {
  if (!request) return;
  bool adRequest = false;
  for (const Ref<KXRecord>& record : request->payload())
    if (dynamic_cast<KXAd*>(record.get())) adRequest = true;
  {
    std::lock_guard<std::mutex> lock(inFlightMutex_);
    if (auto it = inFlight_.find(request); it != inFlight_.end()) {
      InFlight& entry = it->second;
      if (entry.writtenBack) {
        inFlight_.erase(it);
      } else {
        // An exchange that termination cancelled goes back to its place, as written back.
        entry.pending = stopping_ ? Settle::Restore : Settle::PutBack;
        if (settle(entry)) inFlight_.erase(it);
      }
    } else {
      try {
        putBack(*request, 0);
      } catch (const std::exception& e) {
        engineLog("KXService: %s", e.what());
      }
    }
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
  storeRecord(KXGeo::withLocation(newLocation.latitude, newLocation.longitude, newLocation.altitude, session_),
              kMaxItemsBeforeGeo);
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
                                                      [this] { return location_.has_value() || locFailed_ || stopping_; });
      // No word from the location service in time counts as its failure.
      if (!answered) locFailed_ = true;
    }
    if (!trackLocation_) locationManager_.stopUpdatingLocation();
  }
  if (stopping_) {  // the application is ending: no request any more
    requestingAd_ = false;
    return;
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
  Ref<KXRecord> ad = make<KXAd>(usingLocation, session_);
  Ref<KXRequest> request;
  try {
    request = takeBatch(ad);
  } catch (const std::exception& e) {
    if (!KXIsStoreBusy(e)) engineLog("KXService: %s", e.what());
    request = make<KXRequest>(std::vector<Ref<KXRecord>>{ad});  // the store refused: the ad alone
  }
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
