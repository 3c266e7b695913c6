#include "devserver/Codec.h"

#include <cstdint>

#include "analytics/KXB64.h"
#include "analytics/KXEncryption.h"
#include "analytics/KXURL.h"

namespace peckish::devserver {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// The Base64, URL-safe and RC4 steps are the game client's own functions, so both ends of the
// exchange share one codec.
std::string base64Encode(std::string_view bytes) { return KXBase64EncodedData(bytes); }
std::optional<std::string> base64Decode(std::string_view text) { return KXDataFromBase64String(text); }
std::string base64ToUrlSafe(std::string_view text) { return KXURLEncoding(text); }

std::string base64FromUrlSafe(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '-') c = '+';
    else if (c == '_') c = '/';
  }
  return out;
}

std::string rc4(std::string_view data, std::string_view key) {
  if (key.empty()) return std::string(data);
  return KXRC4(data, std::string(key).c_str());
}

std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int hi = hexValue(text[i + 1]);
      int lo = hexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<FormFields> parseForm(std::string_view body) {
  FormFields fields;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t amp = body.find('&', pos);
    if (amp == std::string_view::npos) amp = body.size();
    std::string_view pair = body.substr(pos, amp - pos);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      auto name = percentDecode(pair.substr(0, eq), true);
      auto value = percentDecode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
      if (!name || !value) return std::nullopt;
      fields.emplace_back(std::move(*name), std::move(*value));
    }
    pos = amp + 1;
  }
  return fields;
}

bool isValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t len;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > text.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string encodeUploadBody(std::string_view envelope, std::string_view secret) {
  return "args=" + base64ToUrlSafe(base64Encode(rc4(envelope, secret)));
}

std::optional<std::string> decodeUploadArgs(std::string_view argsValue, std::string_view secret) {
  // "+" cannot stand for a space here: no Base64 alphabet holds a space, so a literal "+" from a
  // client that sent the standard alphabet unescaped is kept as what it was meant to be.
  auto value = percentDecode(argsValue, false);
  if (!value) return std::nullopt;
  auto bytes = base64Decode(base64FromUrlSafe(*value));
  if (!bytes) return std::nullopt;
  return rc4(*bytes, secret);
}

std::string encodeAnswer(std::string_view json, std::string_view secret) {
  return base64Encode(rc4(json, secret));
}

std::optional<std::string> decodeAnswer(std::string_view body, std::string_view secret) {
  if (body.empty() || body.front() == '*') return std::nullopt;
  auto bytes = base64Decode(body);
  if (!bytes) return std::nullopt;
  return rc4(*bytes, secret);
}

}  // namespace peckish::devserver
