#include "devserver/Envelope.h"

#include "devserver/Json.h"

namespace peckish::devserver {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The value of "key" : "value" in a record that is not valid JSON: the text after the opening quote
// up to the first quote that is followed by "}" or by "," and the next member's name (white space
// allowed between), so quotes and commas inside the value are kept.
std::string pickField(std::string_view record, std::string_view key) {
  std::string needle = "\"" + std::string(key) + "\"";
  auto skip = [&](size_t p) {
    while (p < record.size() && isSpace(record[p])) ++p;
    return p;
  };
  for (size_t at = record.find(needle); at != std::string_view::npos; at = record.find(needle, at + 1)) {
    size_t p = skip(at + needle.size());
    if (p >= record.size() || record[p] != ':') continue;  // the text was a value, not a name
    p = skip(p + 1);
    if (p >= record.size() || record[p] != '"') return {};
    size_t start = p + 1;
    for (size_t q = start; q < record.size(); ++q) {
      if (record[q] != '"') continue;
      size_t r = skip(q + 1);
      if (r < record.size() && record[r] == '}') return std::string(record.substr(start, q - start));
      if (r < record.size() && record[r] == ',') {
        r = skip(r + 1);
        if (r < record.size() && record[r] == '"') return std::string(record.substr(start, q - start));
      }
    }
    return {};
  }
  return {};
}

std::string fieldText(const JsonValue& record, std::string_view key) {
  const JsonValue* v = record.get(key);
  if (!v) return {};
  if (v->kind == JsonValue::Kind::String || v->kind == JsonValue::Kind::Number) return v->text;
  if (v->kind == JsonValue::Kind::Bool) return v->boolean ? "true" : "false";
  return {};
}

EnvelopeRecord recordFrom(std::string_view raw) {
  EnvelopeRecord r;
  r.json = std::string(raw);
  if (auto parsed = parseJson(raw); parsed && parsed->kind == JsonValue::Kind::Object) {
    r.session = fieldText(*parsed, "session");
    r.type = fieldText(*parsed, "type");
    r.action = fieldText(*parsed, "action");
    r.time = fieldText(*parsed, "time");
  } else {
    r.session = pickField(raw, "session");
    r.type = pickField(raw, "type");
    r.action = pickField(raw, "action");
    r.time = pickField(raw, "time");
  }
  return r;
}

std::optional<Envelope> parseLeniently(std::string_view text, std::string* error) {
  auto fail = [&](const char* why) -> std::optional<Envelope> {
    if (error) *error = why;
    return std::nullopt;
  };
  size_t p = 0;
  while (p < text.size() && isSpace(text[p])) ++p;
  if (p >= text.size() || text[p] != '{') return fail("the envelope is not an object");
  size_t key = text.find("\"data\"");
  if (key == std::string_view::npos) return fail("the envelope has no \"data\"");
  p = key + 6;
  while (p < text.size() && isSpace(text[p])) ++p;
  if (p >= text.size() || text[p] != ':') return fail("the envelope's \"data\" has no value");
  ++p;
  while (p < text.size() && isSpace(text[p])) ++p;
  if (p >= text.size() || text[p] != '[') return fail("the envelope's \"data\" is not an array");
  ++p;

  Envelope env;
  env.wellFormed = false;
  for (;;) {
    while (p < text.size() && (isSpace(text[p]) || text[p] == ',')) ++p;
    if (p >= text.size()) return fail("the envelope's \"data\" array is not closed");
    if (text[p] == ']') break;
    if (text[p] != '{') return fail("a record in \"data\" is not an object");
    size_t start = p;
    int depth = 0;
    for (; p < text.size(); ++p) {
      if (text[p] == '{') ++depth;
      else if (text[p] == '}' && --depth == 0) break;
    }
    if (p >= text.size()) return fail("a record in \"data\" is not closed");
    ++p;
    env.records.push_back(recordFrom(text.substr(start, p - start)));
  }
  return env;
}

}  // namespace

std::optional<Envelope> parseEnvelope(std::string_view text, std::string* error) {
  auto doc = parseJson(text);
  if (!doc) return parseLeniently(text, error);
  auto fail = [&](const char* why) -> std::optional<Envelope> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (doc->kind != JsonValue::Kind::Object) return fail("the envelope is not an object");
  const JsonValue* data = doc->get("data");
  if (!data) return fail("the envelope has no \"data\"");
  if (data->kind != JsonValue::Kind::Array) return fail("the envelope's \"data\" is not an array");
  Envelope env;
  for (const JsonValue& item : data->items) {
    if (item.kind != JsonValue::Kind::Object) return fail("a record in \"data\" is not an object");
    env.records.push_back(recordFrom(text.substr(item.begin, item.end - item.begin)));
  }
  return env;
}

}  // namespace peckish::devserver
