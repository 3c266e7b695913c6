#pragma once
// "<ClassName: 0x...>": how the engine names an object in its log lines ("deallocing %@").
#include <string>
#include <typeinfo>

namespace peckish {

class Object;

// type overrides the object's dynamic type (destructors see only their own class).
std::string objectDescription(const Object* object, const std::type_info* type = nullptr);

}  // namespace peckish
