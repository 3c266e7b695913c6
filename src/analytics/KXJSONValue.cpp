#include "analytics/KXJSONValue.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace peckish {

namespace {
constexpr std::int64_t kMaxExponentMagnitude = 1000000000000000000LL;  // 1e18
constexpr std::size_t kMaxDecimalStringLength = 4096;
constexpr std::size_t kIndexThreshold = 16;

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }
}  // namespace

std::optional<KXDecimalNumber> KXDecimalNumber::fromString(std::string_view text) {
  KXDecimalNumber n;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    n.negative_ = true;
    ++i;
  }
  std::string all;  // integer and fraction digits
  std::size_t intStart = i;
  while (i < text.size() && isDigit(text[i])) all += text[i++];
  if (i == intStart) return std::nullopt;
  std::int64_t fractionDigits = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    std::size_t fracStart = i;
    while (i < text.size() && isDigit(text[i])) all += text[i++];
    if (i == fracStart) return std::nullopt;
    fractionDigits = static_cast<std::int64_t>(i - fracStart);
  }
  std::int64_t exp = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
    std::size_t expStart = i;
    while (i < text.size() && isDigit(text[i])) {
      int d = text[i++] - '0';
      if (exp > (kMaxExponentMagnitude - d) / 10) return std::nullopt;
      exp = exp * 10 + d;
    }
    if (i == expStart) return std::nullopt;
    if (expNegative) exp = -exp;
  }
  if (i != text.size()) return std::nullopt;
  if (static_cast<std::int64_t>(all.size()) > kMaxExponentMagnitude) return std::nullopt;

  std::size_t first = all.find_first_not_of('0');
  if (first == std::string::npos) {
    n.digits_.clear();
    n.exponent_ = 0;
  } else {
    std::size_t last = all.find_last_not_of('0');
    n.digits_ = all.substr(first, last - first + 1);
    n.exponent_ = exp - fractionDigits + static_cast<std::int64_t>(all.size() - 1 - last);
  }
  n.text_ = std::string(text);
  return n;
}

std::optional<std::int64_t> KXDecimalNumber::int64Value() const {
  if (digits_.empty()) return 0;
  if (exponent_ < 0 || static_cast<std::int64_t>(digits_.size()) + exponent_ > 19) return std::nullopt;
  std::string s;
  if (negative_) s += '-';
  s += digits_;
  s.append(static_cast<std::size_t>(exponent_), '0');
  std::int64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<std::string> KXDecimalNumber::decimalString() const {
  if (digits_.empty()) return std::string("0");
  const auto n = static_cast<std::int64_t>(digits_.size());
  const std::int64_t limit = static_cast<std::int64_t>(kMaxDecimalStringLength);
  if (exponent_ > limit || exponent_ < -limit || n + (exponent_ > 0 ? exponent_ : -exponent_) + 3 > limit)
    return std::nullopt;
  std::string s = negative_ ? "-" : "";
  if (exponent_ >= 0) {
    s += digits_;
    s.append(static_cast<std::size_t>(exponent_), '0');
  } else if (-exponent_ < n) {
    s += digits_.substr(0, static_cast<std::size_t>(n + exponent_));
    s += '.';
    s += digits_.substr(static_cast<std::size_t>(n + exponent_));
  } else {
    s += "0.";
    s.append(static_cast<std::size_t>(-exponent_ - n), '0');
    s += digits_;
  }
  return s;
}

double KXDecimalNumber::doubleValue() const {
  if (digits_.empty()) return negative_ ? -0.0 : 0.0;
  // Rebuild a compact scientific text so huge written forms still convert.
  std::string s = negative_ ? "-" : "";
  s += digits_.substr(0, 40);
  std::int64_t e = exponent_ + static_cast<std::int64_t>(digits_.size() > 40 ? digits_.size() - 40 : 0);
  if (e > 100000) return negative_ ? -HUGE_VAL : HUGE_VAL;
  if (e < -100000) return negative_ ? -0.0 : 0.0;
  s += 'e';
  s += std::to_string(e);
  double v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  (void)p;
  if (ec == std::errc::result_out_of_range) {
    bool tiny = e < 0;
    if (tiny) return negative_ ? -0.0 : 0.0;
    return negative_ ? -HUGE_VAL : HUGE_VAL;
  }
  return v;
}

KXJSONValue KXJSONValue::boolean(bool b) {
  KXJSONValue v;
  v.type_ = Type::Boolean;
  v.bool_ = b;
  return v;
}

KXJSONValue KXJSONValue::number(KXDecimalNumber n) {
  KXJSONValue v;
  v.type_ = Type::Number;
  v.number_ = std::make_shared<const KXDecimalNumber>(std::move(n));
  return v;
}

KXJSONValue KXJSONValue::string(std::string s) {
  KXJSONValue v;
  v.type_ = Type::String;
  v.string_ = std::move(s);
  return v;
}

KXJSONValue KXJSONValue::array() {
  KXJSONValue v;
  v.type_ = Type::Array;
  v.items_.reserve(8);
  return v;
}

KXJSONValue KXJSONValue::dictionary() {
  KXJSONValue v;
  v.type_ = Type::Dictionary;
  v.items_.reserve(7);
  v.keys_.reserve(7);
  return v;
}

const std::string& KXJSONValue::stringValue() const noexcept {
  static const std::string empty;
  return type_ == Type::String ? string_ : empty;
}

void KXJSONValue::append(KXJSONValue v) {
  if (type_ != Type::Array) throw std::logic_error("KXJSONValue::append on a non-array");
  items_.push_back(std::move(v));
}

const KXJSONValue* KXJSONValue::find(std::string_view key) const {
  if (type_ != Type::Dictionary) return nullptr;
  if (index_ && index_->size() == keys_.size()) {
    auto it = index_->find(std::string(key));
    return it == index_->end() ? nullptr : &items_[it->second];
  }
  for (std::size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key) return &items_[i];
  return nullptr;
}

void KXJSONValue::set(std::string key, KXJSONValue v) {
  if (type_ != Type::Dictionary) throw std::logic_error("KXJSONValue::set on a non-dictionary");
  if (keys_.size() >= kIndexThreshold) {
    if (!index_ || index_.use_count() > 1 || index_->size() != keys_.size()) {
      auto fresh = std::make_shared<std::unordered_map<std::string, std::size_t>>();
      fresh->reserve(keys_.size() * 2);
      for (std::size_t i = 0; i < keys_.size(); ++i) (*fresh)[keys_[i]] = i;
      index_ = std::move(fresh);
    }
    auto [it, inserted] = index_->try_emplace(key, keys_.size());
    if (!inserted) {
      items_[it->second] = std::move(v);
      return;
    }
    keys_.push_back(std::move(key));
    items_.push_back(std::move(v));
    return;
  }
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) {
      items_[i] = std::move(v);
      return;
    }
  }
  keys_.push_back(std::move(key));
  items_.push_back(std::move(v));
}

bool KXJSONValue::operator==(const KXJSONValue& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case Type::Null: return true;
    case Type::Boolean: return bool_ == o.bool_;
    case Type::Number: return *number_ == *o.number_;
    case Type::String: return string_ == o.string_;
    case Type::Array: return items_ == o.items_;
    case Type::Dictionary:
      if (keys_.size() != o.keys_.size()) return false;
      for (std::size_t i = 0; i < keys_.size(); ++i) {
        const KXJSONValue* other = o.find(keys_[i]);
        if (!other || !(*other == items_[i])) return false;
      }
      return true;
  }
  return false;
}

std::string KXJSONEscapedString(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    auto u = static_cast<unsigned char>(ch);
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          static const char hex[] = "0123456789abcdef";
          out += "\\u00";
          out += hex[u >> 4];
          out += hex[u & 0xF];
        } else {
          out += ch;
        }
    }
  }
  return out;
}

}  // namespace peckish
