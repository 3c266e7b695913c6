#include "devserver/DevServer.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "devserver/Codec.h"
#include "devserver/Envelope.h"
#include "devserver/Json.h"
#include "devserver/Pages.h"
#include "devserver/Store.h"

namespace peckish::devserver {
namespace {

struct ModeName {
  FaultMode mode;
  const char* name;
};
constexpr ModeName kModes[] = {
    {FaultMode::None, "none"},       {FaultMode::Star, "star"},   {FaultMode::Garbage, "garbage"},
    {FaultMode::Html, "html"},       {FaultMode::HtmlEncoded, "html-encoded"},
    {FaultMode::Ad, "ad"},           {FaultMode::Stall, "stall"}, {FaultMode::Empty, "empty"},
    {FaultMode::Huge, "huge"},       {FaultMode::Trickle, "trickle"},
};

constexpr const char* kAckJson = R"({"type":"ack","success":true,"errors":"","data":[]})";
constexpr size_t kMaxPlayerBytes = 256;
constexpr size_t kMaxRequestBytes = 1 << 20;
constexpr int kRankingRows = 100;
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json";

// Bytes no Base64 reader accepts, starting with something other than "*".
const std::string kGarbage("\x01\x02\xfe\xff%%not base64!!\x80\x7f<>?", 22);

constexpr const char* kErrorPage =
    "<!DOCTYPE html>\n<html><head><title>503 Service Unavailable</title></head>\n"
    "<body><h1>Service Unavailable</h1><p>The server is temporarily unable to service your request.</p></body></html>\n";

std::optional<int64_t> parseInteger(std::string_view text, int64_t lo, int64_t hi) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
    return std::nullopt;
  return value;
}

void badRequest(httplib::Response& res, const std::string& why) {
  res.status = 400;
  res.set_content("bad request: " + why + "\n", kText);
}

// The analytics client reads any body that starts with "*" as "no answer"; failures on the
// analytics endpoint say so first and explain after it.
void badUpload(httplib::Response& res, const std::string& why) {
  res.status = 400;
  res.set_content("* bad upload: " + why + "\n", kText);
}

}  // namespace

std::optional<FaultMode> faultModeFromName(std::string_view name) {
  for (const auto& m : kModes)
    if (name == m.name) return m.mode;
  return std::nullopt;
}

const char* faultModeName(FaultMode mode) {
  for (const auto& m : kModes)
    if (mode == m.mode) return m.name;
  return "none";
}

const char* faultModeNames() { return "none, star, garbage, html, html-encoded, ad, stall, empty, huge, trickle"; }

struct DevServer::Impl {
  ServerOptions options;
  Store store;
  httplib::Server server;
  std::thread thread;
  int port = 0;
  std::atomic<FaultMode> fault{FaultMode::None};
  std::atomic<bool> running{false};

  std::mutex stopMutex;
  std::condition_variable stopCondition;
  bool stopping = false;

  explicit Impl(ServerOptions o) : options(std::move(o)), store(options.db) { fault = options.fault; }

  // Waits for the given time; false when the server is shutting down first.
  bool pause(double seconds) {
    std::unique_lock lock(stopMutex);
    return !stopCondition.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stopping; });
  }
  bool isStopping() {
    std::lock_guard lock(stopMutex);
    return stopping;
  }

  std::string baseUrl() const { return "http://" + options.host + ":" + std::to_string(port); }

  std::string adJson() const {
    return R"({"type":"ad","success":true,"errors":"","data":[{"title":"Peckish Gold",)"
           R"("desc":"Twice the roosters, half the patience.","link":)" +
           jsonQuote(baseUrl() + "/highscores/public/buymore.php") + "}]}";
  }

  // ---- the score server ----

  void save(const httplib::Request& req, httplib::Response& res) {
    auto form = parseForm(req.body);
    if (!form) return badRequest(res, "malformed form body");
    const std::string* fields[3] = {nullptr, nullptr, nullptr};
    static constexpr const char* kNames[3] = {"gid", "player", "score"};
    for (const auto& [name, value] : *form) {
      for (int i = 0; i < 3; ++i) {
        if (name != kNames[i]) continue;
        // A second value means the body was put together without escaping the name.
        if (fields[i]) return badRequest(res, std::string("field ") + kNames[i] + " given twice");
        fields[i] = &value;
      }
    }
    for (int i = 0; i < 3; ++i)
      if (!fields[i]) return badRequest(res, std::string("missing field ") + kNames[i]);
    auto gid = parseInteger(*fields[0], 0, std::numeric_limits<int32_t>::max());
    if (!gid) return badRequest(res, "gid is not a game number");
    auto score = parseInteger(*fields[2], 0, std::numeric_limits<int32_t>::max());
    if (!score) return badRequest(res, "score is not a whole number from 0 to 2147483647");
    const std::string& player = *fields[1];
    if (!isValidUtf8(player) || player.find('\0') != std::string::npos)
      return badRequest(res, "player is not UTF-8 text");
    if (player.size() > kMaxPlayerBytes) return badRequest(res, "player name too long");
    store.addScore(*gid, player, *score);
    res.set_content("OK", kText);
  }

  void index(const httplib::Request& req, httplib::Response& res) {
    std::optional<int64_t> gid;
    if (req.has_param("gid")) gid = parseInteger(req.get_param_value("gid"), 0, std::numeric_limits<int32_t>::max());
    if (!gid) {
      res.status = 400;
      res.set_content(messagePage(400, "Bad Request", "Which game? Add ?gid=3 to the address."), kHtml);
      return;
    }
    res.set_content(highScoresPage(*gid, store.ranking(*gid, kRankingRows)), kHtml);
  }

  // ---- the analytics server ----

  void servlet(const httplib::Request& req, httplib::Response& res) {
    const std::string key = req.matches.size() > 1 ? std::string(req.matches[1]) : std::string();
    // The args value keeps its "+" (see decodeUploadArgs), so the body is split here by hand.
    std::optional<std::string_view> args;
    std::string_view body = req.body;
    size_t pos = 0;
    while (pos <= body.size()) {
      size_t amp = std::min(body.find('&', pos), body.size());
      std::string_view pair = body.substr(pos, amp - pos);
      size_t eq = pair.find('=');
      auto name = percentDecode(pair.substr(0, eq), true);
      if (name && *name == "args") {
        if (args) return badUpload(res, "args given twice");
        args = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
      }
      pos = amp + 1;
    }
    if (!args) return badUpload(res, "no args field");
    auto envelope = decodeUploadArgs(*args, options.secret);
    if (!envelope) return badUpload(res, "args is not Base64");
    std::string error;
    auto parsed = parseEnvelope(*envelope, &error);
    if (!parsed) return badUpload(res, error + " (is the secret right?)");
    store.addUpload(key, *envelope, parsed->records);
    bool wantsAd = std::any_of(parsed->records.begin(), parsed->records.end(),
                               [](const EnvelopeRecord& r) { return r.type == "ad"; });
    res.set_content(encodeAnswer(wantsAd ? adJson() : std::string(kAckJson), options.secret), kText);
  }

  // ---- faults ----

  void withFault(const httplib::Request& req, httplib::Response& res,
                 void (Impl::*handler)(const httplib::Request&, httplib::Response&)) {
    switch (fault.load()) {
      case FaultMode::None: (this->*handler)(req, res); return;
      case FaultMode::Star: res.set_content("*", kText); return;
      case FaultMode::Garbage: res.set_content(kGarbage, "application/octet-stream"); return;
      case FaultMode::Html: res.set_content(kErrorPage, kHtml); return;
      case FaultMode::HtmlEncoded: res.set_content(encodeAnswer(kErrorPage, options.secret), kText); return;
      case FaultMode::Ad: res.set_content(encodeAnswer(adJson(), options.secret), kText); return;
      case FaultMode::Empty: res.set_content("", kText); return;
      case FaultMode::Huge: {
        res.set_content_provider(options.hugeBytes, kText,
                                 [this](size_t, size_t length, httplib::DataSink& sink) {
                                   static const std::string chunk(64 * 1024, 'A');
                                   if (isStopping()) return false;
                                   return sink.write(chunk.data(), std::min(length, chunk.size()));
                                 });
        return;
      }
      case FaultMode::Stall:
        if (!pause(options.stallSeconds)) {
          res.status = 503;
          res.set_content("shutting down\n", kText);
          return;
        }
        (this->*handler)(req, res);
        return;
      case FaultMode::Trickle: {
        (this->*handler)(req, res);
        if (res.body.empty()) return;
        std::string type = res.get_header_value("Content-Type");
        res.headers.erase("Content-Type");
        auto body = std::make_shared<std::string>(std::move(res.body));
        res.body.clear();
        res.set_content_provider(body->size(), type, [this, body](size_t offset, size_t, httplib::DataSink& sink) {
          if (!pause(options.trickleInterval)) return false;
          return sink.write(body->data() + offset, 1);
        });
        return;
      }
    }
  }

  // ---- debug ----

  void dumpScores(const httplib::Request&, httplib::Response& res) {
    std::string out = "[";
    for (const ScoreRow& r : store.scores()) {
      if (out.size() > 1) out += ",";
      out += "\n{\"id\":" + std::to_string(r.id) + ",\"gid\":" + std::to_string(r.gid) +
             ",\"player\":" + jsonQuote(r.player) + ",\"score\":" + std::to_string(r.score) +
             ",\"time\":" + std::to_string(r.time) + "}";
    }
    out += "\n]\n";
    res.set_content(out, kJson);
  }

  void dumpEvents(const httplib::Request& req, httplib::Response& res) {
    std::optional<std::string> session;
    if (req.has_param("session")) session = req.get_param_value("session");
    std::string out = "[";
    for (const EventRow& r : store.events(session)) {
      if (out.size() > 1) out += ",";
      out += "\n{\"id\":" + std::to_string(r.id) + ",\"upload\":" + std::to_string(r.upload) +
             ",\"position\":" + std::to_string(r.position) + ",\"session\":" + jsonQuote(r.session) +
             ",\"type\":" + jsonQuote(r.type) + ",\"action\":" + jsonQuote(r.action) + ",\"time\":" + jsonQuote(r.time) +
             ",\"json\":" + jsonQuote(r.json) + "}";
    }
    out += "\n]\n";
    res.set_content(out, kJson);
  }

  void dumpUploads(const httplib::Request&, httplib::Response& res) {
    std::string out = "[";
    for (const UploadRow& r : store.uploads()) {
      if (out.size() > 1) out += ",";
      out += "\n{\"id\":" + std::to_string(r.id) + ",\"key\":" + jsonQuote(r.key) + ",\"time\":" + std::to_string(r.time) +
             ",\"records\":" + std::to_string(r.records) + ",\"envelope\":" + jsonQuote(r.envelope) + "}";
    }
    out += "\n]\n";
    res.set_content(out, kJson);
  }

  void showFault(const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(faultModeName(fault.load())) + "\n", kText);
  }

  void switchFault(const httplib::Request& req, httplib::Response& res) {
    std::string name = req.has_param("mode") ? req.get_param_value("mode") : std::string();
    auto mode = faultModeFromName(name);
    if (!mode) return badRequest(res, "unknown fault mode \"" + name + "\"; known: " + faultModeNames());
    fault = *mode;
    res.set_content(std::string(faultModeName(*mode)) + "\n", kText);
  }

  void clearAll(const httplib::Request&, httplib::Response& res) {
    store.clear();
    res.set_content("cleared\n", kText);
  }

  // ---- wiring ----

  void routes() {
    using Handler = void (Impl::*)(const httplib::Request&, httplib::Response&);
    auto plain = [this](Handler h) { return [this, h](const httplib::Request& q, httplib::Response& r) { (this->*h)(q, r); }; };
    auto faulty = [this](Handler h) {
      return [this, h](const httplib::Request& q, httplib::Response& r) { withFault(q, r, h); };
    };
    server.Get("/", [](const httplib::Request&, httplib::Response& r) { r.set_content(homePage(), kHtml); });
    server.Post("/highscores/public/save.php", faulty(&Impl::save));
    server.Get("/highscores/public/index.php", plain(&Impl::index));
    server.Get("/highscores/public/buymore.php",
               [](const httplib::Request&, httplib::Response& r) { r.set_content(buyMorePage(), kHtml); });
    server.Post(R"(/servlet/([^/]+))", faulty(&Impl::servlet));
    server.Get("/debug/highscores", plain(&Impl::dumpScores));
    server.Get("/debug/events", plain(&Impl::dumpEvents));
    server.Get("/debug/uploads", plain(&Impl::dumpUploads));
    server.Get("/debug/fault", plain(&Impl::showFault));
    server.Post("/debug/fault", plain(&Impl::switchFault));
    server.Post("/debug/clear", plain(&Impl::clearAll));

    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
      std::string what = "internal error";
      try {
        if (ep) std::rethrow_exception(ep);
      } catch (const std::exception& e) {
        what = e.what();
      } catch (...) {
      }
      res.status = 500;
      res.set_content("server error: " + what + "\n", kText);
    });
    if (options.log) {
      server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        FaultMode mode = fault.load();
        std::fprintf(stderr, "%s %s -> %d%s%s\n", req.method.c_str(), req.path.c_str(), res.status,
                    mode == FaultMode::None ? "" : " fault=", mode == FaultMode::None ? "" : faultModeName(mode));
      });
    }
    // The library's default also sets SO_REUSEPORT, which lets a second server share a port that
    // is in use; a second server on the same port must fail instead.
    server.set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_payload_max_length(kMaxRequestBytes);
    server.set_keep_alive_timeout(2);
  }
};

DevServer::DevServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) { impl_->routes(); }

DevServer::~DevServer() { stop(); }

void DevServer::start() {
  Impl& s = *impl_;
  if (s.running) return;
  if (s.options.port == 0) {
    s.port = s.server.bind_to_any_port(s.options.host);
    if (s.port < 0) throw std::runtime_error("cannot listen on " + s.options.host);
  } else {
    if (!s.server.bind_to_port(s.options.host, s.options.port))
      throw std::runtime_error("cannot listen on " + s.options.host + ":" + std::to_string(s.options.port) +
                               " (is another server running there?)");
    s.port = s.options.port;
  }
  s.running = true;
  s.thread = std::thread([&s] { s.server.listen_after_bind(); });
  // stop() only reaches a server that has begun listening.
  for (int i = 0; i < 2000 && !s.server.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void DevServer::stop() {
  Impl& s = *impl_;
  {
    std::lock_guard lock(s.stopMutex);
    s.stopping = true;
  }
  s.stopCondition.notify_all();
  s.server.stop();
  if (s.thread.joinable()) s.thread.join();
  s.running = false;
}

bool DevServer::running() const { return impl_->running; }
int DevServer::port() const { return impl_->port; }
std::string DevServer::baseUrl() const { return impl_->baseUrl(); }
void DevServer::setFault(FaultMode mode) { impl_->fault = mode; }
FaultMode DevServer::fault() const { return impl_->fault.load(); }
Store& DevServer::store() { return impl_->store; }

}  // namespace peckish::devserver
