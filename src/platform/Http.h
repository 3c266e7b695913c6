#pragma once
// HTTP exchanges (libcurl underneath): httpSend waits for its answer; an HttpExchange runs one on a
// worker thread and hands the answer to the main thread.
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "core/Callback.h"
#include "core/Object.h"

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

// One exchange on a worker thread of its own, for the main thread, which must not wait for a server:
// the answer is handed to `done` on the main thread, through the main run loop's task queue. The
// worker touches nothing but the request and the answer. Given up (cancel, or cancelAll at
// termination), the exchange ends within a few milliseconds and `done` is never called.
//
//   send_ = HttpExchange::start(request, HttpExchange::Done(this, &GameNode::scoreSent));
//   ...
//   send_->cancel();
class HttpExchange : public Object {
 public:
  // Receives the answer as httpSend returns it. The receiver is not owned: it cancels the exchange
  // before it goes away.
  using Done = Callback<void(const HttpResponse&)>;

  // Main thread. The request's own cancel flag is replaced by the exchange's.
  static Ref<HttpExchange> start(HttpRequest request, Done done);
  ~HttpExchange() override;

  // Main thread: gives the exchange up; `done` is not called.
  void cancel() { cancelled_.store(true); }
  bool isCancelled() const { return cancelled_.load(); }
  // Main thread: neither answered nor given up yet.
  bool isPending() const { return !delivered_ && !isCancelled(); }

  // Gives up every exchange whose worker still runs and waits up to `seconds` for those workers to
  // end; true when none is left. Application::terminate calls it.
  static bool cancelAll(double seconds);
  // Workers still running.
  static int running();

 private:
  HttpExchange(HttpRequest request, Done done);
  void work();
  void deliver();

  HttpRequest request_;
  HttpResponse response_;
  Done done_;
  std::atomic<bool> cancelled_{false};
  bool delivered_ = false;  // main thread
};

// application/x-www-form-urlencoded percent-encoding of UTF-8 text (space as %20, unreserved kept).
std::string formUrlEncode(const std::string& text);

}  // namespace peckish::platform
