// The peckish-devserver program itself: command line, port file, signals, a database that lasts.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "ServerFixture.h"
#include "devserver/CommandLine.h"

extern char** environ;

namespace peckish::devserver::testing {
namespace {

const std::string kProgram = std::string(PECKISH_BINARY_DIR) + "/tools/peckish-devserver";

class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, kProgram.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }
  // Sends the signal and returns the exit status, or -1 when the program did not exit normally.
  int stop(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

int readPort(const std::filesystem::path& file) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(file);
    int port = 0;
    if (in >> port && port > 0) return port;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

platform::HttpResponse request(int port, const std::string& method, const std::string& path, const std::string& body) {
  platform::HttpRequest req;
  req.method = method;
  req.url = "http://127.0.0.1:" + std::to_string(port) + path;
  req.body = body;
  req.timeoutSeconds = 5;
  return platform::httpSend(req);
}

TEST(DevServerProgram, ServesOnAPrintedPortStopsOnSignalAndKeepsItsDatabase) {
  TempDir dir;
  auto portFile = dir.path() / "port";
  auto db = (dir.path() / "data" / "devserver.sqlite").string();
  {
    Child child({"--port", "0", "--print-port-file", portFile.string(), "--db", db, "--quiet",
                 "--analytics-secret", kSecret});
    ASSERT_TRUE(child.started());
    int port = readPort(portFile);
    ASSERT_GT(port, 0);
    EXPECT_EQ(request(port, "POST", "/highscores/public/save.php", "gid=3&player=Ann&score=1234").body, "OK");
    auto ack = request(port, "POST", "/servlet/KEY", encodeUploadBody(envelope({actionRecord("S", "1", "x")}), kSecret));
    EXPECT_TRUE(decodeAnswer(ack.body, kSecret)) << ack.body;
    EXPECT_EQ(child.stop(SIGTERM), 0);
  }
  std::filesystem::remove(portFile);
  Child again({"--print-port-file", portFile.string(), "--db", db, "--quiet", "--fault", "star"});
  int port = readPort(portFile);
  ASSERT_GT(port, 0);
  auto dump = parseJson(request(port, "GET", "/debug/highscores", "").body);
  ASSERT_TRUE(dump && dump->items.size() == 1);
  EXPECT_EQ(dump->items[0].stringOr("player"), "Ann");
  EXPECT_EQ(request(port, "POST", "/highscores/public/save.php", "gid=3&player=Bo&score=1").body, "*");
  EXPECT_EQ(again.stop(SIGINT), 0);
}

TEST(DevServerProgram, BadArgumentsAndBusyPortsEndWithAnError) {
  Child badOption({"--fault", "sometimes"});
  EXPECT_EQ(badOption.wait(), 2);

  ServerOptions options;
  options.secret = kSecret;
  DevServer holder(options);
  holder.start();
  Child busy({"--port", std::to_string(holder.port()), "--quiet"});
  EXPECT_EQ(busy.wait(), 1);
}

TEST(DevServerCommandLine, ReadsEveryOption) {
  auto cl = parseCommandLine({"--port", "8765", "--host", "0.0.0.0", "--db", "x.sqlite", "--fault", "html-encoded",
                              "--print-port-file", "p", "--analytics-secret", "s3", "--quiet"},
                             "default");
  EXPECT_TRUE(cl.error.empty()) << cl.error;
  EXPECT_EQ(cl.server.port, 8765);
  EXPECT_EQ(cl.server.host, "0.0.0.0");
  EXPECT_EQ(cl.server.db, "x.sqlite");
  EXPECT_EQ(cl.server.fault, FaultMode::HtmlEncoded);
  EXPECT_EQ(cl.portFile, "p");
  EXPECT_EQ(cl.server.secret, "s3");
  EXPECT_FALSE(cl.server.log);

  auto defaults = parseCommandLine({}, "default");
  EXPECT_EQ(defaults.server.port, 0);
  EXPECT_EQ(defaults.server.host, "127.0.0.1");
  EXPECT_EQ(defaults.server.secret, "default");
  EXPECT_TRUE(defaults.server.log);

  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--port"}, {"--port", "70000"}, {"--port", "12ab"}, {"--fault", "sometimes"}, {"--db"}, {"--frobnicate"},
           {"--analytics-secret", ""}}) {
    EXPECT_FALSE(parseCommandLine(bad, "default").error.empty()) << bad[0];
  }
}

}  // namespace
}  // namespace peckish::devserver::testing
