#include "platform/Paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "BuildConfig.h"

namespace peckish::platform {
namespace fs = std::filesystem;

namespace {
std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}
std::string home() {
  std::string h = env("HOME");
  return h.empty() ? std::string("/tmp") : h;
}
}  // namespace

std::string resourceDirectory() {
  std::string dir = env("PECKISH_RESOURCES");
  if (!dir.empty()) return dir;
  std::error_code ec;
  if (fs::is_directory(PECKISH_SOURCE_RESOURCES, ec)) return PECKISH_SOURCE_RESOURCES;
  return PECKISH_INSTALLED_RESOURCES;
}

std::string pathForResource(const std::string& fileName) {
  if (fileName.empty() || fileName.find("..") != std::string::npos) return {};
  std::string p = resourceDirectory() + "/" + fileName;
  return fileExists(p) ? p : std::string();
}

std::string documentsDirectory() {
  std::string root = env("PECKISH_DATA_DIR");
  if (!root.empty()) return root + "/documents";
  std::string xdg = env("XDG_DATA_HOME");
  return (xdg.empty() ? home() + "/.local/share" : xdg) + "/peckish";
}

std::string configDirectory() {
  std::string root = env("PECKISH_DATA_DIR");
  if (!root.empty()) return root + "/config";
  std::string xdg = env("XDG_CONFIG_HOME");
  return (xdg.empty() ? home() + "/.config" : xdg) + "/peckish";
}

bool createDirectories(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace peckish::platform
