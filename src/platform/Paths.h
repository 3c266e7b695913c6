#pragma once
// Where files are kept: the resource bundle, the user's documents folder and config folder.
//   resources: $PECKISH_RESOURCES, else the source tree's resources/, else the installed share folder
//   documents: $PECKISH_DATA_DIR/documents, else $XDG_DATA_HOME/peckish, else ~/.local/share/peckish
//   config:    $PECKISH_DATA_DIR/config, else $XDG_CONFIG_HOME/peckish, else ~/.config/peckish
#include <string>

namespace peckish::platform {

std::string resourceDirectory();
// Full path of a bundled resource by its full file name ("Rooster.png"), or "" when absent.
std::string pathForResource(const std::string& fileName);
std::string documentsDirectory();
std::string configDirectory();
// mkdir -p; true when the directory exists afterwards.
bool createDirectories(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace peckish::platform
