#pragma once
// The command line of the game:
//   --help, --version, --scale N, --fullscreen, --mute, --headless, --frames N,
//   --screenshot FILE, --fixed-dt S, --fps N, --seed N, --play, --autoplay, --demo NAME, --verbose,
//   --analytics on|off
// Values may follow as the next argument or after '=' (--scale=3). The *Given fields tell which of
// the remembered settings the command line chose for this run (see platform/Settings.h).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace peckish::platform {

struct Options {
  bool help = false;
  bool version = false;
  int scale = 2;                       // 1 .. 8; 0: the largest that fits the desktop
  bool fullscreen = false;
  bool mute = false;
  bool scaleGiven = false;
  bool fullscreenGiven = false;
  bool muteGiven = false;
  bool headless = false;
  long frames = 0;                     // quit after this many presented frames; 0: no limit
  std::string screenshot;              // PNG of the last presented window image; empty: none
  double fixedDt = 0.0;                // > 0: fake clock advancing this much a frame
  int fps = 0;                         // frames a second of the frame timer; 0: the display's rate
  std::optional<std::uint32_t> seed;   // random() seed; none: time + process id
  bool play = false;
  bool autoplay = false;
  std::string demo;
  bool verbose = false;                // the engine's trace lines on standard error
  std::optional<bool> analytics;       // --analytics on|off: this run shares or not, without asking
};

struct OptionsResult {
  Options options;
  bool ok = true;
  std::string error;  // one line naming the offending option when not ok
};

OptionsResult parseOptions(const std::vector<std::string>& args);  // without the program name
OptionsResult parseOptions(int argc, const char* const* argv);     // argv[0] is the program
// The --help text: every option, one a line.
std::string usageText(const std::string& program = "peckish");

}  // namespace peckish::platform
