// Linked into every test executable: the suites run headless and silent unless the caller chose
// otherwise (a variable already set is kept).
#include <cstdlib>

namespace {
struct TestEnvironment {
  TestEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // A test that writes an OpenAL configuration of its own chooses its driver there.
    if (!std::getenv("ALSOFT_CONF")) setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("PECKISH_RESOURCES", PECKISH_SOURCE_DIR "/resources", 0);
  }
} gTestEnvironment;
}  // namespace
