#pragma once
// The analytics client's error object: a domain, an integer code, a description (the localized
// description of the user info) and optionally the inner error it wraps (the underlying error).
// Errors are immutable and reference counted, so they can be handed across threads.
#include <string>

#include "core/Object.h"

namespace peckish {

class KXError final : public Object {
 public:
  static Ref<KXError> errorWithDomain(std::string domain, long code, std::string description = {},
                                      Ref<KXError> underlying = nullptr);

  const std::string& domain() const noexcept { return domain_; }
  long code() const noexcept { return code_; }
  // Empty when the error carries no user info.
  const std::string& localizedDescription() const noexcept { return description_; }
  // The wrapped inner error, or null.
  KXError* underlyingError() const noexcept { return underlying_.get(); }

  // "domain code: description" with the chain of underlying errors; for logs and test output.
  std::string debugDescription() const;

 private:
  KXError(std::string domain, long code, std::string description, Ref<KXError> underlying);

  std::string domain_;
  long code_;
  std::string description_;
  Ref<KXError> underlying_;
};

}  // namespace peckish
