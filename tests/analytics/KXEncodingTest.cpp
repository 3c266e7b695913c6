#include <gtest/gtest.h>

#include <string>

#include "analytics/KXB64.h"
#include "analytics/KXEncryption.h"
#include "analytics/KXMD5.h"
#include "analytics/KXURL.h"

using namespace peckish;

namespace {

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST(KXMD5, KnownDigests) {
  EXPECT_EQ(KXMD5("abc"), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(KXMD5(""), "D41D8CD98F00B204E9800998ECF8427E");
  // The text ends at its zero byte.
  EXPECT_EQ(KXMD5(std::string_view("abc\0def", 7)), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(KXRC4, KnownVectorsAndRoundTrip) {
  EXPECT_EQ(hex(KXRC4("Plaintext", "Key")), "BBF316E8D940AF0AD3");
  EXPECT_EQ(hex(KXRC4("Attack at dawn", "Secret")), "45A01F645FC35B383552544B9BF5");

  const char* secret = "0123456789abcdef0123456789abcdef";
  std::string text = "{\"type\" : \"ad\"}";
  std::string sealed = KXRC4(text, secret);
  EXPECT_EQ(sealed.size(), text.size());
  EXPECT_NE(sealed, text);
  EXPECT_EQ(KXRC4dec(sealed, secret), text);

  // Only the first 32 key bytes count.
  EXPECT_EQ(KXRC4(text, "0123456789abcdef0123456789abcdefEXTRA"), sealed);
  EXPECT_EQ(KXRC4("", secret), "");
  EXPECT_THROW(KXRC4("x", ""), std::invalid_argument);
  EXPECT_THROW(KXRC4("x", nullptr), std::invalid_argument);
}

TEST(KXRC4, InputLongerThanAnyFixedBufferKeepsEveryByte) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>(i * 7 + 3);
  std::string sealed = KXRC4(text, "roosters-at-dawn");
  ASSERT_EQ(sealed.size(), text.size());
  EXPECT_EQ(KXRC4dec(sealed, "roosters-at-dawn"), text);
}

TEST(KXBase64, Encode) {
  EXPECT_EQ(KXBase64EncodedData("abc"), "YWJj");
  EXPECT_EQ(KXBase64EncodedData("ab"), "YWI=");
  EXPECT_EQ(KXBase64EncodedData("a"), "YQ==");
  EXPECT_EQ(KXBase64EncodedData(""), "");
  EXPECT_EQ(KXBase64EncodedData(std::string("\xfb\xff\xbf", 3)), "+/+/");
  std::string long_(100, 'x');
  EXPECT_EQ(KXBase64EncodedData(long_).find('\n'), std::string::npos);
}

TEST(KXBase64, DecodeAcceptsPaddingAndWhiteSpaceAnywhere) {
  EXPECT_EQ(KXDataFromBase64String("YWJj"), "abc");
  EXPECT_EQ(KXDataFromBase64String("YWI="), "ab");
  EXPECT_EQ(KXDataFromBase64String("YQ=="), "a");
  EXPECT_EQ(KXDataFromBase64String("YQ"), "a");
  EXPECT_EQ(KXDataFromBase64String("YW Jj"), "abc");
  EXPECT_EQ(KXDataFromBase64String("Y\tW\r\nJ=j\n"), "abc");
  EXPECT_EQ(KXDataFromBase64String(""), "");
  EXPECT_EQ(KXDataFromBase64String("+/+/"), std::string("\xfb\xff\xbf", 3));
}

TEST(KXBase64, DecodeRejectsMalformedText) {
  EXPECT_EQ(KXDataFromBase64String("Y"), std::nullopt);
  EXPECT_EQ(KXDataFromBase64String("YWJjY"), std::nullopt);
  EXPECT_EQ(KXDataFromBase64String("YW*j"), std::nullopt);
  EXPECT_EQ(KXDataFromBase64String("YW-_"), std::nullopt);  // the URL-safe alphabet is not mapped back
  EXPECT_EQ(KXDataFromBase64String("YW\xc3\xa9"), std::nullopt);
}

TEST(KXBase64, RoundTripsEveryByteValue) {
  for (std::size_t len = 0; len < 300; len += 37) {
    std::string data;
    for (std::size_t i = 0; i < len; ++i) data += static_cast<char>((i * 131 + len) & 0xFF);
    EXPECT_EQ(KXDataFromBase64String(KXBase64EncodedData(data)), data) << len;
  }
}

TEST(KXURL, ReplacementTableAndEncoding) {
  ASSERT_EQ(KXurlCodes().size(), 2u);
  EXPECT_EQ(KXurlCodes()[0], (KXURLCode{"+", "-"}));
  EXPECT_EQ(KXurlCodes()[1], (KXURLCode{"/", "_"}));
  EXPECT_EQ(&KXurlCodes(), &KXurlCodes());

  EXPECT_EQ(KXURLEncoding("a+b/c+"), "a-b_c-");
  EXPECT_EQ(KXURLEncoding("YQ=="), "YQ==");
  EXPECT_EQ(KXURLEncoding(""), "");
}

TEST(KXURL, ReplacingSubstrings) {
  EXPECT_EQ(KXstringByReplacingSubstring("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(KXstringByReplacingSubstring("aaa", "aa", "b"), "ba");
  EXPECT_EQ(KXstringByReplacingSubstring("abc", "", "x"), "abc");
  EXPECT_EQ(KXstringByReplacingSubstring("abc", "b", ""), "ac");
  // A replacement that holds the target is not replaced again (and terminates).
  EXPECT_EQ(KXstringByReplacingSubstring("a+b", "+", "++"), "a++b");
  EXPECT_EQ(KXstringByReplacingSubstring("xax", "a", "aa"), "xaax");
}

TEST(KXEncoding, UploadBodyChainReversesOnTheServerSide) {
  const char* secret = "0123456789abcdef0123456789abcdef";
  std::string envelope = "{\"data\" : []}";
  std::string sent = KXURLEncoding(KXBase64EncodedData(KXRC4(envelope, secret)));
  EXPECT_EQ(sent.find_first_of("+/"), std::string::npos);
  std::string standard = KXstringByReplacingSubstring(KXstringByReplacingSubstring(sent, "-", "+"), "_", "/");
  auto bytes = KXDataFromBase64String(standard);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(KXRC4dec(*bytes, secret), envelope);
}

}  // namespace
