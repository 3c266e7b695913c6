#pragma once
// A small JSON reader and string writer for the development server: enough to take the analytics
// envelope apart (keeping the source text of every value) and to write the debug dumps.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace peckish::devserver {

struct JsonMember;

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's decoded value, or a number's literal
  std::vector<JsonValue> items;
  std::vector<JsonMember> members;
  size_t begin = 0, end = 0;  // the value's span in the parsed text

  const JsonValue* get(std::string_view key) const;  // first member of that name, or null
  std::string stringOr(std::string_view key, std::string fallback = {}) const;
};

// One name/value pair of an object (its own type: a pair of the still incomplete JsonValue inside
// JsonValue does not build with every standard library).
struct JsonMember {
  std::string first;
  JsonValue second;
};

// Strict RFC 8259 parse of a whole text (surrounding white space allowed). Nesting is limited to 64.
std::optional<JsonValue> parseJson(std::string_view text, std::string* error = nullptr);

// The text as a quoted JSON string; bytes that are not valid UTF-8 become U+FFFD.
std::string jsonQuote(std::string_view text);

}  // namespace peckish::devserver
