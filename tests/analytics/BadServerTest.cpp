// The analytics client against a server that misbehaves in every way the development server can:
// refused connections, a silent server, empty, garbage and endless answers, an answer trickling in.
// The main thread never waits for an exchange, no record is lost, and once the server behaves again
// every record arrives.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "analytics/ServiceTestSupport.h"

using namespace peckish;
using namespace peckish::testing;

namespace {

struct Misbehaviour {
  const char* name;
  devserver::FaultMode mode;
  bool refused;  // nothing listens at the analytics address
};

void PrintTo(const Misbehaviour& m, std::ostream* os) { *os << m.name; }

class BadServerTest : public ServiceWorld, public ::testing::WithParamInterface<Misbehaviour> {
 protected:
  // Every action name that must survive: delivered, or still in the queue.
  void expectNothingLost(const std::vector<std::string>& names) {
    std::set<std::string> seen;
    for (const QueueRow& r : queue()) seen.insert(r.action);
    for (const QueueRow& r : inFlightRows()) seen.insert(r.action);
    for (const auto& e : received()) seen.insert(e.action);
    for (const std::string& n : names) EXPECT_TRUE(seen.count(n)) << n << " was lost";
  }
};

TEST_P(BadServerTest, TheMainThreadGoesOnAndNothingIsLost) {
  const Misbehaviour& m = GetParam();
  if (m.refused) setenv("PECKISH_ANALYTICS_HOST", "127.0.0.1:1", 1);
  server->setFault(m.mode);
  // The silent and trickling servers are given up after a second instead of ten.
  KXSpeedServer::sharedServer()->setTimeout(1.0);

  storeActions(5, "r");
  std::vector<std::string> names = {"r0", "r1", "r2", "r3", "r4", "Analysis Started"};
  const auto started = std::chrono::steady_clock::now();
  service()->startAnalysisUsingLocation(false);  // the upload of r0..r4 starts on its own thread
  EXPECT_EQ(service()->threadsStarted(), 1);

  // While that exchange goes wrong, logging and the run loop answer at once.
  std::chrono::steady_clock::duration slowest{};
  for (int i = 0; i < 25; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::string name = "m" + std::to_string(i);
    service()->logAction(name);
    platform::RunLoop::main().runOnce(0.0);
    slowest = std::max(slowest, std::chrono::steady_clock::now() - t0);
    names.push_back(name);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_LT(slowest, std::chrono::milliseconds(250));
  ASSERT_TRUE(service()->waitForThreads(20.0));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
  EXPECT_EQ(service()->uploadsInFlight(), 0);
  EXPECT_TRUE(inFlightRows().empty());
  expectNothingLost(names);
  // The failed batch is back in the queue, behind what was logged meanwhile.
  EXPECT_EQ(queue().size(), names.size());

  if (m.refused) return;  // the address stays wrong for this process
  // The server recovers: the timer's uploads bring everything over, each record at least once.
  server->setFault(devserver::FaultMode::None);
  for (int i = 0; i < 10 && !queue().empty(); ++i) {
    platform::RunLoop::main().advance(KXService::kUploadInterval);
    ASSERT_TRUE(service()->waitForThreads(20.0));
  }
  EXPECT_TRUE(queue().empty());
  std::set<std::string> arrived;
  for (const auto& e : received()) arrived.insert(e.action);
  for (const std::string& n : names) EXPECT_TRUE(arrived.count(n)) << n << " never arrived";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadServerTest,
    ::testing::Values(Misbehaviour{"refused", devserver::FaultMode::None, true},
                      Misbehaviour{"stall", devserver::FaultMode::Stall, false},
                      Misbehaviour{"empty", devserver::FaultMode::Empty, false},
                      Misbehaviour{"garbage", devserver::FaultMode::Garbage, false},
                      Misbehaviour{"star", devserver::FaultMode::Star, false},
                      Misbehaviour{"html", devserver::FaultMode::HtmlEncoded, false},
                      Misbehaviour{"huge", devserver::FaultMode::Huge, false},
                      Misbehaviour{"trickle", devserver::FaultMode::Trickle, false}),
    [](const ::testing::TestParamInfo<Misbehaviour>& info) { return std::string(info.param.name); });

class EndlessAnswerTest : public ServiceWorld {
 protected:
  void SetUp() override {
    ServiceWorld::SetUp();
    // Far more than the transport may read: without a cap this would take a gigabyte of memory.
    devserver::ServerOptions options;
    options.secret = kTestSecret;
    options.hugeBytes = std::size_t{1} << 30;
    options.fault = devserver::FaultMode::Huge;
    server = std::make_unique<devserver::DevServer>(options);
    server->start();
    host = "127.0.0.1:" + std::to_string(server->port());
    setenv("PECKISH_ANALYTICS_HOST", host.c_str(), 1);
  }
};

TEST_F(EndlessAnswerTest, OnlyAFewHundredKilobytesAreReadAndTheBatchGoesBack) {
  storeActions(5, "r");
  const auto started = std::chrono::steady_clock::now();
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(service()->waitForThreads(20.0));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(queue().size(), 6u);
  EXPECT_TRUE(inFlightRows().empty());
}

}  // namespace
