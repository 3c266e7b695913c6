#pragma once
// "<ClassName: 0x...>": how the engine names an object in its log lines ("deallocing %@").
#include <string>
#include <typeinfo>

namespace peckish {

class Object;

// type overrides the object's dynamic type (destructors see only their own class).
std::string objectDescription(const Object* object, const std::type_info* type = nullptr);

// The class name used in those descriptions ("Sequence"); demangled once per class and kept, so
// naming an object in a log line allocates nothing after the first time.
const char* objectClassName(const Object* object, const std::type_info* type = nullptr);

}  // namespace peckish
