// Play statistics leave the machine only with the player's consent: the launch's decision, whole
// games of the real program against a local analytics server, and the question's answers in a
// launched application (sharing, declining, sharing again).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ShellTestSupport.h"
#include "analytics/KXDatabase.h"
#include "analytics/KXMD5.h"
#include "analytics/KXReachability.h"
#include "analytics/KXService.h"
#include "analytics/KXSpeedServer.h"
#include "devserver/DevServer.h"
#include "devserver/Store.h"
#include "platform/Device.h"

extern char** environ;

namespace peckish::test {
namespace {

constexpr const char* kKey = "PECKCONSENTTEST1";
constexpr const char* kSecret = "0123456789abcdef0123456789abcdef";

bool exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}
std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
bool isIdentifier(const std::string& s) {
  return s.size() == 40 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Where a data folder keeps things: the queue under documents/, the settings and the identifier
// under config/.
struct HomePaths {
  std::string root;
  std::string queue() const { return root + "/documents/Kestrix/kestrix.sql"; }
  std::string queueFolder() const { return root + "/documents/Kestrix"; }
  std::string identifierFile() const { return root + "/config/analytics-id"; }
  std::string defaults() const { return root + "/config/defaults"; }
  std::string identifier() const {
    std::string text = readText(identifierFile());
    return text.substr(0, text.find('\n'));
  }
  void writeDefaults(const std::string& text) const {
    std::filesystem::create_directories(root + "/config");
    std::ofstream(defaults()) << text;
  }
};

// A fresh data folder, removed with the object.
struct Home : HomePaths {
  Home() {
    std::string pattern = (std::filesystem::temp_directory_path() / "peckish-consent-XXXXXX").string();
    if (::mkdtemp(pattern.data())) root = pattern;
  }
  ~Home() {
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
  }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;
};

// The game program, started on a whole headless autoplay game in the home, talking to the server
// on port; wait() returns its exit status with its output in out.
class WholeGame {
 public:
  WholeGame(const HomePaths& home, int port, const std::vector<std::string>& extra, bool doNotTrack) : home_(home) {
    const std::string program = std::string(PECKISH_BINARY_DIR) + "/peckish";
    std::vector<std::string> args = {program, "--headless", "--play", "--autoplay", "--seed", "7", "--fixed-dt",
                                     "0.0333333", "--frames", "3700", "--mute"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v = *e;
      if (v.rfind("PECKISH_DATA_DIR=", 0) == 0 || v.rfind("PECKISH_ANALYTICS_", 0) == 0 ||
          v.rfind("DO_NOT_TRACK=", 0) == 0)
        continue;
      env.push_back(v);
    }
    env.push_back("PECKISH_DATA_DIR=" + home.root);
    env.push_back("PECKISH_ANALYTICS_HOST=127.0.0.1:" + std::to_string(port));
    env.push_back(std::string("PECKISH_ANALYTICS_KEY=") + kKey);
    env.push_back(std::string("PECKISH_ANALYTICS_SECRET=") + kSecret);
    if (doNotTrack) env.push_back("DO_NOT_TRACK=1");
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~WholeGame() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  int wait(std::string& out) {
    if (pid_ <= 0) return -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    out = readText(output());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::string output() const { return home_.root + "/output"; }
  HomePaths home_;
  pid_t pid_ = -1;
};

TEST(WholeGameConsent, OnlyARunThatSharesLeavesAQueueAnIdentifierAndUploads) {
  devserver::ServerOptions options;
  options.secret = kSecret;
  devserver::DevServer server(options);
  server.start();
  const struct Case {
    const char* what;
    std::vector<std::string> args;
    bool doNotTrack;
    const char* remembered;  // the defaults file before the run
    bool shares;
  } cases[] = {
      {"--analytics off", {"--analytics", "off"}, false, nullptr, false},
      {"DO_NOT_TRACK=1", {}, true, nullptr, false},
      {"--analytics on over DO_NOT_TRACK and a remembered Don't share", {"--analytics=on"}, true, "analytics=0\n",
       true},
  };
  // The three games at once: each takes a while on a busy machine.
  std::vector<std::unique_ptr<Home>> homes;
  std::vector<std::unique_ptr<WholeGame>> games;
  for (const Case& c : cases) {
    homes.push_back(std::make_unique<Home>());
    ASSERT_FALSE(homes.back()->root.empty());
    if (c.remembered) homes.back()->writeDefaults(c.remembered);
    games.push_back(std::make_unique<WholeGame>(*homes.back(), server.port(), c.args, c.doNotTrack));
  }
  std::vector<std::string> outputs(games.size());
  for (std::size_t i = 0; i < games.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(games[i]->wait(outputs[i]), 0) << outputs[i];
    EXPECT_NE(outputs[i].find("final score: "), std::string::npos) << outputs[i];
  }
  const std::vector<devserver::UploadRow> uploads = server.store().uploads();
  std::size_t uploadsOfSharers = 0;
  for (std::size_t i = 0; i < games.size(); ++i) {
    const Case& c = cases[i];
    const Home& home = *homes[i];
    SCOPED_TRACE(c.what);
    EXPECT_EQ(exists(home.queue()), c.shares);
    EXPECT_EQ(exists(home.queueFolder()), c.shares);
    EXPECT_EQ(exists(home.identifierFile()), c.shares);
    // The command line decides for its run only.
    if (c.remembered) {
      EXPECT_EQ(readText(home.defaults()), c.remembered);
    }
    if (!c.shares) continue;
    const std::string id = home.identifier();
    EXPECT_TRUE(isIdentifier(id)) << id;
    // Its uploads carry its identifier, hashed.
    for (const devserver::UploadRow& u : uploads)
      if (u.envelope.find("\"person_hash\" : \"" + KXMD5(id) + "\"") != std::string::npos) ++uploadsOfSharers;
  }
  EXPECT_GT(uploadsOfSharers, 0u);
  EXPECT_EQ(uploads.size(), uploadsOfSharers) << "a run that does not share sent something";
}

// The installation's identifier: random per home, kept there, never the machine's.
TEST(WholeGameConsent, TheIdentifierIsRandomPerHomeAndKept) {
  Home first, second;
  ScopedEnv data("PECKISH_DATA_DIR", first.root);
  const std::string a = platform::deviceUniqueIdentifier();
  EXPECT_TRUE(isIdentifier(a)) << a;
  EXPECT_EQ(first.identifier(), a);
  EXPECT_EQ(platform::deviceUniqueIdentifier(), a) << "not kept";
  {
    ScopedEnv other("PECKISH_DATA_DIR", second.root);
    const std::string b = platform::deviceUniqueIdentifier();
    EXPECT_TRUE(isIdentifier(b)) << b;
    EXPECT_NE(b, a) << "two homes on one machine have one identifier";
  }
  platform::forgetDeviceUniqueIdentifier();
  EXPECT_FALSE(exists(first.identifierFile()));
  EXPECT_NE(platform::deviceUniqueIdentifier(), a) << "a forgotten identifier came back";
}

class ConsentTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    devserver::ServerOptions options;
    options.secret = kSecret;
    server = std::make_unique<devserver::DevServer>(options);
    server->start();
    hostEnv = std::make_unique<ScopedEnv>("PECKISH_ANALYTICS_HOST", "127.0.0.1:" + std::to_string(server->port()));
    keyEnv = std::make_unique<ScopedEnv>("PECKISH_ANALYTICS_KEY", kKey);
    secretEnv = std::make_unique<ScopedEnv>("PECKISH_ANALYTICS_SECRET", kSecret);
    ::unsetenv("DO_NOT_TRACK");
  }
  void TearDown() override {
    if (app) app->applicationWillTerminate(*platform::Application::sharedApplication());
    if (Singleton<KXService>::exists()) {
      EXPECT_TRUE(KXService::sharedService()->waitForThreads(20.0));
    }
    purgeAnalytics();
    ShellTest::TearDown();
    server.reset();
  }
  static void purgeAnalytics() {
    KXService::purgeShared();
    KXSpeedServer::purgeShared();
    KXDatabase::purgeShared();
    KXReachability::purgeShared();
  }
  // The real analytics client instead of the fixture's recorders.
  void useTheRealClient() {
    PeckishAppDelegate::setAnalyticsStart(previousStart);
    PeckishAppDelegate::setAnalyticsStop(previousStop);
    setLogAnalyticsActionHook({});
  }
  HomePaths home() const { return HomePaths{dataDir}; }
  std::size_t uploads() { return server->store().uploads().size(); }
  // A game from the menu to its end, then past the upload interval on the main run loop.
  void wholeGameAndAnUploadTick() {
    playFromMenu();
    endGame();
    clock.advance(KXService::kUploadInterval + 1.0);
    platform::RunLoop::main().runOnce(0.0);
    if (Singleton<KXService>::exists()) KXService::sharedService()->waitForThreads(10.0);
  }
  std::optional<std::string> remembered() { return platform::UserDefaults::standard().stringForKey("analytics"); }

  std::unique_ptr<devserver::DevServer> server;
  std::unique_ptr<ScopedEnv> hostEnv, keyEnv, secretEnv;
};

TEST_F(ConsentTest, TheRunDecidesOverTheRememberedAnswerWhichDecidesOverTheQuestion) {
  using Choice = PeckishAppDelegate::AnalyticsChoice;
  const struct Case {
    std::optional<bool> option;
    bool doNotTrack, headless, autoplay;
    const char* remembered;
    Choice expected;
  } cases[] = {
      {std::nullopt, false, false, false, nullptr, Choice::Undecided},
      {std::nullopt, false, false, false, "x", Choice::Undecided},
      {std::nullopt, false, false, false, "1", Choice::Share},
      {std::nullopt, false, false, false, "0", Choice::DontShare},
      {std::nullopt, true, false, false, "1", Choice::DontShare},
      {std::nullopt, false, true, false, "1", Choice::DontShare},
      {std::nullopt, false, false, true, "1", Choice::DontShare},
      {false, false, false, false, "1", Choice::DontShare},
      {true, true, true, true, "0", Choice::Share},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "option " << (c.option ? (*c.option ? "on" : "off") : "none") << ", DNT "
                                      << c.doNotTrack << ", headless " << c.headless << ", autoplay " << c.autoplay
                                      << ", remembered " << (c.remembered ? c.remembered : "nothing"));
    if (c.remembered) platform::UserDefaults::standard().setString("analytics", c.remembered);
    else platform::UserDefaults::standard().removeObjectForKey("analytics");
    std::unique_ptr<ScopedEnv> dnt;
    if (c.doNotTrack) dnt = std::make_unique<ScopedEnv>("DO_NOT_TRACK", "1");
    platform::Options o;
    o.analytics = c.option;
    o.headless = c.headless;
    o.autoplay = c.autoplay;
    EXPECT_EQ(PeckishAppDelegate::analyticsChoice(o), c.expected);
  }
  // Undecided on a display without a window: no question, nothing started.
  platform::UserDefaults::standard().removeObjectForKey("analytics");
  launch();
  settle();
  platform::RunLoop::main().runOnce(0.0);
  EXPECT_EQ(alertCount(), 0);
  EXPECT_TRUE(journal.empty());
  EXPECT_FALSE(app->analyticsRunning());
}

TEST_F(ConsentTest, SharingDecliningAndSharingAgainThroughTheQuestion) {
  useTheRealClient();
  const HomePaths h = home();
  // A remembered "Don't share", in a run that is neither headless nor autoplay: a whole game
  // leaves no queue, no identifier and sends nothing.
  platform::UserDefaults::standard().setString("analytics", "0");
  launch();
  wholeGameAndAnUploadTick();
  EXPECT_FALSE(app->analyticsRunning());
  EXPECT_FALSE(exists(h.queueFolder()));
  EXPECT_FALSE(exists(h.identifierFile()));
  EXPECT_EQ(uploads(), 0u);

  // The question: what, where to, that it can be changed; "Share" starts the client at once.
  app.reset();
  resetEngine();
  launch();
  app->askAnalyticsConsent();
  ui::AlertView* question = alert();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(question->title(), "Share play statistics?");
  for (const std::string& said : {std::string("play events"), std::string("locale"), std::string("machine type"),
                                  std::string("random number"), std::string("Never your name"), std::string("location"),
                                  std::string("127.0.0.1:") + std::to_string(server->port()), std::string("settings")})
    EXPECT_NE(question->message().find(said), std::string::npos) << said;
  ASSERT_EQ(question->numberOfButtons(), 2);
  EXPECT_EQ(question->buttonTitleAtIndex(0), "Share");
  EXPECT_EQ(question->buttonTitleAtIndex(1), "Don't share");
  // The box is centred, not pinned to the bottom edge (4 points, plus its padding): it fits the screen.
  EXPECT_GT(question->buttonRect(0).origin.y, 18.f) << "the question does not fit on the screen";
  tapButton(question, 0);
  EXPECT_EQ(remembered(), "1");
  EXPECT_TRUE(app->analyticsRunning());
  wholeGameAndAnUploadTick();
  const std::string first = h.identifier();
  EXPECT_TRUE(isIdentifier(first)) << first;
  EXPECT_TRUE(exists(h.queue()));
  ASSERT_GT(uploads(), 0u);
  EXPECT_NE(server->store().uploads().back().envelope.find(KXMD5(first)), std::string::npos);

  // Escape declines: the client stops, the queue and the identifier go, nothing more is sent.
  app->askAnalyticsConsent();
  ASSERT_EQ(alert()->title(), "Share play statistics?");
  key(platform::Key::Escape);
  EXPECT_EQ(remembered(), "0");
  EXPECT_FALSE(app->analyticsRunning());
  EXPECT_FALSE(Singleton<KXService>::exists());
  EXPECT_FALSE(exists(h.queueFolder()));
  EXPECT_FALSE(exists(h.identifierFile()));
  const std::size_t sent = uploads();
  logAnalyticsAction("instruct");
  clock.advance(2 * KXService::kUploadInterval);
  platform::RunLoop::main().runOnce(0.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(uploads(), sent);
  EXPECT_FALSE(exists(h.queueFolder()));
  EXPECT_FALSE(exists(h.identifierFile()));

  // Sharing again starts afresh, with a new identifier.
  app->askAnalyticsConsent();
  tapButton(alert(), 0);
  EXPECT_TRUE(app->analyticsRunning());
  EXPECT_TRUE(exists(h.queue()));
  const std::string second = h.identifier();
  EXPECT_TRUE(isIdentifier(second)) << second;
  EXPECT_NE(second, first);
}

}  // namespace
}  // namespace peckish::test
