#include "platform/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/Log.h"
#include "platform/RunLoop.h"

namespace peckish::platform {
namespace {
struct Sink {
  std::string* body;
  size_t limit;
  bool overflow = false;
};
size_t onData(char* ptr, size_t size, size_t n, void* user) {
  auto* s = static_cast<Sink*>(user);
  size_t len = size * n;
  if (s->body->size() + len > s->limit) {
    s->overflow = true;
    return 0;  // abort the transfer
  }
  s->body->append(ptr, len);
  return len;
}
constexpr int kCancelPollMs = 10;

// Runs the transfer; with a cancel flag it is driven step by step so that setting the flag ends it
// within a poll interval (the progress callback of a blocking transfer may come only once a second).
CURLcode perform(CURL* c, const std::atomic<bool>* cancel) {
  if (!cancel) return curl_easy_perform(c);
  if (cancel->load()) return CURLE_ABORTED_BY_CALLBACK;
  CURLM* m = curl_multi_init();
  if (!m) return CURLE_OUT_OF_MEMORY;
  if (curl_multi_add_handle(m, c) != CURLM_OK) {
    curl_multi_cleanup(m);
    return CURLE_FAILED_INIT;
  }
  CURLcode rc = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(m, &running) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) {
      int left = 0;
      rc = CURLE_FAILED_INIT;
      while (CURLMsg* msg = curl_multi_info_read(m, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == c) rc = msg->data.result;
      break;
    }
    if (cancel->load()) {
      rc = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    curl_multi_poll(m, nullptr, 0, kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(m, c);
  curl_multi_cleanup(m);
  return rc;
}

void globalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
// "host[:port]" of an address.
std::string hostOf(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  const size_t end = url.find_first_of("/?#", start);
  return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool unreachable(CURLcode rc) {
  return rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_CONNECT || rc == CURLE_OPERATION_TIMEDOUT ||
         rc == CURLE_COULDNT_RESOLVE_PROXY;
}
}  // namespace

HttpResponse httpSend(const HttpRequest& req) {
  globalInit();
  HttpResponse res;
  CURL* c = curl_easy_init();
  if (!c) {
    res.error = "could not start a transfer";
    return res;
  }
  Sink sink{&res.body, req.maxResponseBytes};
  curl_slist* headers = nullptr;
  for (const auto& [k, v] : req.headers) headers = curl_slist_append(headers, (k + ": " + v).c_str());
  curl_easy_setopt(c, CURLOPT_URL, req.url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onData);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(req.timeoutSeconds * 1000));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(req.timeoutSeconds * 1000));
  if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  if (req.method == "POST") {
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(req.body.size()));
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, req.body.data());
  } else if (req.method != "GET") {
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, req.method.c_str());
    if (!req.body.empty()) {
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(req.body.size()));
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, req.body.data());
    }
  }
  CURLcode rc = perform(c, req.cancel);
  if (rc == CURLE_OK) {
    res.ok = true;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &res.status);
  } else {
    res.ok = false;
    res.timedOut = rc == CURLE_OPERATION_TIMEDOUT;
    res.cancelled = rc == CURLE_ABORTED_BY_CALLBACK;
    res.error = sink.overflow ? "response too large" : res.cancelled ? "cancelled" : curl_easy_strerror(rc);
    res.body.clear();
    // Once a run for each server: the player learns why scores and statistics stay on this machine.
    if (unreachable(rc)) playerNotice("cannot reach the server at %s; playing offline", hostOf(req.url).c_str());
  }
  if (headers) curl_slist_free_all(headers);
  curl_easy_cleanup(c);
  return res;
}

namespace {
// The exchanges whose worker runs. Never destroyed: a worker given up at exit may end after main
// has returned.
struct Workers {
  std::mutex mutex;
  std::condition_variable idle;
  std::vector<HttpExchange*> running;  // each kept alive by its worker
};
Workers& workers() {
  static Workers* w = new Workers;
  return *w;
}
}  // namespace

HttpExchange::HttpExchange(HttpRequest request, Done done) : request_(std::move(request)), done_(done) {
  request_.cancel = &cancelled_;
}

HttpExchange::~HttpExchange() = default;

Ref<HttpExchange> HttpExchange::start(HttpRequest request, Done done) {
  Ref<HttpExchange> exchange(new HttpExchange(std::move(request), done));
  Workers& w = workers();
  {
    std::lock_guard<std::mutex> lock(w.mutex);
    w.running.push_back(exchange.get());
  }
  try {
    std::thread([exchange] { exchange->work(); }).detach();
  } catch (const std::system_error& e) {
    {
      std::lock_guard<std::mutex> lock(w.mutex);
      w.running.erase(std::find(w.running.begin(), w.running.end(), exchange.get()));
    }
    // No worker: the answer is a failed exchange, handed over as any other.
    exchange->response_.error = std::string("could not start a transfer: ") + e.what();
    RunLoop::main().post([exchange] { exchange->deliver(); });
  }
  return exchange;
}

void HttpExchange::work() {
  HttpResponse response = httpSend(request_);
  if (!isCancelled()) {
    response_ = std::move(response);
    Ref<HttpExchange> self(this);
    RunLoop::main().post([self] { self->deliver(); });
  }
  Workers& w = workers();
  std::lock_guard<std::mutex> lock(w.mutex);
  w.running.erase(std::find(w.running.begin(), w.running.end(), this));
  w.idle.notify_all();
}

void HttpExchange::deliver() {
  if (delivered_ || isCancelled()) return;
  delivered_ = true;
  const Done done = std::exchange(done_, Done{});
  if (done) done(response_);
}

bool HttpExchange::cancelAll(double seconds) {
  Workers& w = workers();
  std::unique_lock<std::mutex> lock(w.mutex);
  for (HttpExchange* exchange : w.running) exchange->cancel();
  return w.idle.wait_for(lock, std::chrono::duration<double>(seconds), [&w] { return w.running.empty(); });
}

int HttpExchange::running() {
  Workers& w = workers();
  std::lock_guard<std::mutex> lock(w.mutex);
  return static_cast<int>(w.running.size());
}

std::string formUrlEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

}  // namespace peckish::platform
