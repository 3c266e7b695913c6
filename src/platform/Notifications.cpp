#include "platform/Notifications.h"

#include <algorithm>

namespace peckish::platform {

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter c;
  return c;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const std::string& name,
                                                               std::function<void(void*)> handler) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  entries_.push_back(Entry{next_, name, std::move(handler)});
  return next_++;
}

void NotificationCenter::removeObserver(ObserverId id) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; }),
                 entries_.end());
}

void NotificationCenter::post(const std::string& name, void* object) {
  std::vector<std::function<void(void*)>> handlers;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const auto& e : entries_)
      if (e.name == name) handlers.push_back(e.handler);
  }
  for (auto& h : handlers) h(object);
}

}  // namespace peckish::platform
