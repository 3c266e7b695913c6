#include "analytics/KXJSON.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace peckish {

namespace {

Ref<KXError> jsonError(long code, std::string description, Ref<KXError> inner = nullptr) {
  return KXError::errorWithDomain(KXJSONErrorDomain, code, std::move(description), std::move(inner));
}

// The byte as the C library's printf sees a plain char: bytes from 0x80 are negative and widen to
// 0xffffff80 and up.
std::string byteDescription(const char* format, char byte) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, static_cast<unsigned>(static_cast<int>(static_cast<signed char>(byte))));
  return buf;
}

bool isSpace(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Bytes that end a plain run inside a string: the quote, the backslash and 0x01 to 0x1F (the
// zero byte ends the text itself).
struct StopTable {
  bool stop[256] = {};
  StopTable() {
    stop[static_cast<unsigned char>('"')] = true;
    stop[static_cast<unsigned char>('\\')] = true;
    for (int b = 0x01; b <= 0x1F; ++b) stop[b] = true;
  }
};
const StopTable& stopTable() {
  static const StopTable table;
  return table;
}

// The first byte of [p, end) that does not begin a well-formed UTF-8 sequence (no overlong
// forms, no surrogates, nothing above U+10FFFF), or null when the run is valid.
const char* firstInvalidUtf8(const char* p, const char* end) {
  while (p < end) {
    auto b = static_cast<unsigned char>(*p);
    if (b < 0x80) {
      ++p;
      continue;
    }
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return p;
    }
    if (end - p < len) return p;
    auto b1 = static_cast<unsigned char>(p[1]);
    if (b1 < lo || b1 > hi) return p;
    for (int k = 2; k < len; ++k) {
      auto bk = static_cast<unsigned char>(p[k]);
      if (bk < 0x80 || bk > 0xBF) return p;
    }
    p += len;
  }
  return nullptr;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::optional<KXJSONValue> KXJSON::objectWithString(std::string_view text, Ref<KXError>* error) {
  return objectWithString(text, false, error);
}

std::optional<KXJSONValue> KXJSON::fragmentWithString(std::string_view text, Ref<KXError>* error) {
  return objectWithString(text, true, error);
}

std::optional<KXJSONValue> KXJSON::objectWithString(std::string_view text, bool allowScalar, Ref<KXError>* error) {
  depth_ = 0;
  c_ = text.data();
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  end_ = nul ? static_cast<const char*>(nul) : text.data() + text.size();

  KXJSONValue value;
  Ref<KXError> err;
  if (!scanValue(value, err)) {
    // the scanner's error stands
  } else if (!scanIsAtEnd()) {
    err = jsonError(10, "Garbage after JSON fragment");
  } else if (!allowScalar && !value.isContainer()) {
    err = jsonError(4, "Valid fragment, but not JSON");
  } else {
    c_ = end_ = nullptr;
    return value;
  }
  c_ = end_ = nullptr;
  if (error) *error = std::move(err);
  return std::nullopt;
}

void KXJSON::skipWhitespace() noexcept {
  while (c_ < end_ && isSpace(*c_)) ++c_;
}

bool KXJSON::scanIsAtEnd() noexcept {
  skipWhitespace();
  return atEnd();
}

bool KXJSON::scanValue(KXJSONValue& out, Ref<KXError>& error) {
  skipWhitespace();
  if (atEnd()) {
    error = jsonError(3, "Unrecognised leading character");
    return false;
  }
  char ch = *c_++;
  switch (ch) {
    case '{': return scanRestOfDictionary(out, error);
    case '[': return scanRestOfArray(out, error);
    case '"': {
      std::string s;
      if (!scanRestOfString(s, error)) return false;
      out = KXJSONValue::string(std::move(s));
      return true;
    }
    case 't': return scanRestOfTrue(out, error);
    case 'f': return scanRestOfFalse(out, error);
    case 'n': return scanRestOfNull(out, error);
    case '+':
      error = jsonError(2, "Leading + disallowed in number");
      return false;
    default:
      if (ch == '-' || isDigit(ch)) {
        --c_;
        return scanNumber(out, error);
      }
      error = jsonError(3, "Unrecognised leading character");
      return false;
  }
}

bool KXJSON::scanRestOfDictionary(KXJSONValue& out, Ref<KXError>& error) {
  if (maxDepth_ && ++depth_ > maxDepth_) {
    error = jsonError(7, "Nested too deep");
    return false;
  }
  out = KXJSONValue::dictionary();
  for (;;) {
    if (atEnd()) {
      error = jsonError(3, "End of input while parsing object");
      return false;
    }
    skipWhitespace();
    if (peek() == '}') {
      ++c_;
      if (maxDepth_) --depth_;
      return true;
    }
    std::string key;
    Ref<KXError> inner;
    if (peek() != '"') {
      error = jsonError(3, "Object key string expected");
      return false;
    }
    ++c_;
    if (!scanRestOfString(key, inner)) {
      error = jsonError(3, "Object key string expected", std::move(inner));
      return false;
    }
    skipWhitespace();
    if (peek() != ':') {
      error = jsonError(3, "Expected ':' separating key and value");
      return false;
    }
    ++c_;
    KXJSONValue value;
    if (!scanValue(value, inner)) {
      error = jsonError(3, "Object value expected for key: " + key, std::move(inner));
      return false;
    }
    out.set(std::move(key), std::move(value));
    skipWhitespace();
    if (peek() == ',') {
      ++c_;
      skipWhitespace();
      if (peek() == '}') {
        error = jsonError(9, "Trailing comma disallowed in object");
        return false;
      }
    }
  }
}

bool KXJSON::scanRestOfArray(KXJSONValue& out, Ref<KXError>& error) {
  if (maxDepth_ && ++depth_ > maxDepth_) {
    error = jsonError(7, "Nested too deep");
    return false;
  }
  out = KXJSONValue::array();
  for (;;) {
    if (atEnd()) {
      error = jsonError(3, "End of input while parsing array");
      return false;
    }
    skipWhitespace();
    if (peek() == ']') {
      ++c_;
      if (maxDepth_) --depth_;
      return true;
    }
    KXJSONValue value;
    Ref<KXError> inner;
    if (!scanValue(value, inner)) {
      error = jsonError(3, "Expected value while parsing array", std::move(inner));
      return false;
    }
    out.append(std::move(value));
    skipWhitespace();
    if (peek() == ',') {
      ++c_;
      skipWhitespace();
      if (peek() == ']') {
        error = jsonError(9, "Trailing comma disallowed in array");
        return false;
      }
    }
  }
}

namespace {
bool scanLiteralRest(const char*& c, const char* end, const char* rest) {
  std::size_t n = std::strlen(rest);
  if (static_cast<std::size_t>(end - c) < n || std::memcmp(c, rest, n) != 0) return false;
  c += n;
  return true;
}
}  // namespace

bool KXJSON::scanRestOfTrue(KXJSONValue& out, Ref<KXError>& error) {
  if (!scanLiteralRest(c_, end_, "rue")) {
    error = jsonError(3, "Expected 'true'");
    return false;
  }
  out = KXJSONValue::boolean(true);
  return true;
}

bool KXJSON::scanRestOfFalse(KXJSONValue& out, Ref<KXError>& error) {
  if (!scanLiteralRest(c_, end_, "alse")) {
    error = jsonError(3, "Expected 'false'");
    return false;
  }
  out = KXJSONValue::boolean(false);
  return true;
}

bool KXJSON::scanRestOfNull(KXJSONValue& out, Ref<KXError>& error) {
  if (!scanLiteralRest(c_, end_, "ull")) {
    error = jsonError(3, "Expected 'null'");
    return false;
  }
  out = KXJSONValue::null();
  return true;
}

bool KXJSON::scanRestOfString(std::string& out, Ref<KXError>& error) {
  const StopTable& table = stopTable();
  for (;;) {
    const char* start = c_;
    while (c_ < end_ && !table.stop[static_cast<unsigned char>(*c_)]) ++c_;
    if (c_ > start) {
      if (const char* bad = firstInvalidUtf8(start, c_)) {
        c_ = bad;
        error = jsonError(5, byteDescription("Unescaped control character '0x%x'", *bad));
        return false;
      }
      out.append(start, c_);
    }
    char ch = peek();
    if (ch == '"') {
      ++c_;
      return true;
    }
    if (ch != '\\') {
      error = jsonError(5, byteDescription("Unescaped control character '0x%x'", ch));
      return false;
    }
    ++c_;
    char esc = peek();
    if (atEnd()) {
      error = jsonError(8, byteDescription("Illegal escape sequence '0x%x'", esc));
      return false;
    }
    ++c_;
    switch (esc) {
      case '"':
      case '\\':
      case '/': out += esc; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        Ref<KXError> inner;
        if (!scanUnicodeChar(out, inner)) {
          error = jsonError(6, "Broken unicode character", std::move(inner));
          return false;
        }
        break;
      }
      default:
        error = jsonError(8, byteDescription("Illegal escape sequence '0x%x'", esc));
        return false;
    }
    if (atEnd()) {
      error = jsonError(3, "Unexpected EOF while parsing string");
      return false;
    }
  }
}

bool KXJSON::scanHexQuad(std::uint32_t& out, Ref<KXError>& error) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    char ch = peek();
    std::uint32_t d;
    if (ch >= '0' && ch <= '9') d = static_cast<std::uint32_t>(ch - '0');
    else if (ch >= 'a' && ch <= 'f') d = static_cast<std::uint32_t>(ch - 'a' + 10);
    else if (ch >= 'A' && ch <= 'F') d = static_cast<std::uint32_t>(ch - 'A' + 10);
    else {
      error = jsonError(6, "Missing hex digit in quad");
      return false;
    }
    v = v * 16 + d;
    ++c_;
  }
  out = v;
  return true;
}

bool KXJSON::scanUnicodeChar(std::string& out, Ref<KXError>& error) {
  std::uint32_t high = 0;
  Ref<KXError> inner;
  if (!scanHexQuad(high, inner)) {
    error = jsonError(6, "Missing hex quad");
    return false;
  }
  if (high < 0xD800 || high > 0xDFFF) {
    appendUtf8(out, high);
    return true;
  }
  if (high >= 0xDC00) {
    error = jsonError(6, "Invalid high character in surrogate pair");
    return false;
  }
  if (peek() != '\\' || c_ + 1 >= end_ || c_[1] != 'u') {
    error = jsonError(6, "Missing low character in surrogate pair");
    return false;
  }
  c_ += 2;
  std::uint32_t low = 0;
  if (!scanHexQuad(low, inner)) {
    error = jsonError(6, "Missing low character in surrogate pair", std::move(inner));
    return false;
  }
  if (low < 0xDC00 || low > 0xDFFF) {
    error = jsonError(6, "Invalid low surrogate char");
    return false;
  }
  appendUtf8(out, 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00));
  return true;
}

bool KXJSON::scanNumber(KXJSONValue& out, Ref<KXError>& error) {
  const char* start = c_;
  if (peek() == '-') ++c_;
  if (peek() == '0') {
    ++c_;
    if (isDigit(peek())) {
      error = jsonError(2, "Leading 0 disallowed in number");
      return false;
    }
  } else {
    if (!isDigit(peek())) {
      error = jsonError(2, "No digits after initial minus");
      return false;
    }
    while (isDigit(peek())) ++c_;
  }
  if (peek() == '.') {
    ++c_;
    if (!isDigit(peek())) {
      error = jsonError(2, "No digits after decimal point");
      return false;
    }
    while (isDigit(peek())) ++c_;
  }
  if (peek() == 'e' || peek() == 'E') {
    ++c_;
    if (peek() == '+' || peek() == '-') ++c_;
    if (!isDigit(peek())) {
      error = jsonError(2, "No digits after exponent");
      return false;
    }
    while (isDigit(peek())) ++c_;
  }
  auto number = KXDecimalNumber::fromString(std::string_view(start, static_cast<std::size_t>(c_ - start)));
  if (!number) {
    error = jsonError(2, "Failed creating decimal instance");
    return false;
  }
  out = KXJSONValue::number(std::move(*number));
  return true;
}

}  // namespace peckish
