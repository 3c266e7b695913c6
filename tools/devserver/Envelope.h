#pragma once
// Taking a decoded analytics upload apart into its records.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace peckish::devserver {

struct EnvelopeRecord {
  std::string json;  // the record's own text, exactly as it arrived
  std::string session, type, action, time;
};

struct Envelope {
  std::vector<EnvelopeRecord> records;
  bool wellFormed = true;  // false when the records had to be cut out of text that is not valid JSON
};

// The client inserts record values without escaping, so an action name with a double quote makes
// the envelope invalid JSON. A valid envelope is read strictly; otherwise the "data" array is cut
// into its top-level objects by brace depth and the string fields are picked out of each one.
std::optional<Envelope> parseEnvelope(std::string_view text, std::string* error = nullptr);

}  // namespace peckish::devserver
