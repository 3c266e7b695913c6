#include "analytics/KXRequest.h"

#include "analytics/KXJSONValue.h"
#include "analytics/KXMD5.h"
#include "analytics/KXReachability.h"
#include "platform/Device.h"

namespace peckish {

namespace {
struct ProcessValues {
  std::string locale;
  std::string platform;
  std::string device;
  std::string codeVersion;
};

const ProcessValues& processValues() {
  static const ProcessValues values = [] {
    ProcessValues v;
    v.locale = platform::currentLocaleIdentifier();
    v.platform = std::to_string(1);
    v.device = platform::deviceModel();
    v.codeVersion = "1.1.3";
    return v;
  }();
  return values;
}

void appendQuoted(std::string& s, const char* before, const std::string& value) {
  s += before;
  s += KXJSONEscapedString(value);
  s += '"';
}
}  // namespace

KXRequest::KXRequest(std::vector<Ref<KXRecord>> payload) : payload_(std::move(payload)), personHash_(personHash()) {
  processValues();
}

const std::string& KXRequest::codeVersion() { return processValues().codeVersion; }
std::string KXRequest::personHash() { return KXMD5(platform::deviceUniqueIdentifier()); }

std::string KXRequest::json() const {
  const ProcessValues& v = processValues();
  const std::string connectionType = std::to_string(KXReachability::sharedReachability()->internetConnectionStatus());
  const std::string connectionTime = KXCurrentTimeString();

  std::string s;
  appendQuoted(s, "{\"code_version\" : \"", v.codeVersion);
  appendQuoted(s, ", \"person_hash\" : \"", personHash_);
  appendQuoted(s, ",\"connection_type\" : \"", connectionType);
  appendQuoted(s, ",\"device\" : \"", v.device);
  appendQuoted(s, ", \"platform_id\" : \"", v.platform);
  appendQuoted(s, ", \"locale\" : \"", v.locale);
  appendQuoted(s, ", \"connection_time\" : \"", connectionTime);
  s += ", \"data\" : [";
  bool first = true;
  for (const Ref<KXRecord>& record : payload_) {
    if (!record) continue;
    if (!first) s += ',';
    first = false;
    s += record->json();
  }
  s += "]}";
  return s;
}

}  // namespace peckish
