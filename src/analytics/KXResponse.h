#pragma once
// The analytics server's decoded answer: its type ("ad" answers an ad request), its errors, its
// data array and whether it reported success.
#include <string>
#include <string_view>

#include "analytics/KXJSONValue.h"
#include "core/Object.h"

namespace peckish {

class KXResponse final : public Object {
 public:
  // Reads the JSON object text; missing keys, values of another kind and a text that does not
  // parse leave the fields empty.
  explicit KXResponse(std::string_view jsonString);

  // "success" is the literal true.
  bool success() const noexcept { return success_; }
  // The "errors" value as it came (a string in every answer the server sends).
  const KXJSONValue& errors() const noexcept { return errors_; }
  // The "type" value; empty when it is missing or not a string.
  const std::string& type() const noexcept { return type_; }
  // The "data" value; null when missing. For an ad, an array whose first element is a
  // dictionary with "title", "desc" and "link".
  const KXJSONValue& data() const noexcept { return data_; }

 private:
  bool success_ = false;
  KXJSONValue errors_;
  std::string type_;
  KXJSONValue data_;
};

}  // namespace peckish
