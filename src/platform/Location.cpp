#include "platform/Location.h"

#include "platform/RunLoop.h"

namespace peckish::platform {

namespace {
std::atomic<bool> gInjected{false};
}

// Shared with the tasks the manager posts, so a task that runs after the manager is gone finds
// no delegate instead of a dangling one.
struct LocationManager::State {
  mutable std::mutex mutex;
  LocationManagerDelegate* delegate = nullptr;
  bool updating = false;
  int starts = 0;
  bool injected = false;
  std::optional<Location> location;
};

LocationManager::LocationManager() : state_(std::make_shared<State>()) { state_->injected = gInjected.load(); }

LocationManager::~LocationManager() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->delegate = nullptr;
  state_->updating = false;
}

void LocationManager::setDelegate(LocationManagerDelegate* delegate) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->delegate = delegate;
}

void LocationManager::startUpdatingLocation() {
  bool injected;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->updating = true;
    ++state_->starts;
    injected = state_->injected;
  }
  if (injected) return;
  // No location service on this machine: say so, the way a phone reports a refusal.
  std::weak_ptr<State> weak = state_;
  RunLoop::main().post([weak, this] {
    std::shared_ptr<State> state = weak.lock();
    if (!state) return;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (!state->updating || !state->delegate) return;
    }
    injectFailure(kLocationErrorDenied);
  });
}

void LocationManager::stopUpdatingLocation() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->updating = false;
}

bool LocationManager::updatingLocation() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->updating;
}

int LocationManager::startCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->starts;
}

std::optional<Location> LocationManager::location() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->location;
}

void LocationManager::setInjectedForTesting(bool injected) { gInjected = injected; }
bool LocationManager::injectedForTesting() { return gInjected; }

void LocationManager::injectLocation(const Location& location) {
  LocationManagerDelegate* delegate;
  std::optional<Location> old;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    old = state_->location;
    state_->location = location;
    delegate = state_->delegate;
  }
  if (delegate) delegate->locationManagerDidUpdateToLocation(*this, location, old);
}

void LocationManager::injectFailure(int code, const std::string& domain) {
  LocationManagerDelegate* delegate;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    delegate = state_->delegate;
  }
  if (delegate) delegate->locationManagerDidFailWithError(*this, domain, code);
}

}  // namespace peckish::platform
