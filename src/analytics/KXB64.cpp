#include "analytics/KXB64.h"

#include <cstdint>

namespace peckish {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 127;

struct DecodeTable {
  std::uint8_t value[256];
  DecodeTable() {
    for (auto& v : value) v = kInvalid;
    for (std::uint8_t i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = i;
  }
};

bool isSpace(unsigned char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}
}  // namespace

std::string KXBase64EncodedData(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(data[k])); };
  for (; i + 3 <= data.size(); i += 3) {
    std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  std::size_t rest = data.size() - i;
  if (rest == 1) {
    std::uint32_t v = byte(i) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::optional<std::string> KXDataFromBase64String(std::string_view text) {
  static const DecodeTable table;
  std::string out;
  out.reserve((text.size() + 3) / 4 * 3);
  std::uint8_t group[4];
  int n = 0;
  auto flush = [&]() -> bool {
    if (n == 1) return false;
    if (n >= 2) out += static_cast<char>((group[0] << 2 | group[1] >> 4) & 0xFF);
    if (n >= 3) out += static_cast<char>((group[1] << 4 | group[2] >> 2) & 0xFF);
    if (n >= 4) out += static_cast<char>((group[2] << 6 | group[3]) & 0xFF);
    n = 0;
    return true;
  };
  for (char ch : text) {
    auto u = static_cast<unsigned char>(ch);
    if (u == 0) break;
    if (isSpace(u) || u == '=') continue;
    std::uint8_t v = table.value[u];
    if (v == kInvalid) return std::nullopt;
    group[n++] = v;
    if (n == 4) flush();
  }
  if (!flush()) return std::nullopt;
  return out;
}

}  // namespace peckish
