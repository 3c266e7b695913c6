#include "engine/Description.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "core/Object.h"

namespace peckish {

std::string objectDescription(const Object* object, const std::type_info* type) {
  if (!object) return "(null)";
  const char* mangled = type ? type->name() : typeid(*object).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = (status == 0 && demangled) ? demangled : mangled;
  std::free(demangled);
  // Show the class name as this system names it, without the namespace.
  auto pos = name.rfind("::");
  if (pos != std::string::npos && name.find('<') == std::string::npos) name = name.substr(pos + 2);
  char addr[32];
  std::snprintf(addr, sizeof addr, "%p", static_cast<const void*>(object));
  return "<" + name + ": " + addr + ">";
}

}  // namespace peckish
