// Feeds arbitrary bytes to the JSON reader. Besides memory and undefined-behaviour errors it
// checks that a failure always carries an error of the reader's domain, that every string read
// survives escaping and reading again, and that the number accessors cope with any number text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analytics/KXJSON.h"

using namespace peckish;

namespace {
void check(bool ok) {
  if (!ok) std::abort();
}

void walk(const KXJSONValue& v, int depth) {
  if (depth > 600) std::abort();
  switch (v.type()) {
    case KXJSONValue::Type::Number: {
      const KXDecimalNumber* n = v.numberValue();
      check(n != nullptr);
      (void)n->int64Value();
      (void)n->decimalString();
      (void)n->doubleValue();
      auto again = KXDecimalNumber::fromString(n->stringValue());
      check(again && *again == *n);
      break;
    }
    case KXJSONValue::Type::String: {
      KXJSON parser;
      auto back = parser.fragmentWithString("\"" + KXJSONEscapedString(v.stringValue()) + "\"");
      check(back && back->stringValue() == v.stringValue());
      break;
    }
    case KXJSONValue::Type::Dictionary:
      check(v.keys().size() == v.size());
      for (std::size_t i = 0; i < v.size(); ++i) {
        check(v.find(v.keys()[i]) == &v[i]);
        walk(v[i], depth + 1);
      }
      break;
    case KXJSONValue::Type::Array:
      for (const auto& e : v.elements()) walk(e, depth + 1);
      break;
    default:
      break;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  KXJSON parser;
  for (bool allowScalar : {false, true}) {
    Ref<KXError> error;
    auto value = parser.objectWithString(text, allowScalar, &error);
    if (value) {
      check(!error);
      check(allowScalar || value->isContainer());
      walk(*value, 0);
    } else {
      check(error && error->domain() == KXJSONErrorDomain && error->code() >= 2 && error->code() <= 10);
      check(!error->localizedDescription().empty());
    }
  }
  return 0;
}
