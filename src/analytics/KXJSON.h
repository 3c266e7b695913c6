#pragma once
// The analytics client's JSON reader: a recursive-descent scanner over UTF-8 text with a nesting
// limit and precise errors in the domain KXJSONErrorDomain. Commas between array elements and
// between object members may be left out. A parser is used by one thread at a time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/KXError.h"
#include "analytics/KXJSONValue.h"
#include "core/Object.h"

namespace peckish {

inline constexpr const char* KXJSONErrorDomain = "org.quorvane.JSON.ErrorDomain";

class KXJSON final : public Object {
 public:
  KXJSON() = default;

  // A dictionary or an array; a bare scalar fails with code 4. On failure gives nothing and, when
  // error is given, the error.
  std::optional<KXJSONValue> objectWithString(std::string_view text, Ref<KXError>* error = nullptr);
  // Any JSON value, bare scalars included.
  std::optional<KXJSONValue> fragmentWithString(std::string_view text, Ref<KXError>* error = nullptr);
  std::optional<KXJSONValue> objectWithString(std::string_view text, bool allowScalar, Ref<KXError>* error);

  // Kept for a writer; reading ignores it.
  bool humanReadable() const noexcept { return humanReadable_; }
  void setHumanReadable(bool b) noexcept { humanReadable_ = b; }
  // Deepest nesting of arrays and objects; 0 means no limit.
  std::uint32_t maxDepth() const noexcept { return maxDepth_; }
  void setMaxDepth(std::uint32_t d) noexcept { maxDepth_ = d; }

 private:
  // The text ends at its end or at its first zero byte.
  char peek() const noexcept { return c_ < end_ ? *c_ : '\0'; }
  bool atEnd() const noexcept { return c_ >= end_; }
  void skipWhitespace() noexcept;

  bool scanValue(KXJSONValue& out, Ref<KXError>& error);
  bool scanRestOfDictionary(KXJSONValue& out, Ref<KXError>& error);
  bool scanRestOfArray(KXJSONValue& out, Ref<KXError>& error);
  bool scanRestOfString(std::string& out, Ref<KXError>& error);
  bool scanRestOfNull(KXJSONValue& out, Ref<KXError>& error);
  bool scanRestOfFalse(KXJSONValue& out, Ref<KXError>& error);
  bool scanRestOfTrue(KXJSONValue& out, Ref<KXError>& error);
  bool scanNumber(KXJSONValue& out, Ref<KXError>& error);
  bool scanUnicodeChar(std::string& out, Ref<KXError>& error);
  bool scanHexQuad(std::uint32_t& out, Ref<KXError>& error);
  bool scanIsAtEnd() noexcept;

  bool humanReadable_ = false;
  std::uint32_t maxDepth_ = 512;
  std::uint32_t depth_ = 0;
  const char* c_ = nullptr;
  const char* end_ = nullptr;
};

}  // namespace peckish
