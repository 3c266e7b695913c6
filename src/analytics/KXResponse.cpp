#include "analytics/KXResponse.h"

#include "analytics/KXJSON.h"

namespace peckish {

KXResponse::KXResponse(std::string_view jsonString) {
  std::optional<KXJSONValue> parsed = make<KXJSON>()->objectWithString(jsonString);
  if (!parsed || !parsed->isDictionary()) return;
  if (const KXJSONValue* v = parsed->find("type"); v && v->isString()) type_ = v->stringValue();
  if (const KXJSONValue* v = parsed->find("errors")) errors_ = *v;
  if (const KXJSONValue* v = parsed->find("data")) data_ = *v;
  if (const KXJSONValue* v = parsed->find("success")) success_ = v->isBoolean() && v->boolValue();
}

}  // namespace peckish
