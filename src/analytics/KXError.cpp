#include "analytics/KXError.h"

#include <utility>

namespace peckish {

KXError::KXError(std::string domain, long code, std::string description, Ref<KXError> underlying)
    : domain_(std::move(domain)), code_(code), description_(std::move(description)),
      underlying_(std::move(underlying)) {}

Ref<KXError> KXError::errorWithDomain(std::string domain, long code, std::string description,
                                      Ref<KXError> underlying) {
  return Ref<KXError>(new KXError(std::move(domain), code, std::move(description), std::move(underlying)));
}

std::string KXError::debugDescription() const {
  std::string out = domain_ + " " + std::to_string(code_);
  if (!description_.empty()) out += ": " + description_;
  if (underlying_) out += " (" + underlying_->debugDescription() + ")";
  return out;
}

}  // namespace peckish
