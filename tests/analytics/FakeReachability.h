#pragma once
// A flag reader whose answers the test sets: flags by host name or by dotted address text.
#include <arpa/inet.h>

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "analytics/KXReachability.h"

namespace peckish::testing {

class FakeFlagReader final : public ReachabilityFlagReader {
 public:
  Ref<ReachabilityTarget> createTargetWithName(const std::string& hostName) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++targetsCreated;
    if (failingNames.count(hostName)) return nullptr;
    return ReachabilityFlagReader::createTargetWithName(hostName);
  }
  Ref<ReachabilityTarget> createTargetWithAddress(const sockaddr_in& address) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++targetsCreated;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    if (failingNames.count(text)) return nullptr;
    return ReachabilityFlagReader::createTargetWithAddress(address);
  }
  bool getFlags(const ReachabilityTarget& target, std::uint32_t& out) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++reads;
    std::string key;
    if (target.isAddress()) {
      char buf[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &target.address().sin_addr, buf, sizeof buf);
      key = buf;
    } else {
      key = target.hostName();
    }
    if (unreadable.count(key)) return false;
    auto it = flags.find(key);
    out = it == flags.end() ? 0 : it->second;
    return true;
  }
  void set(const std::string& key, std::uint32_t f) {
    std::lock_guard<std::mutex> lock(mutex);
    flags[key] = f;
  }

  std::mutex mutex;
  std::map<std::string, std::uint32_t> flags;
  std::set<std::string> unreadable;
  std::set<std::string> failingNames;  // host names and dotted addresses that get no target
  int targetsCreated = 0;
  int reads = 0;
};

}  // namespace peckish::testing
