// The development server's codecs, JSON reader and envelope splitter.
#include <gtest/gtest.h>

#include "devserver/Codec.h"
#include "devserver/Envelope.h"
#include "devserver/Json.h"

namespace peckish::devserver {
namespace {

TEST(DevServerCodec, UrlSafeAlphabetMapsBothWaysAndKeepsPadding) {
  EXPECT_EQ(base64ToUrlSafe("a+b/c+="), "a-b_c-=");
  EXPECT_EQ(base64FromUrlSafe("a-b_c-="), "a+b/c+=");
}

TEST(DevServerCodec, PercentAndFormDecoding) {
  EXPECT_EQ(percentDecode("a%20b+c", true), "a b c");
  EXPECT_EQ(percentDecode("a+b", false), "a+b");
  EXPECT_EQ(percentDecode("%e2%82%AC", true), "\xe2\x82\xac");
  EXPECT_FALSE(percentDecode("100%", true));
  EXPECT_FALSE(percentDecode("%4", true));
  EXPECT_FALSE(percentDecode("%zz", true));

  auto form = parseForm("gid=3&player=x%26score%3D9&&score=&flag");
  ASSERT_TRUE(form);
  ASSERT_EQ(form->size(), 4u);
  EXPECT_EQ((*form)[1], (std::pair<std::string, std::string>("player", "x&score=9")));
  EXPECT_EQ((*form)[2], (std::pair<std::string, std::string>("score", "")));
  EXPECT_EQ((*form)[3], (std::pair<std::string, std::string>("flag", "")));
  EXPECT_FALSE(parseForm("player=%G0"));
}

TEST(DevServerCodec, Utf8Validation) {
  EXPECT_TRUE(isValidUtf8("Zo\xc3\xab \xe9\xb8\xa1 \xf0\x9f\x90\x93"));
  EXPECT_FALSE(isValidUtf8("\xff"));
  EXPECT_FALSE(isValidUtf8("\xc3"));              // cut short
  EXPECT_FALSE(isValidUtf8("\xc0\xaf"));          // overlong
  EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));      // surrogate
  EXPECT_FALSE(isValidUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF
}

TEST(DevServerCodec, AnalyticsExchangeRoundTrips) {
  const std::string secret = "0123456789abcdef0123456789abcdef";
  // Enough bytes that the Base64 text holds "+" and "/" before the URL-safe mapping.
  std::string envelope;
  for (int i = 0; i < 300; ++i) envelope += static_cast<char>('!' + i % 90);
  std::string body = encodeUploadBody(envelope, secret);
  ASSERT_EQ(body.rfind("args=", 0), 0u);
  std::string value = body.substr(5);
  EXPECT_EQ(value.find_first_of("+/"), std::string::npos);
  EXPECT_NE(value.find_first_of("-_"), std::string::npos);
  EXPECT_EQ(decodeUploadArgs(value, secret), envelope);

  // A client that sent the standard alphabet, raw or percent-encoded, is understood as well.
  std::string standard = base64Encode(rc4(envelope, secret));
  EXPECT_EQ(decodeUploadArgs(standard, secret), envelope);
  std::string escaped;
  for (char c : standard) escaped += c == '+' ? "%2B" : c == '/' ? "%2F" : c == '=' ? "%3D" : std::string(1, c);
  EXPECT_EQ(decodeUploadArgs(escaped, secret), envelope);
  EXPECT_FALSE(decodeUploadArgs("not*base64", secret));

  std::string answer = encodeAnswer("{\"type\":\"ack\"}", secret);
  EXPECT_EQ(decodeAnswer(answer, secret), "{\"type\":\"ack\"}");
  EXPECT_FALSE(decodeAnswer("*", secret));
  EXPECT_FALSE(decodeAnswer("", secret));
}

TEST(DevServerJson, ParsesStrictlyAndKeepsSpans) {
  std::string text = R"( {"a" : [1, -2.5e3, "x\u00e9\ud83d\udc13", {"b":null}], "c":true} )";
  auto v = parseJson(text);
  ASSERT_TRUE(v);
  const JsonValue* a = v->get("a");
  ASSERT_TRUE(a && a->kind == JsonValue::Kind::Array);
  ASSERT_EQ(a->items.size(), 4u);
  EXPECT_EQ(a->items[1].text, "-2.5e3");
  EXPECT_EQ(a->items[2].text, "x\xc3\xa9\xf0\x9f\x90\x93");
  EXPECT_EQ(text.substr(a->items[3].begin, a->items[3].end - a->items[3].begin), R"({"b":null})");
  EXPECT_TRUE(v->get("c")->boolean);

  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "01", "\"\\ud800\"", "\"a\nb\"", "{} x", "tru", "1."})
    EXPECT_FALSE(parseJson(bad)) << bad;
  EXPECT_FALSE(parseJson(std::string(100, '[') + std::string(100, ']')));  // nesting limit
}

TEST(DevServerJson, QuotesTextAsValidJson) {
  EXPECT_EQ(jsonQuote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(jsonQuote("Zo\xc3\xab"), "\"Zo\xc3\xab\"");
  EXPECT_EQ(jsonQuote("x\xffy\xc3"), "\"x\\ufffdy\\ufffd\"");
  auto back = parseJson(jsonQuote("\x7f\t\xe9\xb8\xa1"));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->text, "\x7f\t\xe9\xb8\xa1");
}

TEST(DevServerEnvelope, SplitsRecordsKeepingTheirText) {
  std::string a = R"({"session" : "S1","time" : "100","type" : "action","action" : "startGame"})";
  std::string g = R"({"lat" : "52.500000","alt" : "34.000000","session" : "S1","time" : "101","type" : "geo","lon" : "13.250000"})";
  auto env = parseEnvelope(R"({"code_version" : "1.1.3", "data" : [)" + a + "," + g + "]}");
  ASSERT_TRUE(env);
  EXPECT_TRUE(env->wellFormed);
  ASSERT_EQ(env->records.size(), 2u);
  EXPECT_EQ(env->records[0].json, a);
  EXPECT_EQ(env->records[0].action, "startGame");
  EXPECT_EQ(env->records[1].json, g);
  EXPECT_EQ(env->records[1].type, "geo");
  EXPECT_EQ(env->records[1].session, "S1");

  auto empty = parseEnvelope(R"({"locale" : "en_US", "data" : []})");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->records.empty());
}

TEST(DevServerEnvelope, RecordsWithUnescapedQuotesAreStillTakenApart) {
  // The client inserts names unescaped: this envelope is not valid JSON.
  std::string bad = R"({"session" : "S2","time" : "7","type" : "action","action" : "say "hi", now"})";
  std::string good = R"({"session" : "S2","time" : "8","type" : "action","action" : "tell"})";
  auto env = parseEnvelope(R"({"device" : "PC", "data" : [)" + bad + "," + good + "]}");
  ASSERT_TRUE(env);
  EXPECT_FALSE(env->wellFormed);
  ASSERT_EQ(env->records.size(), 2u);
  EXPECT_EQ(env->records[0].json, bad);
  EXPECT_EQ(env->records[0].action, "say \"hi\", now");
  EXPECT_EQ(env->records[0].session, "S2");
  EXPECT_EQ(env->records[1].action, "tell");
}

TEST(DevServerEnvelope, RejectsTextsThatAreNoEnvelope) {
  std::string error;
  EXPECT_FALSE(parseEnvelope("<html>", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(parseEnvelope(R"({"data" : 5})"));
  EXPECT_FALSE(parseEnvelope(R"({"locale" : "x"})"));
  EXPECT_FALSE(parseEnvelope(R"({"data" : [1, 2]})"));
  EXPECT_FALSE(parseEnvelope(R"({"data" : [{"a" : "b" )"));  // cut short
}

}  // namespace
}  // namespace peckish::devserver
