#pragma once
// Process-wide single instances created on first use. The instance is recorded before the
// derived constructor body runs, so code inside that constructor may already ask for it; creation
// is serialised on a recursive lock per class, so that nested request succeeds.
// A reference-counted singleton lists Object before Singleton<T> among its bases; the instance
// holds one reference to itself for the life of the process (or until purgeShared in tests).
#include <mutex>
#include <type_traits>

#include "core/Object.h"

namespace peckish {

template <class T>
class Singleton {
 public:
  static T* shared() {
    std::lock_guard<std::recursive_mutex> lock(mutex());
    if (!instance_) new T();  // the base constructor records the instance
    return instance_;
  }
  static bool exists() {
    std::lock_guard<std::recursive_mutex> lock(mutex());
    return instance_ != nullptr;
  }
  // Tests only: forget and destroy the instance so the next shared() builds a fresh one.
  static void purgeShared() {
    std::lock_guard<std::recursive_mutex> lock(mutex());
    T* old = instance_;
    instance_ = nullptr;
    if (old) T::destroyShared(old);
  }
  static std::recursive_mutex& mutex() {
    static std::recursive_mutex m;
    return m;
  }

 protected:
  // Recording the instance means converting to T before T's own constructor has started. The
  // conversion is a fixed pointer adjustment and the pointer is not used for T's members until
  // T's constructor runs; the dynamic-type check of the undefined-behaviour sanitizer cannot know
  // that, so it is switched off for this one function.
  __attribute__((no_sanitize("vptr"))) Singleton() {
    self_ = this;
    instance_ = static_cast<T*>(this);
    if constexpr (std::is_base_of_v<Object, T>) static_cast<const Object*>(instance_)->retain();
  }
  ~Singleton() {
    if (self_ == this) {
      self_ = nullptr;
      instance_ = nullptr;
    }
  }
  static void destroyShared(T* p) {
    if constexpr (std::is_base_of_v<Object, T>) static_cast<const Object*>(p)->release();
    else delete p;
  }

 private:
  static inline T* instance_ = nullptr;
  static inline Singleton* self_ = nullptr;
};

}  // namespace peckish
