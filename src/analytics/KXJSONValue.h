#pragma once
// Values read from JSON text: null, booleans, exact decimal numbers, strings, arrays and
// dictionaries. Numbers keep the text they were written with; the value behind it is held as an
// arbitrary-precision decimal (significant digits and a power of ten), so nothing is rounded
// through binary floating point unless a caller asks for a double.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace peckish {

class KXDecimalNumber {
 public:
  // Reads a JSON number text (optional "-", digits, optional fraction and exponent). Gives
  // nothing when the text is not such a number or its exponent is beyond any sensible range.
  static std::optional<KXDecimalNumber> fromString(std::string_view text);

  // The text the number was written with, unchanged.
  const std::string& stringValue() const noexcept { return text_; }

  // value = (negative ? -1 : 1) * digits * 10^exponent; digits has no leading or trailing zeros
  // and is empty for zero.
  bool isNegative() const noexcept { return negative_; }
  const std::string& significantDigits() const noexcept { return digits_; }
  std::int64_t exponent() const noexcept { return exponent_; }
  bool isZero() const noexcept { return digits_.empty(); }
  bool isInteger() const noexcept { return exponent_ >= 0; }

  // Exact integer value when the number is an integer that fits.
  std::optional<std::int64_t> int64Value() const;
  // The value in plain decimal notation ("-500", "0.0025"); nothing when that would be longer than
  // 4096 characters.
  std::optional<std::string> decimalString() const;
  // Nearest double (infinity or zero beyond the double range).
  double doubleValue() const;

  // Numeric equality: 1.50 == 15e-1; -0 == 0.
  bool operator==(const KXDecimalNumber& o) const noexcept {
    return digits_ == o.digits_ && (digits_.empty() || (negative_ == o.negative_ && exponent_ == o.exponent_));
  }

 private:
  KXDecimalNumber() = default;
  std::string text_;
  std::string digits_;
  std::int64_t exponent_ = 0;
  bool negative_ = false;
};

class KXJSONValue {
 public:
  enum class Type { Null, Boolean, Number, String, Array, Dictionary };

  KXJSONValue() = default;  // null
  static KXJSONValue null() { return KXJSONValue(); }
  static KXJSONValue boolean(bool b);
  static KXJSONValue number(KXDecimalNumber n);
  static KXJSONValue string(std::string s);
  static KXJSONValue array();
  static KXJSONValue dictionary();

  Type type() const noexcept { return type_; }
  bool isNull() const noexcept { return type_ == Type::Null; }
  bool isBoolean() const noexcept { return type_ == Type::Boolean; }
  bool isNumber() const noexcept { return type_ == Type::Number; }
  bool isString() const noexcept { return type_ == Type::String; }
  bool isArray() const noexcept { return type_ == Type::Array; }
  bool isDictionary() const noexcept { return type_ == Type::Dictionary; }
  bool isContainer() const noexcept { return isArray() || isDictionary(); }

  // Typed reads; a value of another type reads as false, no number, the empty string.
  bool boolValue() const noexcept { return type_ == Type::Boolean && bool_; }
  const KXDecimalNumber* numberValue() const noexcept { return number_.get(); }
  const std::string& stringValue() const noexcept;

  // Arrays: the elements. Dictionaries: the member values, in the order their keys first came.
  std::size_t size() const noexcept { return items_.size(); }
  const std::vector<KXJSONValue>& elements() const noexcept { return items_; }
  const KXJSONValue& operator[](std::size_t i) const { return items_.at(i); }
  void append(KXJSONValue v);  // arrays only

  // Dictionaries: keys parallel to elements(); a later set of the same key replaces the value.
  const std::vector<std::string>& keys() const noexcept { return keys_; }
  const KXJSONValue* find(std::string_view key) const;
  void set(std::string key, KXJSONValue v);  // dictionaries only

  // Deep equality; dictionaries compare as unordered maps, numbers numerically.
  bool operator==(const KXJSONValue& o) const;

 private:
  Type type_ = Type::Null;
  bool bool_ = false;
  std::shared_ptr<const KXDecimalNumber> number_;
  std::string string_;
  std::vector<KXJSONValue> items_;
  std::vector<std::string> keys_;
  // Key lookup table, built once a dictionary grows past a few members; shared by copies until
  // one of them is changed.
  std::shared_ptr<std::unordered_map<std::string, std::size_t>> index_;
};

// The text with the characters JSON does not allow inside a string literal escaped (quote,
// backslash, control bytes); every other byte is kept as it is, so plain text stays identical.
std::string KXJSONEscapedString(std::string_view text);

}  // namespace peckish
