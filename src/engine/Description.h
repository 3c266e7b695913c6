#pragma once
// "<ClassName: 0x...>": how the engine names an object in its log lines ("deallocing %@").
#include <string>

namespace peckish {

class Object;

std::string objectDescription(const Object* object);

}  // namespace peckish
