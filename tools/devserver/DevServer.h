#pragma once
// The local stand-in for the high-score server and the analytics server.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace peckish::devserver {

class Store;

// How the score and analytics endpoints misbehave. Broken modes answer at once and handle nothing;
// the slow modes (Stall, Trickle) handle the request as usual and only delay the answer.
enum class FaultMode {
  None,
  Star,         // body "*"
  Garbage,      // bytes that are not Base64
  Html,         // a plain HTML error page
  HtmlEncoded,  // an HTML page, encrypted and encoded like a real answer
  Ad,           // a well-formed encoded ad answer
  Stall,        // hold the request (35 s by default, or until shutdown), then answer as usual
  Empty,        // empty body
  Huge,         // a 20 MB body
  Trickle,      // the usual answer, one byte every 100 ms
};

std::optional<FaultMode> faultModeFromName(std::string_view name);
const char* faultModeName(FaultMode mode);
const char* faultModeNames();  // for usage texts

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 0;  // 0: any free port
  std::string db = ":memory:";
  std::string secret;  // the analytics RC4 key
  FaultMode fault = FaultMode::None;
  double stallSeconds = 35.0;
  double trickleInterval = 0.1;
  size_t hugeBytes = 20u * 1024 * 1024;
  bool log = false;  // one line per request on standard error
};

class DevServer {
 public:
  // Opens the database; throws std::runtime_error when it cannot be used.
  explicit DevServer(ServerOptions options);
  ~DevServer();  // stops the server
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  // Binds and starts serving on a thread of its own; throws std::runtime_error when the address
  // cannot be bound.
  void start();
  // Ends stalled and trickling answers, stops listening and waits for the request threads.
  void stop();
  bool running() const;

  int port() const;  // the bound port, after start()
  std::string baseUrl() const;

  void setFault(FaultMode mode);
  FaultMode fault() const;

  Store& store();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace peckish::devserver
