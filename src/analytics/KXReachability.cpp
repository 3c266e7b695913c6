#include "analytics/KXReachability.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/Exception.h"
#include "platform/Notifications.h"
#include "platform/RunLoop.h"

namespace peckish {

namespace {
constexpr const char* kDefaultRouteKey = "0.0.0.0";
constexpr const char* kLinkLocalKey = "169.254.0.0";
constexpr unsigned kRouteUp = 0x0001;       // RTF_UP
constexpr unsigned kRouteReject = 0x0200;   // RTF_REJECT

bool isLinkLocalIPv4(std::uint32_t networkOrder) {
  std::uint32_t host = ntohl(networkOrder);
  return (host & 0xFFFF0000u) == 0xA9FE0000u;  // 169.254/16
}
bool isLoopbackIPv4(std::uint32_t networkOrder) { return (ntohl(networkOrder) >> 24) == 127; }

sockaddr_in makeAddress(std::uint32_t networkOrder) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = 0;
  a.sin_addr.s_addr = networkOrder;
  return a;
}

struct KeyedShared {
  std::mutex mutex;
  Ref<KXReachability> instance;
};
KeyedShared& shared() {
  static KeyedShared s;
  return s;
}
}  // namespace

// ---- targets -------------------------------------------------------------------------------

Ref<ReachabilityTarget> ReachabilityTarget::withName(std::string hostName) {
  Ref<ReachabilityTarget> t(new ReachabilityTarget());
  t->hostName_ = std::move(hostName);
  return t;
}

Ref<ReachabilityTarget> ReachabilityTarget::withAddress(const sockaddr_in& address) {
  Ref<ReachabilityTarget> t(new ReachabilityTarget());
  t->isAddress_ = true;
  t->address_ = address;
  return t;
}

// ---- the system reader ---------------------------------------------------------------------

SystemReachabilityFlagReader::SystemReachabilityFlagReader(std::string ipv4RouteFile, std::string ipv6RouteFile)
    : ipv4RouteFile_(std::move(ipv4RouteFile)), ipv6RouteFile_(std::move(ipv6RouteFile)) {}

std::uint32_t SystemReachabilityFlagReader::flagsForIPv4(std::uint32_t address) const {
  if (isLoopbackIPv4(address)) return kReachabilityFlagsReachable;
  const bool linkLocal = isLinkLocalIPv4(address);
  std::ifstream in(ipv4RouteFile_);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string iface, dest, gateway, flags, refcnt, use, metric, mask;
    if (!(fields >> iface >> dest >> gateway >> flags >> refcnt >> use >> metric >> mask)) continue;
    unsigned long d = std::strtoul(dest.c_str(), nullptr, 16);
    unsigned long m = std::strtoul(mask.c_str(), nullptr, 16);
    unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
    if (!(f & kRouteUp) || (f & kRouteReject)) continue;
    // A link-local network must be attached itself; a default route does not reach it.
    if (linkLocal && m == 0) continue;
    if ((address & static_cast<std::uint32_t>(m)) == static_cast<std::uint32_t>(d))
      return kReachabilityFlagsReachable | (linkLocal ? kReachabilityFlagsIsDirect : 0);
  }
  return 0;
}

std::uint32_t SystemReachabilityFlagReader::flagsForIPv6(const in6_addr& address) const {
  if (IN6_IS_ADDR_LOOPBACK(&address)) return kReachabilityFlagsReachable;
  if (IN6_IS_ADDR_V4MAPPED(&address)) {
    std::uint32_t v4;
    std::memcpy(&v4, &address.s6_addr[12], 4);
    return flagsForIPv4(v4);
  }
  const bool linkLocal = IN6_IS_ADDR_LINKLOCAL(&address);
  std::ifstream in(ipv6RouteFile_);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string dest, plen, src, splen, nexthop, metric, refcnt, use, flags, dev;
    if (!(fields >> dest >> plen >> src >> splen >> nexthop >> metric >> refcnt >> use >> flags >> dev)) continue;
    if (dest.size() != 32 || dev == "lo") continue;
    unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
    if (!(f & kRouteUp) || (f & kRouteReject)) continue;
    unsigned prefix = static_cast<unsigned>(std::strtoul(plen.c_str(), nullptr, 16));
    if (prefix > 128 || (linkLocal && prefix == 0)) continue;
    bool covers = true;
    for (unsigned bit = 0; bit < prefix && covers; ++bit) {
      unsigned byte = bit / 8;
      unsigned destByte = static_cast<unsigned>(std::strtoul(dest.substr(byte * 2, 2).c_str(), nullptr, 16));
      unsigned maskBit = 0x80u >> (bit % 8);
      covers = (address.s6_addr[byte] & maskBit) == (destByte & maskBit);
    }
    if (covers) return kReachabilityFlagsReachable | (linkLocal ? kReachabilityFlagsIsDirect : 0);
  }
  return 0;
}

bool SystemReachabilityFlagReader::getFlags(const ReachabilityTarget& target, std::uint32_t& flags) {
  if (target.isAddress()) {
    flags = flagsForIPv4(target.address().sin_addr.s_addr);
    return true;
  }
  flags = 0;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(target.hostName().c_str(), nullptr, &hints, &list) != 0) return true;  // not reachable
  for (addrinfo* ai = list; ai && !(flags & kReachabilityFlagsReachable); ai = ai->ai_next) {
    if (ai->ai_family == AF_INET)
      flags = flagsForIPv4(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
    else if (ai->ai_family == AF_INET6)
      flags = flagsForIPv6(reinterpret_cast<const sockaddr_in6*>(ai->ai_addr)->sin6_addr);
  }
  ::freeaddrinfo(list);
  return true;
}

// ---- queries -------------------------------------------------------------------------------

ReachabilityQuery::ReachabilityQuery(KXReachability* owner, Ref<ReachabilityTarget> target,
                                     std::string hostNameOrAddress)
    : owner_(owner), reachabilityRef_(std::move(target)), hostNameOrAddress_(std::move(hostNameOrAddress)) {}

ReachabilityQuery::~ReachabilityQuery() { unscheduleFromRunLoops(); }

void ReachabilityQuery::scheduleOnRunLoop(platform::RunLoop* runLoop) {
  if (!owner_ || !owner_->networkStatusNotificationsEnabled() || !runLoop) return;
  if (isScheduledOnRunLoop(runLoop)) return;
  if (platform::RunLoop* scheduled = startListeningForReachabilityChanges(reachabilityRef_.get(), runLoop))
    runLoops_.push_back(scheduled);
}

bool ReachabilityQuery::isScheduledOnRunLoop(platform::RunLoop* runLoop) const {
  return std::find(runLoops_.begin(), runLoops_.end(), runLoop) != runLoops_.end();
}

platform::RunLoop* ReachabilityQuery::startListeningForReachabilityChanges(ReachabilityTarget* target,
                                                                           platform::RunLoop* runLoop) {
  if (!target || !runLoop) return nullptr;
  std::uint32_t flags = 0;
  if (owner_->flagReader().getFlags(*target, flags)) lastFlags_ = flags;
  pollTimer_ = runLoop->addTimer(kPollInterval, true, Callback<void()>(this, &ReachabilityQuery::poll));
  return runLoop;
}

void ReachabilityQuery::poll() {
  if (!reachabilityRef_ || !owner_) return;
  std::uint32_t flags = 0;
  if (!owner_->flagReader().getFlags(*reachabilityRef_, flags)) return;
  if (lastFlags_ && *lastFlags_ == flags) return;
  lastFlags_ = flags;
  platform::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification, nullptr);
}

void ReachabilityQuery::unscheduleFromRunLoops() {
  for (platform::RunLoop* loop : runLoops_)
    if (pollTimer_) loop->invalidateTimer(pollTimer_);
  pollTimer_ = 0;
  runLoops_.clear();
}

// ---- KXReachability ------------------------------------------------------------------------

KXReachability* KXReachability::sharedReachability() {
  KeyedShared& s = shared();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.instance) s.instance = make<KXReachability>();
  return s.instance.get();
}

void KXReachability::purgeShared() {
  Ref<KXReachability> old;
  {
    KeyedShared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    old = std::move(s.instance);
  }
}

KXReachability::KXReachability(std::shared_ptr<ReachabilityFlagReader> reader)
    : reader_(reader ? std::move(reader) : std::make_shared<SystemReachabilityFlagReader>()) {}

KXReachability::~KXReachability() { stopListeningForReachabilityChanges(); }

void KXReachability::setFlagReader(std::shared_ptr<ReachabilityFlagReader> reader) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  stopListeningForReachabilityChanges();
  reachabilityQueries_.clear();
  reader_ = reader ? std::move(reader) : std::make_shared<SystemReachabilityFlagReader>();
}

bool KXReachability::networkStatusNotificationsEnabled() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return networkStatusNotificationsEnabled_;
}
void KXReachability::setNetworkStatusNotificationsEnabled(bool enabled) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  networkStatusNotificationsEnabled_ = enabled;
}
std::string KXReachability::hostName() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return hostName_;
}
void KXReachability::setHostName(std::string hostName) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  hostName_ = std::move(hostName);
}
std::string KXReachability::address() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return address_;
}
void KXReachability::setAddress(std::string address) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  address_ = std::move(address);
}
std::map<std::string, Ref<ReachabilityQuery>> KXReachability::reachabilityQueries() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return reachabilityQueries_;
}

platform::RunLoop* KXReachability::currentRunLoop() {
  platform::RunLoop& main = platform::RunLoop::main();
  return main.isMainThread() ? &main : nullptr;
}

bool KXReachability::isReachableWithoutRequiringConnection(std::uint32_t flags) noexcept {
  return (flags & kReachabilityFlagsReachable) && !(flags & kReachabilityFlagsConnectionRequired);
}

bool KXReachability::addressFromString(std::string_view text, sockaddr_in* address) {
  if (text.empty() || !address) return false;
  std::string s(text);
  std::memset(address, 0, sizeof *address);
  address->sin_family = AF_INET;
  return ::inet_aton(s.c_str(), &address->sin_addr) != 0;
}

int KXReachability::remoteHostStatus() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ReachabilityTarget* target;
  if (!hostName_.empty()) target = reachabilityRefForHostName(hostName_);
  else if (!address_.empty()) target = reachabilityRefForAddress(address_);
  else throw Exception(kInternalInconsistency, "No hostName or address specified. Cannot determine reachability.");
  std::uint32_t flags = 0;
  if (!target || !reader_->getFlags(*target, flags) || !isReachableWithoutRequiringConnection(flags))
    return KXNotReachable;
  return (flags & kReachabilityFlagsTransientConnection) ? KXReachableViaCarrierDataNetwork : KXReachableViaWiFiNetwork;
}

int KXReachability::internetConnectionStatus() {
  std::uint32_t flags = 0;
  if (!isNetworkAvailableFlags(&flags)) return KXNotReachable;
  if (flags & kReachabilityFlagsIsDirect) return KXNotReachable;  // an ad-hoc network, no internet
  return (flags & kReachabilityFlagsTransientConnection) ? KXReachableViaCarrierDataNetwork : KXReachableViaWiFiNetwork;
}

int KXReachability::localWiFiConnectionStatus() {
  std::uint32_t flags = 0;
  if (isAdHocWiFiNetworkAvailableFlags(&flags) && (flags & kReachabilityFlagsIsDirect)) return KXReachableViaWiFiNetwork;
  return KXNotReachable;
}

bool KXReachability::isNetworkAvailableFlags(std::uint32_t* outFlags) {
  return isAvailableFlags(kDefaultRouteKey, htonl(INADDR_ANY), outFlags);
}

bool KXReachability::isAdHocWiFiNetworkAvailableFlags(std::uint32_t* outFlags) {
  return isAvailableFlags(kLinkLocalKey, htonl(0xA9FE0000u), outFlags);
}

bool KXReachability::isAvailableFlags(const char* key, std::uint32_t networkOrderAddress, std::uint32_t* outFlags) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Ref<ReachabilityQuery>& query = reachabilityQueries_[key];
  if (!query || !query->reachabilityRef()) {
    Ref<ReachabilityTarget> target = reader_->createTargetWithAddress(makeAddress(networkOrderAddress));
    query = make<ReachabilityQuery>(this, target, key);
  }
  if (networkStatusNotificationsEnabled_) query->scheduleOnRunLoop(currentRunLoop());
  std::uint32_t flags = 0;
  if (!query->reachabilityRef() || !reader_->getFlags(*query->reachabilityRef(), flags)) return false;
  if (outFlags) *outFlags = flags;
  return isReachableWithoutRequiringConnection(flags);
}

ReachabilityTarget* KXReachability::reachabilityRefForHostName(const std::string& hostName) {
  if (hostName.empty()) return nullptr;
  return cachedTarget(hostName, nullptr);
}

ReachabilityTarget* KXReachability::reachabilityRefForAddress(const std::string& addressText) {
  if (addressText.empty()) return nullptr;
  sockaddr_in address{};
  if (!addressFromString(addressText, &address))
    throw Exception(kInternalInconsistency, "Failed to convert an IP address string to a sockaddr_in: " + addressText);
  return cachedTarget(addressText, &address);
}

ReachabilityTarget* KXReachability::cachedTarget(const std::string& key, const sockaddr_in* address) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = reachabilityQueries_.find(key);
  if (it != reachabilityQueries_.end() && it->second->reachabilityRef()) return it->second->reachabilityRef();
  Ref<ReachabilityTarget> target = address ? reader_->createTargetWithAddress(*address) : reader_->createTargetWithName(key);
  if (!target)
    throw Exception(kInternalInconsistency,
                    std::string("Failed to create SCNetworkReachabilityRef for ") + (address ? "address: " : "host: ") + key);
  auto query = make<ReachabilityQuery>(this, target, key);
  if (networkStatusNotificationsEnabled_) query->scheduleOnRunLoop(currentRunLoop());
  reachabilityQueries_[key] = query;
  return target.get();
}

bool KXReachability::isHostReachable(const std::string& hostName) {
  if (hostName.empty()) return false;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Ref<ReachabilityTarget> target = reader_->createTargetWithName(hostName);  // temporary, not cached
  std::uint32_t flags = 0;
  if (!target || !reader_->getFlags(*target, flags)) return false;
  return isReachableWithoutRequiringConnection(flags);
}

void KXReachability::stopListeningForReachabilityChanges() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (auto& [key, query] : reachabilityQueries_) query->unscheduleFromRunLoops();
}

}  // namespace peckish
