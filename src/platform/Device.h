#pragma once
// Facts about the machine the game runs on.
#include <string>

namespace peckish::platform {

// A stable identifier of this machine (40 lowercase hex digits): derived from /etc/machine-id
// when readable, else a random one kept in the config folder.
std::string deviceUniqueIdentifier();
// "Linux x86_64 desktop" and the like.
std::string deviceModel();
// The locale identifier from LC_ALL / LC_MESSAGES / LANG ("en_US"), "en_US" when unset or "C".
std::string currentLocaleIdentifier();

}  // namespace peckish::platform
