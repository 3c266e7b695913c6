#include "analytics/KXSpeedServer.h"

#include <stdexcept>

#include "analytics/KXB64.h"
#include "analytics/KXEncryption.h"
#include "analytics/KXReachability.h"
#include "analytics/KXURL.h"
#include "platform/Config.h"

namespace peckish {

std::string KXHostNameWithoutPort(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    return std::string(close == std::string_view::npos ? host.substr(1) : host.substr(1, close - 1));
  }
  size_t colon = host.find(':');
  if (colon != std::string_view::npos && host.find(':', colon + 1) == std::string_view::npos)
    return std::string(host.substr(0, colon));
  return std::string(host);
}

KXSpeedServer::KXSpeedServer() : KXSpeedServer(platform::analyticsHost()) {}

KXSpeedServer::KXSpeedServer(std::string host)
    : host_(std::move(host)), reachabilityHost_(KXHostNameWithoutPort(host_)),
      baseAddress_("http://" + host_ + "/servlet") {
  KXReachability::sharedReachability()->setHostName(reachabilityHost_);
}

Ref<KXResponse> KXSpeedServer::sendRequest(KXRequest* request) {
  std::lock_guard<std::mutex> lock(lock_);
  Ref<KXResponse> response;
  fillResponse(&response, request);
  return response;
}

std::optional<platform::HttpRequest> KXSpeedServer::prepareURLRequest(const KXRequest& request) const {
  KXServerDelegate* delegate = serverDelegate();
  if (!delegate) return std::nullopt;
  const std::string key = delegate->key();
  const std::string secret = delegate->secret();
  if (key.empty() || secret.empty()) return std::nullopt;

  std::string encoded;
  try {
    encoded = KXURLEncoding(KXBase64EncodedData(KXRC4(request.json(), secret.c_str())));
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
  platform::HttpRequest http;
  http.method = "POST";
  http.url = baseAddress_ + "/" + key;
  http.body = "args=" + encoded;
  http.timeoutSeconds = timeout();
  http.maxResponseBytes = kMaxAnswerBytes;
  http.cancel = &cancelled_;
  return http;
}

Ref<KXResponse> KXSpeedServer::prepareResponseFromString(std::string_view text) const {
  if (text.empty() || text.front() == '*') return nullptr;
  KXServerDelegate* delegate = serverDelegate();
  if (!delegate) return nullptr;
  const std::string secret = delegate->secret();
  if (secret.empty()) return nullptr;
  std::optional<std::string> data = KXDataFromBase64String(text);
  if (!data) return nullptr;
  std::string plain = KXRC4dec(*data, secret.c_str());
  // The answer is read as a C string: it ends at its first zero byte.
  plain.resize(std::char_traits<char>::length(plain.c_str()));
  if (plain.empty() || plain.front() != '{') return nullptr;
  return make<KXResponse>(plain);
}

void KXSpeedServer::report(KXRequest* request, KXTransportError code) {
  if (KXServerDelegate* delegate = serverDelegate())
    delegate->failedToCompleteRequest(request, KXError::errorWithDomain(KXErrorDomain, code).get());
}

void KXSpeedServer::fillResponse(Ref<KXResponse>* response, KXRequest* request) {
  *response = nullptr;
  std::optional<platform::HttpRequest> http = request ? prepareURLRequest(*request) : std::nullopt;
  if (!http) {
    report(request, KXErrorRequestNotPrepared);
    return;
  }
  if (exchangesCancelled()) {
    report(request, KXErrorNoResponse);
    return;
  }
  KXReachability* reachability = KXReachability::sharedReachability();
  // The reachability object may have been replaced since this transport named its host.
  if (reachability->hostName() != reachabilityHost_) reachability->setHostName(reachabilityHost_);
  if (reachability->remoteHostStatus() == KXNotReachable) {
    report(request, KXErrorHostNotReachable);
    return;
  }
  platform::HttpResponse answer = platform::httpSend(*http);
  if (!answer.ok || answer.body.empty()) {
    report(request, KXErrorNoResponse);
    return;
  }
  *response = prepareResponseFromString(answer.body);
  if (!*response) report(request, KXErrorNoResponse);
}

}  // namespace peckish
