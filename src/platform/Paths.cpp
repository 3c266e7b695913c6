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

std::string executablePath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

std::string findResourceDirectory(const ResourceLookup& r) {
  if (!r.environment.empty()) return r.environment;
  std::error_code ec;
  const fs::path exe = r.executable.empty() ? fs::path() : fs::weakly_canonical(r.executable, ec);
  // Programs built in the build tree (the game, the tests) use the source tree's folder; an
  // installed copy must not, even on the machine that built it.
  bool inBuildTree = r.executable.empty();
  if (!inBuildTree && !r.buildTree.empty()) {
    const fs::path tree = fs::weakly_canonical(r.buildTree, ec);
    const auto rel = exe.lexically_relative(tree);
    inBuildTree = !rel.empty() && *rel.begin() != "..";
  }
  if (inBuildTree && !r.buildTreeResources.empty() && fs::is_directory(r.buildTreeResources, ec)) {
    return r.buildTreeResources;
  }
  if (!exe.empty()) {
    const fs::path beside = exe.parent_path().parent_path() / "share" / "peckish";
    if (fs::is_directory(beside, ec)) return beside.string();
  }
  if (!r.buildTreeResources.empty() && fs::is_directory(r.buildTreeResources, ec)) return r.buildTreeResources;
  return r.installed;
}

std::string resourceDirectory() {
  static const std::string self = executablePath();
  return findResourceDirectory(
      {env("PECKISH_RESOURCES"), self, PECKISH_BUILD_DIR, PECKISH_SOURCE_RESOURCES, PECKISH_INSTALLED_RESOURCES});
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
