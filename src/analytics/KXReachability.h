#pragma once
// Network reachability for the analytics client: can the server's host be reached, is there a
// route to the internet, is a link-local (ad-hoc) network present. One target per host name or
// address is created on first use and kept in a table of ReachabilityQuery objects. When status
// notifications are enabled, queries are watched on the main run loop and every change is posted
// as kNetworkReachabilityChangedNotification on the default notification centre.
//
// Flags come from a ReachabilityFlagReader. The system reader on Linux: a host is reachable when
// its name resolves (getaddrinfo) and a route to it exists (/proc/net/route, /proc/net/ipv6_route);
// loopback addresses are always reachable; link-local (169.254/16) destinations carry the direct
// bit and need a route of their own; the connection-required and transient bits are never set.
#include <netinet/in.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Object.h"

namespace peckish {

namespace platform {
class RunLoop;
}

inline constexpr const char* kNetworkReachabilityChangedNotification = "kNetworkReachabilityChangedNotification";

inline constexpr std::uint32_t kReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr std::uint32_t kReachabilityFlagsReachable = 1u << 1;
inline constexpr std::uint32_t kReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr std::uint32_t kReachabilityFlagsIsDirect = 1u << 17;

// Status values (also the "connection_type" of the request envelope).
enum KXNetworkStatus : int {
  KXNotReachable = 0,
  KXReachableViaCarrierDataNetwork = 1,
  KXReachableViaWiFiNetwork = 2,
};

// What flags are asked about: a host name or an IPv4 socket address.
class ReachabilityTarget final : public Object {
 public:
  static Ref<ReachabilityTarget> withName(std::string hostName);
  static Ref<ReachabilityTarget> withAddress(const sockaddr_in& address);

  bool isAddress() const noexcept { return isAddress_; }
  const std::string& hostName() const noexcept { return hostName_; }
  const sockaddr_in& address() const noexcept { return address_; }

 private:
  ReachabilityTarget() = default;
  bool isAddress_ = false;
  std::string hostName_;
  sockaddr_in address_{};
};

class ReachabilityFlagReader {
 public:
  virtual ~ReachabilityFlagReader() = default;
  // A target for the name or address; null when none can be made.
  virtual Ref<ReachabilityTarget> createTargetWithName(const std::string& hostName) {
    return ReachabilityTarget::withName(hostName);
  }
  virtual Ref<ReachabilityTarget> createTargetWithAddress(const sockaddr_in& address) {
    return ReachabilityTarget::withAddress(address);
  }
  // The target's current flags; false when they cannot be read.
  virtual bool getFlags(const ReachabilityTarget& target, std::uint32_t& flags) = 0;
};

class SystemReachabilityFlagReader final : public ReachabilityFlagReader {
 public:
  explicit SystemReachabilityFlagReader(std::string ipv4RouteFile = "/proc/net/route",
                                        std::string ipv6RouteFile = "/proc/net/ipv6_route");
  bool getFlags(const ReachabilityTarget& target, std::uint32_t& flags) override;

  // Flags for one IPv4 address (network byte order) or IPv6 address against the route tables.
  std::uint32_t flagsForIPv4(std::uint32_t networkOrderAddress) const;
  std::uint32_t flagsForIPv6(const in6_addr& address) const;

 private:
  std::string ipv4RouteFile_;
  std::string ipv6RouteFile_;
};

class KXReachability;

class ReachabilityQuery final : public Object {
 public:
  ReachabilityQuery(KXReachability* owner, Ref<ReachabilityTarget> target, std::string hostNameOrAddress);
  ~ReachabilityQuery() override;

  ReachabilityTarget* reachabilityRef() const noexcept { return reachabilityRef_.get(); }
  const std::vector<platform::RunLoop*>& runLoops() const noexcept { return runLoops_; }
  const std::string& hostNameOrAddress() const noexcept { return hostNameOrAddress_; }

  // Watches the target on the run loop when the owner's notifications are enabled.
  void scheduleOnRunLoop(platform::RunLoop* runLoop);
  bool isScheduledOnRunLoop(platform::RunLoop* runLoop) const;
  // Stops every watch and empties runLoops().
  void unscheduleFromRunLoops();

  // How often a watched target's flags are read again.
  static constexpr double kPollInterval = 5.0;

 private:
  platform::RunLoop* startListeningForReachabilityChanges(ReachabilityTarget* target, platform::RunLoop* runLoop);
  void poll();

  KXReachability* owner_;  // not owned
  Ref<ReachabilityTarget> reachabilityRef_;
  std::vector<platform::RunLoop*> runLoops_;
  std::string hostNameOrAddress_;
  std::uint64_t pollTimer_ = 0;
  std::optional<std::uint32_t> lastFlags_;
};

class KXReachability final : public Object {
 public:
  static KXReachability* sharedReachability();
  // Tests: forget the shared instance.
  static void purgeShared();

  // With no reader, the system reader.
  explicit KXReachability(std::shared_ptr<ReachabilityFlagReader> reader = nullptr);
  ~KXReachability() override;

  // Replaces the flag reader and forgets every cached target.
  void setFlagReader(std::shared_ptr<ReachabilityFlagReader> reader);
  ReachabilityFlagReader& flagReader() const noexcept { return *reader_; }

  bool networkStatusNotificationsEnabled() const;
  void setNetworkStatusNotificationsEnabled(bool enabled);
  std::string hostName() const;
  void setHostName(std::string hostName);
  std::string address() const;
  void setAddress(std::string address);
  // Keys: host names, address texts, "0.0.0.0" and "169.254.0.0".
  std::map<std::string, Ref<ReachabilityQuery>> reachabilityQueries() const;

  int remoteHostStatus();
  int internetConnectionStatus();
  int localWiFiConnectionStatus();

  static bool addressFromString(std::string_view text, sockaddr_in* address);
  static bool isReachableWithoutRequiringConnection(std::uint32_t flags) noexcept;

  ReachabilityTarget* reachabilityRefForHostName(const std::string& hostName);
  ReachabilityTarget* reachabilityRefForAddress(const std::string& addressText);
  bool isNetworkAvailableFlags(std::uint32_t* outFlags);
  bool isAdHocWiFiNetworkAvailableFlags(std::uint32_t* outFlags);
  bool isHostReachable(const std::string& hostName);
  void stopListeningForReachabilityChanges();

 private:
  bool isAvailableFlags(const char* key, std::uint32_t networkOrderAddress, std::uint32_t* outFlags);
  // The target of the table's query under key, made (for the address, or else for key as a host
  // name) and entered with a new query when the table has none that holds a target.
  ReachabilityTarget* cachedTarget(const std::string& key, const sockaddr_in* address);
  static platform::RunLoop* currentRunLoop();

  mutable std::recursive_mutex mutex_;
  std::shared_ptr<ReachabilityFlagReader> reader_;
  bool networkStatusNotificationsEnabled_ = false;
  std::string hostName_;
  std::string address_;
  std::map<std::string, Ref<ReachabilityQuery>> reachabilityQueries_;
};

}  // namespace peckish
