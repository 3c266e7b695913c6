#pragma once
// The intrusive reference-counted base of every shared engine, game and analytics object,
// and Ref<T>, the owning handle used for every owning reference.
#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace peckish {

class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  void retain() const noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() const noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      willDestroy();
      delete this;
    }
  }
  int retainCount() const noexcept { return refs_.load(std::memory_order_relaxed); }

 protected:
  // Called by the last release, while the object still has its full dynamic type (destructors
  // see only their own class). The base does nothing.
  virtual void willDestroy() const noexcept {}

 private:
  mutable std::atomic<int> refs_{0};
};

// An owning handle. A new object starts with no owners; the first Ref takes it.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  Ref(T* p) noexcept : p_(p) { if (p_) p_->retain(); }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& o) noexcept : Ref(o.get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& o) noexcept : p_(o.detach()) {}
  ~Ref() { if (p_) p_->release(); }

  Ref& operator=(const Ref& o) noexcept { reset(o.p_); return *this; }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) { T* old = std::exchange(p_, std::exchange(o.p_, nullptr)); if (old) old->release(); }
    return *this;
  }
  Ref& operator=(std::nullptr_t) noexcept { reset(); return *this; }

  // Takes a new reference to p before dropping the old one, so p may be owned only by the old.
  void reset(T* p = nullptr) noexcept {
    if (p) p->retain();
    T* old = std::exchange(p_, p);
    if (old) old->release();
  }
  // Gives up ownership without releasing.
  T* detach() noexcept { return std::exchange(p_, nullptr); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  operator T*() const noexcept { return p_; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> make(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

template <class T, class U>
Ref<T> ref_cast(const Ref<U>& r) {
  return Ref<T>(dynamic_cast<T*>(r.get()));
}

}  // namespace peckish
