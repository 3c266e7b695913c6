#pragma once
// A development server on a free port of 127.0.0.1, and the client side of its exchanges.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "devserver/Codec.h"
#include "devserver/DevServer.h"
#include "devserver/Json.h"
#include "devserver/Store.h"
#include "platform/Http.h"

namespace peckish::devserver::testing {

inline constexpr const char* kSecret = "0123456789abcdef0123456789abcdef";

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("peckish-devserver-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class ServerTest : public ::testing::Test {
 protected:
  // Tests that need other options set them and call startServer() themselves.
  void SetUp() override { options.secret = kSecret; }
  void TearDown() override { server.reset(); }

  void startServer() {
    server = std::make_unique<DevServer>(options);
    server->start();
  }

  platform::HttpResponse send(const std::string& method, const std::string& path, const std::string& body = {},
                              double timeout = 5.0, size_t maxBytes = 4 * 1024 * 1024) {
    platform::HttpRequest req;
    req.method = method;
    req.url = server->baseUrl() + path;
    req.body = body;
    req.timeoutSeconds = timeout;
    req.maxResponseBytes = maxBytes;
    if (method == "POST") req.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    return platform::httpSend(req);
  }
  platform::HttpResponse get(const std::string& path) { return send("GET", path); }
  platform::HttpResponse post(const std::string& path, const std::string& body, double timeout = 5.0) {
    return send("POST", path, body, timeout);
  }

  platform::HttpResponse saveScore(const std::string& player, int score, int gid = 3) {
    return post("/highscores/public/save.php", "gid=" + std::to_string(gid) +
                                                   "&player=" + platform::formUrlEncode(player) +
                                                   "&score=" + std::to_string(score));
  }

  void setFault(const std::string& mode) {
    auto res = post("/debug/fault?mode=" + mode, "");
    ASSERT_EQ(res.status, 200) << res.body;
  }

  ServerOptions options;
  std::unique_ptr<DevServer> server;
};

// Texts laid out the way the game's analytics client writes them.
inline std::string actionRecord(const std::string& session, const std::string& time, const std::string& action) {
  return "{\"session\" : \"" + session + "\",\"time\" : \"" + time + "\",\"type\" : \"action\",\"action\" : \"" +
         action + "\"}";
}

inline std::string adRecord(const std::string& session, const std::string& time) {
  return "{\"type\" : \"ad\",\"withloc\" : \"false\", \"time\" : \"" + time + "\", \"session\" : \"" + session + "\"}";
}

inline std::string envelope(const std::vector<std::string>& records) {
  std::string text =
      "{\"code_version\" : \"1.1.3\", \"person_hash\" : \"900150983CD24FB0D6963F7D28E17F72\",\"connection_type\" : "
      "\"2\",\"device\" : \"Linux PC\", \"platform_id\" : \"1\", \"locale\" : \"en_US\", \"connection_time\" : "
      "\"1700000000\", \"data\" : [";
  for (size_t i = 0; i < records.size(); ++i) text += (i ? "," : "") + records[i];
  return text + "]}";
}

}  // namespace peckish::devserver::testing
