#include <gtest/gtest.h>

#include <string>

#include "analytics/KXJSON.h"

using namespace peckish;

namespace {

struct Failure {
  long code = -1;
  std::string description;
  Ref<KXError> error;
};

Failure parseFailure(std::string_view text, bool allowScalar = false) {
  KXJSON parser;
  Ref<KXError> error;
  auto value = parser.objectWithString(text, allowScalar, &error);
  EXPECT_FALSE(value.has_value()) << "parsed: " << text;
  EXPECT_TRUE(error) << text;
  Failure f;
  if (error) {
    EXPECT_EQ(error->domain(), "org.quorvane.JSON.ErrorDomain");
    f.code = error->code();
    f.description = error->localizedDescription();
    f.error = error;
  }
  return f;
}

KXJSONValue parse(std::string_view text, bool allowScalar = false) {
  KXJSON parser;
  Ref<KXError> error;
  auto value = parser.objectWithString(text, allowScalar, &error);
  EXPECT_TRUE(value.has_value()) << text << ": " << (error ? error->debugDescription() : "");
  return value.value_or(KXJSONValue());
}

std::string nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(KXJSON, ContainersCommasAndDuplicateKeys) {
  KXJSONValue a = parse("[1 2]");
  ASSERT_TRUE(a.isArray());
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].numberValue()->int64Value(), 1);
  EXPECT_EQ(a[1].numberValue()->int64Value(), 2);

  EXPECT_TRUE(parse("{}").isDictionary());
  EXPECT_EQ(parse("{}").size(), 0u);
  EXPECT_TRUE(parse("[]").isArray());
  EXPECT_EQ(parse(" [ ] ").size(), 0u);

  KXJSONValue d = parse("{\"a\" : 1 \"b\":[true,false,null] \"a\":\"x\"}");
  ASSERT_TRUE(d.isDictionary());
  EXPECT_EQ(d.size(), 2u);
  EXPECT_EQ(d.find("a")->stringValue(), "x");  // a later duplicate replaces
  const KXJSONValue* b = d.find("b");
  ASSERT_TRUE(b && b->isArray());
  EXPECT_TRUE((*b)[0].boolValue());
  EXPECT_TRUE((*b)[1].isBoolean());
  EXPECT_FALSE((*b)[1].boolValue());
  EXPECT_TRUE((*b)[2].isNull());
  EXPECT_EQ(d.find("missing"), nullptr);

  Failure f = parseFailure("[1,]");
  EXPECT_EQ(f.code, 9);
  EXPECT_EQ(f.description, "Trailing comma disallowed in array");
  f = parseFailure("{\"a\":1 , }");
  EXPECT_EQ(f.code, 9);
  EXPECT_EQ(f.description, "Trailing comma disallowed in object");
}

TEST(KXJSON, ManyKeysStayLookupable) {
  std::string text = "{";
  for (int i = 0; i < 100; ++i) text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  text += "\"k5\":\"again\"}";
  KXJSONValue d = parse(text);
  EXPECT_EQ(d.size(), 100u);
  EXPECT_EQ(d.find("k5")->stringValue(), "again");
  EXPECT_EQ(d.find("k99")->numberValue()->int64Value(), 99);
  KXJSONValue copy = d;
  copy.set("k0", KXJSONValue::string("changed"));
  EXPECT_EQ(d.find("k0")->numberValue()->int64Value(), 0);  // the copy's change stays its own
  EXPECT_EQ(copy.find("k0")->stringValue(), "changed");
  EXPECT_FALSE(copy == d);
}

TEST(KXJSON, NumberErrors) {
  struct Case {
    const char* text;
    const char* description;
  } cases[] = {
      {"[01]", "Leading 0 disallowed in number"}, {"[-01]", "Leading 0 disallowed in number"},
      {"[-]", "No digits after initial minus"},   {"[-x]", "No digits after initial minus"},
      {"[1.]", "No digits after decimal point"},  {"[1.e5]", "No digits after decimal point"},
      {"[1e]", "No digits after exponent"},       {"[1e+]", "No digits after exponent"},
      {"[+1]", "Leading + disallowed in number"},
      {"[1e99999999999999999999]", "Failed creating decimal instance"},
  };
  for (const Case& c : cases) {
    Failure f = parseFailure(c.text);
    // Inside an array the number's error is wrapped.
    EXPECT_EQ(f.code, 3) << c.text;
    EXPECT_EQ(f.description, "Expected value while parsing array") << c.text;
    ASSERT_TRUE(f.error && f.error->underlyingError()) << c.text;
    EXPECT_EQ(f.error->underlyingError()->code(), 2) << c.text;
    EXPECT_EQ(f.error->underlyingError()->localizedDescription(), c.description) << c.text;
  }
  // As bare fragments the number's own error comes out.
  Failure f = parseFailure("01", true);
  EXPECT_EQ(f.code, 2);
  EXPECT_EQ(f.description, "Leading 0 disallowed in number");
  EXPECT_EQ(parseFailure("-", true).description, "No digits after initial minus");
  EXPECT_EQ(parseFailure("1.", true).description, "No digits after decimal point");
  EXPECT_EQ(parseFailure("1e", true).description, "No digits after exponent");
  f = parseFailure("+1", true);
  EXPECT_EQ(f.code, 2);
  EXPECT_EQ(f.description, "Leading + disallowed in number");
}

TEST(KXJSON, NumbersAreExactDecimals) {
  KXJSONValue v = parse("-0.5e+3", true);
  const KXDecimalNumber* n = v.numberValue();
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->stringValue(), "-0.5e+3");
  EXPECT_EQ(n->int64Value(), -500);
  EXPECT_EQ(n->decimalString(), "-500");

  // Beyond double precision, the value stays exact.
  KXJSONValue long_ = parse("[12345678901234567890.12345678901234567890]");
  n = long_[0].numberValue();
  EXPECT_EQ(n->decimalString(), "12345678901234567890.1234567890123456789");
  EXPECT_FALSE(n->isInteger());
  EXPECT_FALSE(n->int64Value().has_value());

  KXJSONValue big = parse("[9223372036854775807, -9223372036854775808, 9223372036854775808]");
  EXPECT_EQ(big[0].numberValue()->int64Value(), INT64_MAX);
  EXPECT_EQ(big[1].numberValue()->int64Value(), INT64_MIN);
  EXPECT_FALSE(big[2].numberValue()->int64Value().has_value());

  KXJSONValue small = parse("[0.1, 1.50, 15e-1, 0, -0, 2.5E-3, 1e2]");
  EXPECT_EQ(small[0].numberValue()->decimalString(), "0.1");
  EXPECT_DOUBLE_EQ(small[0].numberValue()->doubleValue(), 0.1);
  EXPECT_TRUE(small[1] == small[2]);
  EXPECT_TRUE(small[3] == small[4]);
  EXPECT_EQ(small[5].numberValue()->decimalString(), "0.0025");
  EXPECT_EQ(small[6].numberValue()->int64Value(), 100);
  EXPECT_EQ(parse("[1e-400]")[0].numberValue()->doubleValue(), 0.0);
}

TEST(KXJSON, ScalarsGarbageAndLiterals) {
  Failure f = parseFailure("true");
  EXPECT_EQ(f.code, 4);
  EXPECT_EQ(f.description, "Valid fragment, but not JSON");
  KXJSON parser;
  auto t = parser.fragmentWithString("true");
  ASSERT_TRUE(t.has_value());
  EXPECT_TRUE(t->isBoolean() && t->boolValue());
  EXPECT_EQ(parser.fragmentWithString(" \"s\" ")->stringValue(), "s");

  f = parseFailure("[1] x");
  EXPECT_EQ(f.code, 10);
  EXPECT_EQ(f.description, "Garbage after JSON fragment");
  EXPECT_TRUE(parse("[1]   \n\t ").isArray());
  // The text ends at a zero byte.
  EXPECT_TRUE(parse(std::string_view("[1]\0garbage", 11)).isArray());

  EXPECT_EQ(parseFailure("[tru]").error->underlyingError()->localizedDescription(), "Expected 'true'");
  EXPECT_EQ(parseFailure("[fals]").error->underlyingError()->localizedDescription(), "Expected 'false'");
  EXPECT_EQ(parseFailure("[nul").error->underlyingError()->localizedDescription(), "Expected 'null'");
  f = parseFailure("x");
  EXPECT_EQ(f.code, 3);
  EXPECT_EQ(f.description, "Unrecognised leading character");
  EXPECT_EQ(parseFailure("").description, "Unrecognised leading character");
  EXPECT_EQ(parseFailure("   ").description, "Unrecognised leading character");
}

TEST(KXJSON, ObjectStructureErrorsWrapInnerErrors) {
  EXPECT_EQ(parseFailure("{").description, "End of input while parsing object");
  EXPECT_EQ(parseFailure("{\"a\":1").description, "End of input while parsing object");
  EXPECT_EQ(parseFailure("{1:2}").description, "Object key string expected");
  EXPECT_EQ(parseFailure("{\"a\" 1}").description, "Expected ':' separating key and value");

  Failure f = parseFailure("{\"a\x01\":1}");
  EXPECT_EQ(f.description, "Object key string expected");
  ASSERT_TRUE(f.error->underlyingError());
  EXPECT_EQ(f.error->underlyingError()->code(), 5);

  f = parseFailure("{\"count\": [1,]}");
  EXPECT_EQ(f.code, 3);
  EXPECT_EQ(f.description, "Object value expected for key: count");
  ASSERT_TRUE(f.error->underlyingError());
  EXPECT_EQ(f.error->underlyingError()->code(), 9);

  EXPECT_EQ(parseFailure("[").description, "End of input while parsing array");
  EXPECT_EQ(parseFailure("[1, ").description, "End of input while parsing array");
}

TEST(KXJSON, NestingLimit) {
  EXPECT_TRUE(parse(nested(512)).isArray());
  Failure f = parseFailure(nested(513));
  // The innermost failure is wrapped by every enclosing array; find it at the bottom.
  KXError* e = f.error.get();
  while (e && e->underlyingError()) e = e->underlyingError();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->code(), 7);
  EXPECT_EQ(e->localizedDescription(), "Nested too deep");

  std::string objects;
  for (int i = 0; i < 513; ++i) objects += "{\"k\":";
  objects += "1";
  for (int i = 0; i < 513; ++i) objects += "}";
  Failure deepObjects = parseFailure(objects);
  e = deepObjects.error.get();
  while (e && e->underlyingError()) e = e->underlyingError();
  EXPECT_EQ(e->code(), 7);

  KXJSON parser;
  parser.setMaxDepth(2);
  EXPECT_TRUE(parser.objectWithString("[[1],[2],{\"a\":[]}]") == std::nullopt);
  EXPECT_TRUE(parser.objectWithString("[[1],[2]]").has_value());  // depth is restored after each container
  parser.setMaxDepth(0);
  EXPECT_TRUE(parser.objectWithString(nested(2000)).has_value());
}

TEST(KXJSON, StringEscapesAndControlBytes) {
  KXJSONValue v = parse("[\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\\u00e9\\u0041\"]");
  EXPECT_EQ(v[0].stringValue(), "a\"b\\c/d\b\f\n\r\t\xc3\xa9" "A");
  EXPECT_EQ(parse("[\"h\xc3\xa9llo \xe2\x82\xac\"]")[0].stringValue(), "h\xc3\xa9llo \xe2\x82\xac");

  Failure f = parseFailure("[\"a\tb\"]");
  ASSERT_TRUE(f.error->underlyingError());
  EXPECT_EQ(f.error->underlyingError()->code(), 5);
  EXPECT_EQ(f.error->underlyingError()->localizedDescription(), "Unescaped control character '0x9'");

  f = parseFailure("\"\\q\"", true);
  EXPECT_EQ(f.code, 8);
  EXPECT_EQ(f.description, "Illegal escape sequence '0x71'");

  // End of text right after an escape, and in plain text.
  f = parseFailure("\"abc\\n", true);
  EXPECT_EQ(f.code, 3);
  EXPECT_EQ(f.description, "Unexpected EOF while parsing string");
  f = parseFailure("\"abc", true);
  EXPECT_EQ(f.code, 5);
  EXPECT_EQ(f.description, "Unescaped control character '0x0'");
  f = parseFailure("\"abc\\", true);
  EXPECT_EQ(f.code, 8);
  EXPECT_EQ(f.description, "Illegal escape sequence '0x0'");

  // Bytes that are not UTF-8, alone or after plain text.
  f = parseFailure("\"\xc3(\"", true);
  EXPECT_EQ(f.code, 5);
  EXPECT_EQ(f.description, "Unescaped control character '0xffffffc3'");
  EXPECT_EQ(parseFailure("\"ok \xff\"", true).code, 5);
  EXPECT_EQ(parseFailure("\"\xed\xa0\x80\"", true).code, 5);  // an encoded surrogate
  EXPECT_EQ(parseFailure("\"\xc0\xaf\"", true).code, 5);      // an overlong form
}

TEST(KXJSON, UnicodeEscapesAndSurrogatePairs) {
  EXPECT_EQ(parse("[\"\\uD83D\\uDE00\"]")[0].stringValue(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(parse("[\"\\udbff\\udfff\"]")[0].stringValue(), "\xf4\x8f\xbf\xbf");

  struct Case {
    const char* text;
    const char* description;
    const char* wrapped;  // the underlying error of the unicode step, if any
  } cases[] = {
      {"\"\\uDE00\"", "Invalid high character in surrogate pair", nullptr},
      {"\"\\uD83Dx\"", "Missing low character in surrogate pair", nullptr},
      {"\"\\uD83D\\n\"", "Missing low character in surrogate pair", nullptr},
      {"\"\\uD83D\\u12G4\"", "Missing low character in surrogate pair", "Missing hex digit in quad"},
      {"\"\\uD83D\\u0041\"", "Invalid low surrogate char", nullptr},
      {"\"\\u12\"", "Missing hex quad", nullptr},
  };
  for (const Case& c : cases) {
    Failure f = parseFailure(c.text, true);
    EXPECT_EQ(f.code, 6) << c.text;
    EXPECT_EQ(f.description, "Broken unicode character") << c.text;
    KXError* inner = f.error ? f.error->underlyingError() : nullptr;
    ASSERT_NE(inner, nullptr) << c.text;
    EXPECT_EQ(inner->code(), 6);
    EXPECT_EQ(inner->localizedDescription(), c.description) << c.text;
    if (c.wrapped) {
      ASSERT_NE(inner->underlyingError(), nullptr) << c.text;
      EXPECT_EQ(inner->underlyingError()->localizedDescription(), c.wrapped);
    } else {
      EXPECT_EQ(inner->underlyingError(), nullptr) << c.text;  // "Missing hex quad" replaces
    }
  }
}

TEST(KXJSON, ParserIsReusableAndErrorSlotOptional) {
  KXJSON parser;
  EXPECT_FALSE(parser.objectWithString("[1,]").has_value());  // no error slot
  auto ok = parser.objectWithString("{\"type\":\"ack\",\"success\":true,\"errors\":\"\",\"data\":[]}");
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(ok->find("type")->stringValue(), "ack");
  EXPECT_TRUE(ok->find("success")->boolValue());
  EXPECT_TRUE(ok->find("data")->isArray());
  EXPECT_EQ(parser.maxDepth(), 512u);
  EXPECT_FALSE(parser.humanReadable());
}

TEST(KXJSON, EscapedStringsRoundTrip) {
  const std::string raw = "say \"hi\"\\ \n\t\x01 caf\xc3\xa9 / ok";
  KXJSONValue v = parse("[\"" + KXJSONEscapedString(raw) + "\"]");
  EXPECT_EQ(v[0].stringValue(), raw);
  EXPECT_EQ(KXJSONEscapedString("plain words 123"), "plain words 123");
}

}  // namespace
