#pragma once
// The analytics transport: sends one request to the analytics server as an HTTP POST of
// "args=<encrypted, Base64, URL-safe envelope>" to http://<host>/servlet/<key> and decodes the
// answer. Exchanges run synchronously on the calling thread, one at a time for the whole process.
// Failures are told to the server delegate, on the sending thread, before sendRequest gives up.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/KXError.h"
#include "analytics/KXRequest.h"
#include "analytics/KXResponse.h"
#include "core/Object.h"
#include "core/Singleton.h"
#include "platform/Http.h"

namespace peckish {

inline constexpr const char* KXErrorDomain = "org.Kestrix";
enum KXTransportError : long {
  KXErrorHostNotReachable = 0,  // the reachability check said no
  KXErrorNoResponse = 1,        // no body, "*", bad Base64, or not a JSON object after decrypting
  KXErrorRequestNotPrepared = 2,
};

// What the transport needs of the service.
class KXServerDelegate {
 public:
  virtual ~KXServerDelegate() = default;
  virtual std::string key() const = 0;
  virtual std::string secret() const = 0;
  // On the sending thread, while the transport lock is held.
  virtual void failedToCompleteRequest(KXRequest* request, KXError* error) = 0;
};

class KXSpeedServer final : public Object, public Singleton<KXSpeedServer> {
 public:
  static constexpr double kTimeout = 10.0;
  // Longest answer read; a longer one counts as no answer (an ad answer is a few hundred bytes).
  static constexpr std::size_t kMaxAnswerBytes = 256 * 1024;

  // The shared transport, talking to platform::analyticsHost().
  static KXSpeedServer* sharedServer() { return shared(); }

  // host is "name" or "name:port"; the shared KXReachability checks the name.
  KXSpeedServer();
  explicit KXSpeedServer(std::string host);

  // A response, or null when the exchange failed (the delegate has been told why).
  Ref<KXResponse> sendRequest(KXRequest* request);

  // Null when no request can be made (no delegate, no key or secret).
  std::optional<platform::HttpRequest> prepareURLRequest(const KXRequest& request) const;
  // The answer body decoded; null for "", "*...", bad Base64 or a text not starting with "{".
  Ref<KXResponse> prepareResponseFromString(std::string_view text) const;
  void fillResponse(Ref<KXResponse>* response, KXRequest* request);

  KXServerDelegate* serverDelegate() const noexcept { return serverDelegate_.load(); }
  void setServerDelegate(KXServerDelegate* delegate) noexcept { serverDelegate_.store(delegate); }

  const std::string& host() const noexcept { return host_; }
  const std::string& reachabilityHostName() const noexcept { return reachabilityHost_; }
  // "http://<host>/servlet".
  const std::string& baseAddress() const noexcept { return baseAddress_; }

  // Gives up the exchange on the wire and every one that would start while cancelled (each fails
  // as an exchange without an answer), until exchanges are allowed again.
  void cancelExchanges() noexcept { cancelled_.store(true); }
  void allowExchanges() noexcept { cancelled_.store(false); }
  bool exchangesCancelled() const noexcept { return cancelled_.load(); }

  // Tests: a shorter time-out than the ten seconds.
  void setTimeout(double seconds) noexcept { timeout_.store(seconds); }
  double timeout() const noexcept { return timeout_.load(); }

 private:
  void report(KXRequest* request, KXTransportError code);

  std::atomic<KXServerDelegate*> serverDelegate_{nullptr};
  std::string host_;
  std::string reachabilityHost_;
  std::string baseAddress_;
  std::atomic<double> timeout_{kTimeout};
  std::atomic<bool> cancelled_{false};
  std::mutex lock_;  // the transport lock: one exchange at a time
};

// The host name of "name:port" or "[v6]:port" (an address with several colons stays whole).
std::string KXHostNameWithoutPort(std::string_view host);

}  // namespace peckish
