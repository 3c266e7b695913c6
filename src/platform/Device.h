#pragma once
// Facts about the machine the game runs on, and the random identifier of this installation.
#include <string>

namespace peckish::platform {

// The identifier of this installation that the analytics send (hashed): 40 lowercase hex digits
// made from 160 bits of the system's random source (getrandom, else /dev/urandom), never from the
// machine id, the user or the hardware. Made on first use, which comes only once the player has
// agreed to share, and kept in deviceIdentifierPath() (written safely) for the next start; a file
// that cannot be written leaves it to this run. Raises when the system gives no random bytes.
std::string deviceUniqueIdentifier();
// Deletes the kept identifier (and the one older versions kept); the next deviceUniqueIdentifier()
// makes a new one.
void forgetDeviceUniqueIdentifier();
// <config folder>/analytics-id, beside the user defaults.
std::string deviceIdentifierPath();
// "Linux x86_64 desktop" and the like.
std::string deviceModel();
// The locale identifier from LC_ALL / LC_MESSAGES / LANG ("en_US"), "en_US" when unset or "C".
std::string currentLocaleIdentifier();

}  // namespace peckish::platform
