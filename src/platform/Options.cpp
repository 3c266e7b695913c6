#include "platform/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace peckish::platform {
namespace {

bool parseLong(const std::string& s, long lo, long hi, long& out) {
  if (s.empty() || s.size() > 20) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || end != s.c_str() + s.size() || v < lo || v > hi) return false;
  out = static_cast<long>(v);
  return true;
}

bool parseSeconds(const std::string& s, double& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v) || v <= 0.0 || v > 10.0) return false;
  out = v;
  return true;
}

}  // namespace

OptionsResult parseOptions(const std::vector<std::string>& args) {
  OptionsResult r;
  Options& o = r.options;
  auto fail = [&r](std::string message) {
    if (r.ok) {
      r.ok = false;
      r.error = std::move(message);
    }
  };
  for (size_t i = 0; i < args.size() && r.ok; ++i) {
    std::string name = args[i];
    std::string value;
    bool inlineValue = false;
    if (name.rfind("--", 0) == 0) {
      const auto eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
        inlineValue = true;
      }
    }
    auto takeValue = [&](std::string& into) -> bool {
      if (inlineValue) {
        into = value;
        return true;
      }
      if (i + 1 >= args.size()) {
        fail(name + " needs a value");
        return false;
      }
      into = args[++i];
      return true;
    };
    auto noValue = [&]() -> bool {
      if (inlineValue) fail(name + " takes no value");
      return !inlineValue;
    };

    if (name == "--help" || name == "-h") {
      if (noValue()) o.help = true;
    } else if (name == "--version") {
      if (noValue()) o.version = true;
    } else if (name == "--fullscreen") {
      if (noValue()) o.fullscreen = o.fullscreenGiven = true;
    } else if (name == "--mute") {
      if (noValue()) o.mute = o.muteGiven = true;
    } else if (name == "--headless") {
      if (noValue()) o.headless = true;
    } else if (name == "--play") {
      if (noValue()) o.play = true;
    } else if (name == "--autoplay") {
      if (noValue()) o.autoplay = true;
    } else if (name == "--verbose") {
      if (noValue()) o.verbose = true;
    } else if (name == "--scale") {
      std::string v;
      long n = 0;
      if (takeValue(v) && !parseLong(v, 1, 8, n)) fail("--scale needs a whole number from 1 to 8, not '" + v + "'");
      else if (r.ok) {
        o.scale = static_cast<int>(n);
        o.scaleGiven = true;
      }
    } else if (name == "--frames") {
      std::string v;
      long n = 0;
      if (takeValue(v) && !parseLong(v, 1, std::numeric_limits<int>::max(), n))
        fail("--frames needs a positive whole number, not '" + v + "'");
      else if (r.ok) o.frames = n;
    } else if (name == "--screenshot") {
      std::string v;
      if (takeValue(v)) {
        if (v.empty()) fail("--screenshot needs a file name");
        else o.screenshot = v;
      }
    } else if (name == "--fixed-dt") {
      std::string v;
      double s = 0;
      if (takeValue(v) && !parseSeconds(v, s))
        fail("--fixed-dt needs seconds greater than 0 and at most 10, not '" + v + "'");
      else if (r.ok) o.fixedDt = s;
    } else if (name == "--fps") {
      std::string v;
      long n = 0;
      if (takeValue(v) && !parseLong(v, 1, 1000, n)) fail("--fps needs a whole number from 1 to 1000, not '" + v + "'");
      else if (r.ok) o.fps = static_cast<int>(n);
    } else if (name == "--seed") {
      std::string v;
      long n = 0;
      if (takeValue(v) && !parseLong(v, 0, std::numeric_limits<std::uint32_t>::max(), n))
        fail("--seed needs a whole number from 0 to 4294967295, not '" + v + "'");
      else if (r.ok) o.seed = static_cast<std::uint32_t>(n);
    } else if (name == "--analytics") {
      std::string v;
      if (takeValue(v)) {
        if (v == "on") o.analytics = true;
        else if (v == "off") o.analytics = false;
        else fail("--analytics needs on or off, not '" + v + "'");
      }
    } else if (name == "--demo") {
      std::string v;
      if (takeValue(v)) {
        if (v.empty()) fail("--demo needs a name");
        else o.demo = v;
      }
    } else {
      fail("unknown option '" + args[i] + "'");
    }
  }
  return r;
}

OptionsResult parseOptions(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  return parseOptions(args);
}

std::string usageText(const std::string& program) {
  // Also the source of the manual page (cmake/ManPage.cmake): a line ending in ':' opens a
  // section; a line indented by two spaces is an entry, its text after a run of two or more
  // spaces; a line indented further continues the entry above; other lines are paragraphs.
  return "Usage: " + program + " [options]\n"
         "Peckish: tap the roosters as they rise out of their holes, and never the girl.\n"
         "\n"
         "Options:\n"
         "  --help, --version    this text, or the version, and nothing else\n"
         "  --scale N            window = 480N x 320N points (default: the largest that fits the desktop)\n"
         "  --fullscreen         start fullscreen (F11 or F toggles)\n"
         "  --mute               effects and music silent (M toggles)\n"
         "  --headless           no window: SDL's offscreen driver, no audio device needed\n"
         "  --frames N           quit after N presented frames\n"
         "  --screenshot FILE    write the last presented window image as PNG\n"
         "  --fixed-dt S         frame time S seconds from the fake clock instead of the wall clock\n"
         "  --fps N              N frames a second (default: the display's refresh rate, or 60)\n"
         "  --seed N             seed for random() instead of time + process id\n"
         "  --play               skip the menu and start a game\n"
         "  --autoplay           a bot taps roosters through the normal touch path\n"
         "  --demo NAME          engine demos (for example: transitions, particles)\n"
         "  --verbose            the engine's trace lines on standard error as well\n"
         "  --analytics on|off   share play statistics in this run, or not, without asking and\n"
         "                       without remembering (see Privacy below)\n"
         "\n"
         "Keys:\n"
         "  keypad 7 8 9 / 4 5 6 / 1 2 3, or the letter block at the left of the keyboard\n"
         "                       tap the character in the matching hole, laid out as on screen\n"
         "                       (top row: the back holes); the letter block (three keys of each\n"
         "                       letter row) goes by where the keys are, whatever the layout, and\n"
         "                       during a game does nothing else\n"
         "  P                    pause and resume\n"
         "  M                    sound on and off\n"
         "  O                    while paused: the settings (also \"Settings\" on the main menu)\n"
         "  Escape               the restart dialog during a game\n"
         "  F11 or F             fullscreen on and off\n"
         "  Ctrl + and Ctrl -    a larger or smaller window, in whole steps\n"
         "  Ctrl+Q               quit\n"
         "\n"
         "Game controllers:\n"
         "  d-pad or left stick  move the highlight over the holes, or the focus in menus and dialogs\n"
         "  south button (A)     tap the highlighted hole, or choose in menus and dialogs\n"
         "  Start                pause and resume\n"
         "  Back/Select, east (B)\n"
         "                       as Escape: the restart dialog during a game, back in menus and dialogs\n"
         "\n"
         "Any controller SDL knows works, plugged in before or during a game; more mappings come from\n"
         "gamecontrollerdb.txt in the config folder and from SDL_GAMECONTROLLERCONFIG. Unplugging a\n"
         "controller during a game pauses it.\n"
         "\n"
         "Mute, fullscreen and the window scale are remembered for the next start (in the config\n"
         "folder, beside the player name); an option given on the command line wins for that run.\n"
         "\n"
         "Privacy:\n"
         "Play statistics go to the analytics server only with the player's consent: the first start\n"
         "with a window asks once (the settings screen changes the answer); runs with --headless or\n"
         "--autoplay never ask and share nothing unless --analytics on. What is sent: the play\n"
         "events by name, the locale, the system and machine type, and a random identifier of this\n"
         "installation; never the player name, a score's name, the location or any file.\n"
         "\n"
         "Environment:\n"
         "  DO_NOT_TRACK=1          share no play statistics and never ask (--analytics on still wins)\n"
         "  PECKISH_DATA_DIR        root of the documents folder and the config folder\n"
         "  PECKISH_RESOURCES       the resources folder\n"
         "  PECKISH_HIGHSCORE_URL   base address of the high-score server\n"
         "  PECKISH_ANALYTICS_HOST  host[:port] of the analytics server\n"
         "  PECKISH_PRODUCT_URL     the product page that ends the e-mail body\n"
         "  PECKISH_LOG             debug: same as --verbose\n"
         "\n"
         "Files:\n"
         "  ~/.config/peckish/defaults  the player name and the remembered settings\n"
         "                              ($XDG_CONFIG_HOME/peckish, or $PECKISH_DATA_DIR/config)\n"
         "  ~/.config/peckish/analytics-id  the random identifier, made when the player agrees\n"
         "  ~/.local/share/peckish      the analytics queue ($XDG_DATA_HOME/peckish, or\n"
         "                              $PECKISH_DATA_DIR/documents); both go when the player declines\n";
}

}  // namespace peckish::platform
