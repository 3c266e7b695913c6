#pragma once
// Starting a game straight away (`peckish --play`), without the menu.
//
//   runGameDirect(options);   // inside applicationDidFinishLaunching: Director + game scene
//   return runPlayMode(options);   // or a whole process: the application with a delegate that does it
#include <cstdint>

#include "platform/Options.h"

namespace peckish {

// The seed for random(): --seed when given, otherwise the time and the process id.
std::uint32_t gameSeed(const platform::Options& options);

// Seeds random() and rand(), sets up the Director (32-bit surface, landscape, multiple touches),
// registers the game's sound effects, applies --mute, starts the autoplay bot when asked and runs
// a new game scene. False when the Director cannot be made.
bool runGameDirect(const platform::Options& options);

// Runs the application with a delegate that starts a game at launch; returns the exit status.
int runPlayMode(const platform::Options& options);

}  // namespace peckish
