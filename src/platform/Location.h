#pragma once
// Location services. A desktop has none: starting updates reports a failure to the delegate
// (domain kLocationErrorDomain, code kLocationErrorDenied) on the main run loop. Tests switch
// managers to injected mode, where starting and stopping are only recorded and fixes and failures
// are handed in by the test (on the main thread).
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace peckish::platform {

struct Location {
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
  double altitude = 0.0;   // metres
};

inline constexpr const char* kLocationErrorDomain = "kCLErrorDomain";
inline constexpr int kLocationErrorLocationUnknown = 0;
inline constexpr int kLocationErrorDenied = 1;

class LocationManager;

// Both callbacks come on the main thread; the defaults do nothing.
class LocationManagerDelegate {
 public:
  virtual ~LocationManagerDelegate() = default;
  virtual void locationManagerDidUpdateToLocation(LocationManager& manager, const Location& newLocation,
                                                  const std::optional<Location>& oldLocation) {
    (void)manager, (void)newLocation, (void)oldLocation;
  }
  virtual void locationManagerDidFailWithError(LocationManager& manager, const std::string& domain, int code) {
    (void)manager, (void)domain, (void)code;
  }
};

class LocationManager {
 public:
  LocationManager();
  ~LocationManager();
  LocationManager(const LocationManager&) = delete;
  LocationManager& operator=(const LocationManager&) = delete;

  // Not owned; cleared by the manager's destruction.
  void setDelegate(LocationManagerDelegate* delegate);

  // Any thread.
  void startUpdatingLocation();
  void stopUpdatingLocation();
  bool updatingLocation() const;
  int startCount() const;  // how often updates were started
  std::optional<Location> location() const;  // the latest fix

  // Tests: managers created while this is set take fixes and failures only from inject...().
  static void setInjectedForTesting(bool injected);
  static bool injectedForTesting();
  // Main thread: deliver a fix or a failure to the delegate now.
  void injectLocation(const Location& location);
  void injectFailure(int code, const std::string& domain = kLocationErrorDomain);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace peckish::platform
