#pragma once
// The default notification centre: observers by name, told synchronously on the posting thread.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace peckish::platform {

inline constexpr const char* kApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
// Posted by the display (object: the Display) when the screen's scale or the window's picture
// size changed: fullscreen switched, the window resized.
inline constexpr const char* kScreenModeDidChangeNotification = "UIScreenModeDidChangeNotification";

class NotificationCenter {
 public:
  using ObserverId = unsigned long;
  static NotificationCenter& defaultCenter();
  // The handler receives the posting object (may be null).
  ObserverId addObserver(const std::string& name, std::function<void(void* object)> handler);
  void removeObserver(ObserverId id);
  void post(const std::string& name, void* object = nullptr);

 private:
  struct Entry {
    ObserverId id;
    std::string name;
    std::function<void(void*)> handler;
  };
  std::recursive_mutex mutex_;
  std::vector<Entry> entries_;
  ObserverId next_ = 1;
};

}  // namespace peckish::platform
