#pragma once
// The one exception type: a programming error or unrecoverable failure with a name and a reason.
#include <stdexcept>
#include <string>

namespace peckish {

class Exception : public std::runtime_error {
 public:
  Exception(std::string name, std::string reason)
      : std::runtime_error(reason), name_(std::move(name)), reason_(std::move(reason)) {}
  const std::string& name() const noexcept { return name_; }
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string name_;
  std::string reason_;
};

// Name used by assertion-handler reports (analytics store, reachability).
inline constexpr const char* kInternalInconsistency = "NSInternalInconsistencyException";

[[noreturn]] inline void raise(const char* name, const char* reason) { throw Exception(name, reason); }

}  // namespace peckish
