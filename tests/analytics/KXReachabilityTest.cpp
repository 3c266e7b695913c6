#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "analytics/FakeReachability.h"
#include "analytics/KXReachability.h"
#include "core/Exception.h"
#include "platform/Notifications.h"
#include "platform/RunLoop.h"

using namespace peckish;
using peckish::testing::FakeFlagReader;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t R = kReachabilityFlagsReachable;
constexpr std::uint32_t T = kReachabilityFlagsTransientConnection;
constexpr std::uint32_t C = kReachabilityFlagsConnectionRequired;
constexpr std::uint32_t D = kReachabilityFlagsIsDirect;

class KXReachabilityTest : public ::testing::Test {
 protected:
  void SetUp() override { reach = make<KXReachability>(reader); }
  std::shared_ptr<FakeFlagReader> reader = std::make_shared<FakeFlagReader>();
  Ref<KXReachability> reach;
};

std::string reasonOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), kInternalInconsistency);
    return e.reason();
  }
  return "<no report>";
}

TEST_F(KXReachabilityTest, BasicFlagTest) {
  EXPECT_TRUE(KXReachability::isReachableWithoutRequiringConnection(R));
  EXPECT_TRUE(KXReachability::isReachableWithoutRequiringConnection(R | T | D));
  EXPECT_FALSE(KXReachability::isReachableWithoutRequiringConnection(R | C));
  EXPECT_FALSE(KXReachability::isReachableWithoutRequiringConnection(T | D));
}

TEST_F(KXReachabilityTest, RemoteHostStatusFromFlags) {
  reach->setHostName("analytics.example");
  reader->set("analytics.example", R);
  EXPECT_EQ(reach->remoteHostStatus(), KXReachableViaWiFiNetwork);
  reader->set("analytics.example", R | T);
  EXPECT_EQ(reach->remoteHostStatus(), KXReachableViaCarrierDataNetwork);
  reader->set("analytics.example", R | C);
  EXPECT_EQ(reach->remoteHostStatus(), KXNotReachable);
  reader->set("analytics.example", 0);
  EXPECT_EQ(reach->remoteHostStatus(), KXNotReachable);
  reader->unreadable.insert("analytics.example");
  EXPECT_EQ(reach->remoteHostStatus(), KXNotReachable);
}

TEST_F(KXReachabilityTest, HostTargetIsCreatedOnceAndCached) {
  reach->setHostName("analytics.example");
  reader->set("analytics.example", R);
  reach->remoteHostStatus();
  reach->remoteHostStatus();
  EXPECT_EQ(reader->targetsCreated, 1);
  auto table = reach->reachabilityQueries();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.begin()->first, "analytics.example");
  EXPECT_EQ(table.begin()->second->hostNameOrAddress(), "analytics.example");
  EXPECT_EQ(reach->reachabilityRefForHostName(""), nullptr);

  // The temporary check does not touch the table.
  EXPECT_TRUE(reach->isHostReachable("analytics.example"));
  EXPECT_FALSE(reach->isHostReachable("other.example"));
  EXPECT_FALSE(reach->isHostReachable(""));
  EXPECT_EQ(reach->reachabilityQueries().size(), 1u);
}

TEST_F(KXReachabilityTest, AddressTargetsWhenNoHostName) {
  reach->setAddress("10.0.0.1");
  reader->set("10.0.0.1", R);
  EXPECT_EQ(reach->remoteHostStatus(), KXReachableViaWiFiNetwork);
  EXPECT_EQ(reach->reachabilityQueries().count("10.0.0.1"), 1u);

  sockaddr_in a{};
  EXPECT_TRUE(KXReachability::addressFromString("10.0.0.1", &a));
  EXPECT_EQ(a.sin_family, AF_INET);
  EXPECT_EQ(ntohl(a.sin_addr.s_addr), 0x0A000001u);
  EXPECT_FALSE(KXReachability::addressFromString("", &a));
  EXPECT_FALSE(KXReachability::addressFromString("abc", &a));
}

TEST_F(KXReachabilityTest, AssertionReports) {
  EXPECT_EQ(reasonOf([&] { reach->remoteHostStatus(); }),
            "No hostName or address specified. Cannot determine reachability.");
  EXPECT_EQ(reasonOf([&] { reach->reachabilityRefForAddress("abc"); }),
            "Failed to convert an IP address string to a sockaddr_in: abc");
  reader->failingNames.insert("broken.example");
  EXPECT_EQ(reasonOf([&] { reach->reachabilityRefForHostName("broken.example"); }),
            "Failed to create SCNetworkReachabilityRef for host: broken.example");
}

// Host names and address texts share one look-up-or-create path: each kind gets its own target,
// made once and kept, and its own report when none can be made.
TEST_F(KXReachabilityTest, HostAndAddressTargetsAreMadeOnceByTheirKind) {
  reader->failingNames = {"broken.example", "10.0.0.9"};
  const struct {
    std::string key;
    bool address;
    std::function<ReachabilityTarget*(const std::string&)> lookUp;
  } kinds[] = {
      {"analytics.example", false, [&](const std::string& k) { return reach->reachabilityRefForHostName(k); }},
      {"10.0.0.1", true, [&](const std::string& k) { return reach->reachabilityRefForAddress(k); }},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.key);
    const int before = reader->targetsCreated;
    ReachabilityTarget* target = kind.lookUp(kind.key);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->isAddress(), kind.address);
    EXPECT_EQ(kind.lookUp(kind.key), target);
    EXPECT_EQ(reader->targetsCreated, before + 1);
    EXPECT_EQ(reach->reachabilityQueries().at(kind.key)->hostNameOrAddress(), kind.key);
  }
  EXPECT_EQ(reasonOf([&] { reach->reachabilityRefForHostName("broken.example"); }),
            "Failed to create SCNetworkReachabilityRef for host: broken.example");
  EXPECT_EQ(reasonOf([&] { reach->reachabilityRefForAddress("10.0.0.9"); }),
            "Failed to create SCNetworkReachabilityRef for address: 10.0.0.9");
  EXPECT_EQ(reach->reachabilityQueries().size(), 2u);
}

TEST_F(KXReachabilityTest, InternetAndLinkLocalStatus) {
  reader->set("0.0.0.0", R);
  EXPECT_EQ(reach->internetConnectionStatus(), KXReachableViaWiFiNetwork);
  reader->set("0.0.0.0", R | T);
  EXPECT_EQ(reach->internetConnectionStatus(), KXReachableViaCarrierDataNetwork);
  reader->set("0.0.0.0", R | C);
  EXPECT_EQ(reach->internetConnectionStatus(), KXNotReachable);

  // A direct (ad-hoc) network is no internet, but is a local WiFi network.
  reader->set("0.0.0.0", R | D);
  reader->set("169.254.0.0", R | D);
  EXPECT_EQ(reach->internetConnectionStatus(), KXNotReachable);
  EXPECT_EQ(reach->localWiFiConnectionStatus(), KXReachableViaWiFiNetwork);
  reader->set("169.254.0.0", R);
  EXPECT_EQ(reach->localWiFiConnectionStatus(), KXNotReachable);

  std::uint32_t flags = 0;
  EXPECT_TRUE(reach->isNetworkAvailableFlags(&flags));
  EXPECT_EQ(flags, R | D);
  EXPECT_TRUE(reach->isNetworkAvailableFlags(nullptr));
  auto table = reach->reachabilityQueries();
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table.count("0.0.0.0"), 1u);
  EXPECT_EQ(table.count("169.254.0.0"), 1u);
  EXPECT_EQ(reader->targetsCreated, 2);  // one target per key, reused

  reader->unreadable.insert("0.0.0.0");
  EXPECT_FALSE(reach->isNetworkAvailableFlags(&flags));
  EXPECT_EQ(reach->internetConnectionStatus(), KXNotReachable);
}

TEST_F(KXReachabilityTest, NotificationsDisabledNeverSchedule) {
  reach->setHostName("analytics.example");
  reach->remoteHostStatus();
  reach->internetConnectionStatus();
  for (const auto& [key, query] : reach->reachabilityQueries()) EXPECT_TRUE(query->runLoops().empty()) << key;
  EXPECT_FALSE(reach->networkStatusNotificationsEnabled());
}

TEST_F(KXReachabilityTest, EnabledNotificationsReportEveryChangeOnce) {
  platform::RunLoop& loop = platform::RunLoop::main();
  loop.reset();
  platform::FakeClock clock;
  loop.setClock(&clock);
  int posted = 0;
  auto observer = platform::NotificationCenter::defaultCenter().addObserver(
      kNetworkReachabilityChangedNotification, [&](void* object) {
        EXPECT_EQ(object, nullptr);
        ++posted;
      });

  reach->setNetworkStatusNotificationsEnabled(true);
  reader->set("0.0.0.0", R);
  reach->internetConnectionStatus();
  reach->internetConnectionStatus();
  Ref<ReachabilityQuery> query = reach->reachabilityQueries()["0.0.0.0"];
  ASSERT_TRUE(query);
  ASSERT_EQ(query->runLoops().size(), 1u);  // scheduled once
  EXPECT_TRUE(query->isScheduledOnRunLoop(&loop));

  loop.advance(ReachabilityQuery::kPollInterval * 2);
  EXPECT_EQ(posted, 0);  // no change, no notification
  reader->set("0.0.0.0", 0);
  loop.advance(ReachabilityQuery::kPollInterval);
  EXPECT_EQ(posted, 1);
  loop.advance(ReachabilityQuery::kPollInterval * 3);
  EXPECT_EQ(posted, 1);

  reach->stopListeningForReachabilityChanges();
  EXPECT_TRUE(query->runLoops().empty());
  reader->set("0.0.0.0", R);
  loop.advance(ReachabilityQuery::kPollInterval * 2);
  EXPECT_EQ(posted, 1);

  platform::NotificationCenter::defaultCenter().removeObserver(observer);
  loop.reset();
}

TEST_F(KXReachabilityTest, SharedInstanceTakesAReplacementReader) {
  KXReachability* shared = KXReachability::sharedReachability();
  EXPECT_EQ(shared, KXReachability::sharedReachability());
  shared->setFlagReader(reader);
  reader->set("0.0.0.0", R | T);
  EXPECT_EQ(shared->internetConnectionStatus(), KXReachableViaCarrierDataNetwork);
  KXReachability::purgeShared();
}

class SystemReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "peckish-routes-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string write(const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  static constexpr const char* kHeader =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  std::string dir;
};

TEST_F(SystemReaderTest, DefaultRouteMakesAddressesReachable) {
  std::string routes = write("route", std::string(kHeader) +
                                          "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
                                          "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n");
  auto reader = std::make_shared<SystemReachabilityFlagReader>(routes, write("route6", ""));
  auto reach = make<KXReachability>(reader);
  EXPECT_EQ(reach->internetConnectionStatus(), KXReachableViaWiFiNetwork);
  EXPECT_EQ(reach->localWiFiConnectionStatus(), KXNotReachable);  // the default route does not count
  reach->setHostName("10.1.2.3");
  EXPECT_EQ(reach->remoteHostStatus(), KXReachableViaWiFiNetwork);
}

TEST_F(SystemReaderTest, WithoutRoutesOnlyLoopbackIsReachable) {
  auto reader = std::make_shared<SystemReachabilityFlagReader>(write("route", kHeader), write("route6", ""));
  auto reach = make<KXReachability>(reader);
  EXPECT_EQ(reach->internetConnectionStatus(), KXNotReachable);
  reach->setHostName("10.1.2.3");
  EXPECT_EQ(reach->remoteHostStatus(), KXNotReachable);
  reach->setHostName("127.0.0.1");
  EXPECT_EQ(reach->remoteHostStatus(), KXReachableViaWiFiNetwork);
  reach->setHostName("localhost");
  EXPECT_EQ(reach->remoteHostStatus(), KXReachableViaWiFiNetwork);
  EXPECT_TRUE(reach->isHostReachable("::1"));
}

TEST_F(SystemReaderTest, LinkLocalRouteIsDirect) {
  std::string routes = write("route", std::string(kHeader) +
                                          "eth0\t0000FEA9\t00000000\t0001\t0\t0\t1000\t0000FFFF\t0\t0\t0\n");
  SystemReachabilityFlagReader reader(routes, write("route6", ""));
  sockaddr_in a{};
  KXReachability::addressFromString("169.254.7.9", &a);
  EXPECT_EQ(reader.flagsForIPv4(a.sin_addr.s_addr), R | D);
  KXReachability::addressFromString("10.0.0.1", &a);
  EXPECT_EQ(reader.flagsForIPv4(a.sin_addr.s_addr), 0u);
  auto reach = make<KXReachability>(std::make_shared<SystemReachabilityFlagReader>(routes, write("route6b", "")));
  EXPECT_EQ(reach->localWiFiConnectionStatus(), KXReachableViaWiFiNetwork);
  EXPECT_EQ(reach->internetConnectionStatus(), KXNotReachable);
}

TEST_F(SystemReaderTest, RoutesThatAreDownOrRejectingDoNotCount) {
  std::string routes = write("route", std::string(kHeader) +
                                          "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"
                                          "eth0\t00000000\t010200C0\t0201\t0\t0\t0\t00000000\t0\t0\t0\n");
  SystemReachabilityFlagReader reader(routes, write("route6", ""));
  EXPECT_EQ(reader.flagsForIPv4(htonl(0x08080808)), 0u);
}

TEST_F(SystemReaderTest, IPv6DefaultRoute) {
  std::string v6 = write("route6",
                         "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                         "fe800000000000000000000000000001 00000400 00000001 00000000 00000003 eth0\n"
                         "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                         "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200 lo\n");
  SystemReachabilityFlagReader reader(write("route", kHeader), v6);
  in6_addr a{};
  inet_pton(AF_INET6, "2001:db8::1", &a);
  EXPECT_EQ(reader.flagsForIPv6(a), R);
  SystemReachabilityFlagReader none(write("route4", kHeader), write("none6", ""));
  EXPECT_EQ(none.flagsForIPv6(a), 0u);
}

}  // namespace
