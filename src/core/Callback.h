#pragma once
// A receiver plus one of its member functions: the binding used for timers, actions that call back,
// buttons, menu items and dialog delegates. The receiver is not owned. Two callbacks compare equal
// when they bind the same receiver to the same member function, so "already scheduled" and
// "unschedule" work by identity.
#include <cstring>
#include <type_traits>

#include "core/Object.h"

namespace peckish {

template <class Sig>
class Callback;

template <class R, class... Args>
class Callback<R(Args...)> {
 public:
  Callback() noexcept = default;

  template <class C, class M>
  Callback(C* receiver, M C::*method) noexcept {
    using Method = M C::*;
    static_assert(sizeof(Method) <= sizeof(storage_), "member pointer too large");
    static_assert(std::is_invocable_r_v<R, Method, C*, Args...>, "member function signature mismatch");
    receiver_ = receiver;
    if constexpr (std::is_base_of_v<Object, C>) object_ = receiver;
    std::memcpy(storage_, &method, sizeof(Method));
    invoke_ = [](void* r, const unsigned char* s, Args... args) -> R {
      Method m;
      std::memcpy(&m, s, sizeof(Method));
      return (static_cast<C*>(r)->*m)(std::forward<Args>(args)...);
    };
  }

  R operator()(Args... args) const { return invoke_(receiver_, storage_, std::forward<Args>(args)...); }
  explicit operator bool() const noexcept { return invoke_ != nullptr && receiver_ != nullptr; }

  void* receiver() const noexcept { return receiver_; }
  // The receiver as a reference-counted object, or null when it is not one.
  Object* object() const noexcept { return object_; }

  bool operator==(const Callback& o) const noexcept {
    return receiver_ == o.receiver_ && invoke_ == o.invoke_ &&
           std::memcmp(storage_, o.storage_, sizeof storage_) == 0;
  }
  bool sameReceiver(const void* r) const noexcept { return receiver_ == r; }

 private:
  void* receiver_ = nullptr;
  Object* object_ = nullptr;
  alignas(void*) unsigned char storage_[2 * sizeof(void*)] = {};
  R (*invoke_)(void*, const unsigned char*, Args...) = nullptr;
};

}  // namespace peckish
