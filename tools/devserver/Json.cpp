#include "devserver/Json.h"

#include <cstdint>
#include <cstdio>

namespace peckish::devserver {
namespace {

constexpr int kMaxDepth = 64;

void appendUtf8(std::string& out, uint32_t cp) {
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

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::optional<JsonValue> parseDocument(std::string* error) {
    JsonValue v;
    skipSpace();
    bool ok = parseValue(v, 0);
    if (ok) {
      skipSpace();
      if (pos_ != s_.size()) ok = fail("trailing text");
    }
    if (!ok) {
      if (error) *error = error_ + " at offset " + std::to_string(pos_);
      return std::nullopt;
    }
    return v;
  }

 private:
  bool fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  void skipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return fail("unknown literal");
    pos_ += word.size();
    return true;
  }

  bool parseValue(JsonValue& v, int depth) {
    if (depth > kMaxDepth) return fail("nesting too deep");
    if (pos_ >= s_.size()) return fail("unexpected end");
    v.begin = pos_;
    bool ok;
    switch (s_[pos_]) {
      case '{': ok = parseObject(v, depth); break;
      case '[': ok = parseArray(v, depth); break;
      case '"': v.kind = JsonValue::Kind::String; ok = parseString(v.text); break;
      case 't': v.kind = JsonValue::Kind::Bool; v.boolean = true; ok = literal("true"); break;
      case 'f': v.kind = JsonValue::Kind::Bool; ok = literal("false"); break;
      case 'n': v.kind = JsonValue::Kind::Null; ok = literal("null"); break;
      default: ok = parseNumber(v); break;
    }
    v.end = pos_;
    return ok;
  }

  bool parseObject(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::Object;
    ++pos_;
    skipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      skipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') return fail("expected a member name");
      std::string name;
      if (!parseString(name)) return false;
      skipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return fail("expected ':'");
      ++pos_;
      skipSpace();
      JsonValue member;
      if (!parseValue(member, depth + 1)) return false;
      v.members.push_back(JsonMember{std::move(name), std::move(member)});
      skipSpace();
      if (pos_ >= s_.size()) return fail("unexpected end");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return fail("expected ',' or '}'");
    }
  }

  bool parseArray(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::Array;
    ++pos_;
    skipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      skipSpace();
      JsonValue item;
      if (!parseValue(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
      skipSpace();
      if (pos_ >= s_.size()) return fail("unexpected end");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return fail("expected ',' or ']'");
    }
  }

  bool hex4(uint32_t& out) {
    if (pos_ + 4 > s_.size()) return fail("short \\u escape");
    out = 0;
    for (int i = 0; i < 4; ++i) {
      char c = s_[pos_++];
      out <<= 4;
      if (c >= '0' && c <= '9') out |= c - '0';
      else if (c >= 'a' && c <= 'f') out |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') out |= c - 'A' + 10;
      else return fail("bad \\u escape");
    }
    return true;
  }

  bool parseString(std::string& out) {
    ++pos_;  // opening quote
    for (;;) {
      if (pos_ >= s_.size()) return fail("unterminated string");
      auto c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return fail("control character in string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (pos_ >= s_.size()) return fail("unterminated string");
      char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t cp;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t low;
            if (s_.substr(pos_, 2) != "\\u") return fail("lone surrogate");
            pos_ += 2;
            if (!hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return fail("lone surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return fail("lone surrogate");
          }
          appendUtf8(out, cp);
          break;
        }
        default: return fail("bad escape");
      }
    }
  }

  bool parseNumber(JsonValue& v) {
    v.kind = JsonValue::Kind::Number;
    size_t start = pos_;
    auto digit = [&] { return pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9'; };
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (!digit()) return fail("unexpected character");
    if (s_[pos_] == '0') {
      ++pos_;
    } else {
      while (digit()) ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!digit()) return fail("bad number");
      while (digit()) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digit()) return fail("bad number");
      while (digit()) ++pos_;
    }
    v.text = std::string(s_.substr(start, pos_ - start));
    return true;
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::get(std::string_view key) const {
  for (const auto& [name, value] : members)
    if (name == key) return &value;
  return nullptr;
}

std::string JsonValue::stringOr(std::string_view key, std::string fallback) const {
  const JsonValue* v = get(key);
  return v && v->kind == Kind::String ? v->text : fallback;
}

std::optional<JsonValue> parseJson(std::string_view text, std::string* error) {
  return Parser(text).parseDocument(error);
}

std::string jsonQuote(std::string_view text) {
  std::string out = "\"";
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    // Copy one well-formed UTF-8 sequence, or write U+FFFD for a stray byte.
    size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    bool ok = len != 0 && i + len <= text.size();
    uint32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; ok && k < len; ++k) {
      auto cc = static_cast<unsigned char>(text[i + k]);
      ok = (cc & 0xC0) == 0x80;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok) {
      ok = !((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
             (cp >= 0xD800 && cp <= 0xDFFF));
    }
    if (ok) {
      out.append(text.substr(i, len));
      i += len;
    } else {
      out += "\\ufffd";
      ++i;
    }
  }
  out += '"';
  return out;
}

}  // namespace peckish::devserver
