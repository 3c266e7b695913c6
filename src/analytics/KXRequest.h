#pragma once
// One upload: the records it carries and the envelope text that describes the device and the
// connection around their JSON texts. The transport encrypts and encodes the envelope.
#include <string>
#include <vector>

#include "analytics/KXRecord.h"
#include "core/Object.h"

namespace peckish {

class KXRequest final : public Object {
 public:
  explicit KXRequest(std::vector<Ref<KXRecord>> payload = {});

  const std::vector<Ref<KXRecord>>& payload() const noexcept { return payload_; }

  // The envelope: the header (code version, person hash, connection type, device, platform,
  // locale, connection time), then the records' JSON texts joined by "," in payload order, then
  // "]}". The connection type and time are read anew on every call.
  std::string json() const;

  // Process-wide value, fixed by the first request.
  static const std::string& codeVersion();  // "1.1.3"
  // KXMD5 of the installation's identifier as it is now (a player who withdrew and agreed again
  // has a new one); each request keeps the one it was made with.
  static std::string personHash();

 private:
  std::vector<Ref<KXRecord>> payload_;
  std::string personHash_;
};

}  // namespace peckish
