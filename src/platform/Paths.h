#pragma once
// Where files are kept: the resource bundle, the user's documents folder and config folder.
//   resources: $PECKISH_RESOURCES, else the source tree's resources/ (for programs of the build
//              tree), else ../share/peckish beside the executable, else the configured install
//              prefix's share/peckish
//   documents: $PECKISH_DATA_DIR/documents, else $XDG_DATA_HOME/peckish, else ~/.local/share/peckish
//   config:    $PECKISH_DATA_DIR/config, else $XDG_CONFIG_HOME/peckish, else ~/.config/peckish
#include <string>

namespace peckish::platform {

std::string resourceDirectory();
// The lookup above, from its parts (tests): the environment's value, the running executable's
// path, the build tree and its resources folder, the configured installed folder.
struct ResourceLookup {
  std::string environment;
  std::string executable;
  std::string buildTree;
  std::string buildTreeResources;
  std::string installed;
};
std::string findResourceDirectory(const ResourceLookup& lookup);
// The running program's own file (/proc/self/exe), or "".
std::string executablePath();
// Full path of a bundled resource by its full file name ("Rooster.png"), or "" when absent.
std::string pathForResource(const std::string& fileName);
std::string documentsDirectory();
std::string configDirectory();
// mkdir -p; true when the directory exists afterwards.
bool createDirectories(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace peckish::platform
