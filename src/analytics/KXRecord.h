#pragma once
// Event records: a named action, a location fix and an ad request. Each knows its session, its
// creation time (whole seconds since 1970 as decimal text) and its type name, and renders itself
// as one JSON object text with a fixed layout. Inserted texts are JSON-escaped; plain values come
// out byte for byte as given.
#include <mutex>
#include <string>

#include "core/Object.h"

namespace peckish {

// The current time as the records write it: whole seconds since 1970-01-01 00:00 UTC.
std::string KXCurrentTimeString();

class KXRecord : public Object {
 public:
  virtual std::string json() const = 0;

  const std::string& type() const noexcept { return type_; }
  const std::string& session() const noexcept { return session_; }
  // Read and written atomically (the store replaces it on rebuilt records).
  std::string timeString() const;

 protected:
  KXRecord(std::string type, std::string session);
  void replaceTimeString(std::string t);

 private:
  const std::string type_;
  const std::string session_;
  mutable std::mutex timeMutex_;
  std::string timeString_;
};

class KXAction final : public KXRecord {
 public:
  static inline const char* const kType = "action";
  KXAction(std::string action, std::string session);

  const std::string& action() const noexcept { return action_; }
  void setTimeString(std::string t) { replaceTimeString(std::move(t)); }
  std::string json() const override;

 private:
  const std::string action_;
};

class KXGeo final : public KXRecord {
 public:
  static inline const char* const kType = "geo";
  KXGeo(float latitude, float longitude, float altitude, std::string session);
  // From a location fix given in doubles; each value is narrowed to a 32-bit float.
  static Ref<KXGeo> withLocation(double latitude, double longitude, double altitude, std::string session);

  float lat() const noexcept { return lat_; }
  float lon() const noexcept { return lon_; }
  float alt() const noexcept { return alt_; }
  void setTimeString(std::string t) { replaceTimeString(std::move(t)); }
  std::string json() const override;

 private:
  const float lat_;
  const float lon_;
  const float alt_;
};

class KXAd final : public KXRecord {
 public:
  static inline const char* const kType = "ad";
  KXAd(bool usingLocation, std::string session);

  // "true" or "false".
  const std::string& usingLocation() const noexcept { return usingLocation_; }
  std::string json() const override;

 private:
  const std::string usingLocation_;
};

}  // namespace peckish
