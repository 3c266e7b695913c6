#pragma once
// Synchronous HTTP exchanges (libcurl underneath).
#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace peckish::platform {

struct HttpRequest {
  std::string method = "GET";
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  double timeoutSeconds = 60.0;
  size_t maxResponseBytes = 4 * 1024 * 1024;  // a longer answer is cut off and reported as failed
  // When given, the exchange is given up (within a few milliseconds) once the flag is set.
  const std::atomic<bool>* cancel = nullptr;
};

struct HttpResponse {
  bool ok = false;           // an answer arrived (any status)
  long status = 0;           // HTTP status, 0 when no answer
  std::string body;
  std::string error;         // transport failure text when !ok
  bool timedOut = false;
  bool cancelled = false;    // given up because the cancel flag was set
};

// A server that cannot be reached (no connection, no name, no answer in time) is told to the player
// once a run for each host[:port] with a one-line notice.
HttpResponse httpSend(const HttpRequest& request);

// application/x-www-form-urlencoded percent-encoding of UTF-8 text (space as %20, unreserved kept).
std::string formUrlEncode(const std::string& text);

}  // namespace peckish::platform
