#pragma once
// Text and byte codecs the development server speaks: form bodies, Base64 (standard and URL-safe
// alphabets), RC4, and the analytics wire encoding built from them.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace peckish::devserver {

// Standard Base64 (A-Z a-z 0-9 + /, "=" padding, no line breaks).
std::string base64Encode(std::string_view bytes);
// Lenient in the way the game's client is: white space and "=" are skipped wherever they stand; any
// other character outside the alphabet, or a final group of a single character, fails.
std::optional<std::string> base64Decode(std::string_view text);

// "+" <-> "-" and "/" <-> "_"; padding is left alone.
std::string base64ToUrlSafe(std::string_view text);
std::string base64FromUrlSafe(std::string_view text);

// RC4 keyed with the key's bytes up to a zero byte, at most the first 32 (the whole key when
// shorter). Encryption and decryption are the same operation. An empty key leaves the data unchanged.
std::string rc4(std::string_view data, std::string_view key);

// %XX escapes decoded; "+" becomes a space only when plusIsSpace. A malformed escape fails.
std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace);

// An application/x-www-form-urlencoded body as name/value pairs in order (names and values
// decoded, "+" as space). Fails on a malformed escape.
using FormFields = std::vector<std::pair<std::string, std::string>>;
std::optional<FormFields> parseForm(std::string_view body);

bool isValidUtf8(std::string_view text);

// The analytics exchange. An upload body is "args=" + URL-safe Base64 of the RC4-encrypted
// envelope; an answer body is standard Base64 of the RC4-encrypted JSON answer.
std::string encodeUploadBody(std::string_view envelope, std::string_view secret);
// Takes the args value as it appears in the body (still percent-encoded, URL-safe alphabet).
std::optional<std::string> decodeUploadArgs(std::string_view argsValue, std::string_view secret);
std::string encodeAnswer(std::string_view json, std::string_view secret);
std::optional<std::string> decodeAnswer(std::string_view body, std::string_view secret);

}  // namespace peckish::devserver
