#include "analytics/KXRecord.h"

#include <charconv>
#include <ctime>

#include "analytics/KXJSONValue.h"

namespace peckish {

namespace {
// "%f" of the float widened to double, independent of the C locale.
std::string fixed6(float f) {
  char buf[512];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<double>(f), std::chars_format::fixed, 6);
  if (ec != std::errc()) return "0.000000";
  return std::string(buf, end);
}
}  // namespace

std::string KXCurrentTimeString() { return std::to_string(static_cast<long long>(std::time(nullptr))); }

KXRecord::KXRecord(std::string type, std::string session)
    : type_(std::move(type)), session_(std::move(session)), timeString_(KXCurrentTimeString()) {}

std::string KXRecord::timeString() const {
  std::lock_guard<std::mutex> lock(timeMutex_);
  return timeString_;
}

void KXRecord::replaceTimeString(std::string t) {
  std::lock_guard<std::mutex> lock(timeMutex_);
  timeString_ = std::move(t);
}

KXAction::KXAction(std::string action, std::string session)
    : KXRecord(kType, std::move(session)), action_(std::move(action)) {}

std::string KXAction::json() const {
  std::string s = "{\"session\" : \"";
  s += KXJSONEscapedString(session());
  s += "\",\"time\" : \"";
  s += KXJSONEscapedString(timeString());
  s += "\",\"type\" : \"";
  s += KXJSONEscapedString(type());
  s += "\",\"action\" : \"";
  s += KXJSONEscapedString(action_);
  s += "\"}";
  return s;
}

KXGeo::KXGeo(float latitude, float longitude, float altitude, std::string session)
    : KXRecord(kType, std::move(session)), lat_(latitude), lon_(longitude), alt_(altitude) {}

Ref<KXGeo> KXGeo::withLocation(double latitude, double longitude, double altitude, std::string session) {
  return make<KXGeo>(static_cast<float>(latitude), static_cast<float>(longitude), static_cast<float>(altitude),
                     std::move(session));
}

std::string KXGeo::json() const {
  std::string s = "{\"lat\" : \"";
  s += fixed6(lat_);
  s += "\",\"alt\" : \"";
  s += fixed6(alt_);
  s += "\",\"session\" : \"";
  s += KXJSONEscapedString(session());
  s += "\",\"time\" : \"";
  s += KXJSONEscapedString(timeString());
  s += "\",\"type\" : \"";
  s += KXJSONEscapedString(type());
  s += "\",\"lon\" : \"";
  s += fixed6(lon_);
  s += "\"}";
  return s;
}

KXAd::KXAd(bool usingLocation, std::string session)
    : KXRecord(kType, std::move(session)), usingLocation_(usingLocation ? "true" : "false") {}

std::string KXAd::json() const {
  std::string s = "{\"type\" : \"";
  s += KXJSONEscapedString(type());
  s += "\",\"withloc\" : \"";
  s += KXJSONEscapedString(usingLocation_);
  s += "\", \"time\" : \"";
  s += KXJSONEscapedString(timeString());
  s += "\", \"session\" : \"";
  s += KXJSONEscapedString(session());
  s += "\"}";
  return s;
}

}  // namespace peckish
