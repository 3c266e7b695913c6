#include "engine/scene/Description.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <typeinfo>
#include <unordered_map>

#include "core/Object.h"

namespace peckish {

const char* objectClassName(const Object* object, const std::type_info* type) {
  if (!object) return "(null)";
  const std::type_info& info = type ? *type : typeid(*object);
  static std::mutex mutex;
  static std::unordered_map<const std::type_info*, std::string> names;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = names.find(&info);
  if (it != names.end()) return it->second.c_str();
  int status = 0;
  char* demangled = abi::__cxa_demangle(info.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && demangled) ? demangled : info.name();
  std::free(demangled);
  // Show the class name as this system names it, without the namespace.
  auto pos = name.rfind("::");
  if (pos != std::string::npos && name.find('<') == std::string::npos) name = name.substr(pos + 2);
  return names.emplace(&info, std::move(name)).first->second.c_str();
}

std::string objectDescription(const Object* object, const std::type_info* type) {
  if (!object) return "(null)";
  char buf[256];
  std::snprintf(buf, sizeof buf, "<%s: %p>", objectClassName(object, type), static_cast<const void*>(object));
  return buf;
}

}  // namespace peckish
