#include "platform/Http.h"

#include <curl/curl.h>

#include <mutex>

#include "core/Log.h"

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
  CURLcode rc = curl_easy_perform(c);
  if (rc == CURLE_OK) {
    res.ok = true;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &res.status);
  } else {
    res.ok = false;
    res.timedOut = rc == CURLE_OPERATION_TIMEDOUT;
    res.error = sink.overflow ? "response too large" : curl_easy_strerror(rc);
    res.body.clear();
    // Once a run for each server: the player learns why scores and statistics stay on this machine.
    if (unreachable(rc)) playerNotice("cannot reach the server at %s; playing offline", hostOf(req.url).c_str());
  }
  if (headers) curl_slist_free_all(headers);
  curl_easy_cleanup(c);
  return res;
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
