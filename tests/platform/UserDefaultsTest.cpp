// The settings file when its writes fail, when it cannot be read, and when two copies of the game
// change it at once: what the file holds afterwards and what a new run reads from it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "FileSizeLimit.h"
#include "core/Log.h"
#include "platform/Settings.h"
#include "platform/UserDefaults.h"

namespace peckish::test {
namespace {

namespace fs = std::filesystem;
using platform::UserDefaults;

// Runs `change` in a second copy of the game: a child process holding the settings as this one
// last read them.
void inAnotherCopy(const std::function<void()>& change) {
  UserDefaults::standard().stringForKey("username");  // both copies start from the same reading
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    change();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The file as text, or "-> target" for a symbolic link.
std::string describe(const fs::path& file) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(file, ec))) return "-> " + fs::read_symlink(file, ec).string();
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(UserDefaultsTest, FailedWritesAndTwoCopiesLoseNoSetting) {
  char pattern[] = "/tmp/peckish-defaults-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const char* previousDataDir = std::getenv("PECKISH_DATA_DIR");
  const std::string keptDataDir = previousDataDir ? previousDataDir : "";
  ::setenv("PECKISH_DATA_DIR", root.c_str(), 1);
  UserDefaults& defaults = UserDefaults::standard();
  const std::string stored = "fullscreen=0\nscale=3\nusername=Ann\n";
  using Values = std::map<std::string, std::optional<std::string>>;

  struct Case {
    const char* what;
    std::string before;  // the file at the start (see describe)
    std::function<void()> play;
    Values inMemory;     // what this run reads afterwards
    std::string after;   // the file afterwards
    Values reloaded;     // what the next run reads
    int notices;         // "peckish: settings could not be ..." lines
  } cases[] = {
      {"every write failing: three M presses keep the name and scale", stored,
       [] {
         FileSizeLimit nothing(0);
         platform::rememberMute(true);
         platform::rememberMute(false);
         platform::rememberMute(true);
       },
       {{"mute", "1"}, {"username", "Ann"}}, stored, {{"username", "Ann"}, {"scale", "3"}, {"mute", std::nullopt}}, 1},
      {"a write cut short", stored,
       [] {
         FileSizeLimit small(12);
         UserDefaults::standard().setString("username", "Bartholomew");
       },
       {{"username", "Bartholomew"}}, stored, {{"username", "Ann"}, {"scale", "3"}}, 1},
      {"a failure that clears: the next save carries the change it kept", stored,
       [] {
         {
           FileSizeLimit nothing(0);
           UserDefaults::standard().setString("username", "Bob");
         }
         platform::rememberScale(4);
       },
       {{"username", "Bob"}, {"scale", "4"}}, "fullscreen=0\nscale=4\nusername=Bob\n",
       {{"username", "Bob"}, {"scale", "4"}}, 1},
      {"two copies change different settings", stored,
       [] {
         inAnotherCopy([] { UserDefaults::standard().setString("username", "Bob"); });
         platform::rememberMute(true);
       },
       {{"username", "Bob"}, {"mute", "1"}}, "fullscreen=0\nmute=1\nscale=3\nusername=Bob\n",
       {{"username", "Bob"}, {"mute", "1"}, {"scale", "3"}}, 0},
      {"one copy removes a setting while the other renames the player", stored,
       [] {
         inAnotherCopy([] { UserDefaults::standard().removeObjectForKey("scale"); });
         UserDefaults::standard().setString("username", "Cy");
       },
       {{"username", "Cy"}, {"scale", std::nullopt}}, "fullscreen=0\nusername=Cy\n",
       {{"username", "Cy"}, {"scale", std::nullopt}, {"fullscreen", "0"}}, 0},
      {"a line that does not parse stays as it was", "# kept by hand\nscale=3\nusername=Ann\n",
       [] { platform::rememberMute(true); }, {{"mute", "1"}},
       "# kept by hand\nmute=1\nscale=3\nusername=Ann\n", {{"mute", "1"}, {"username", "Ann"}}, 0},
      {"a file that cannot be read is never written over", "-> defaults",
       [] { UserDefaults::standard().setString("username", "Bob"); }, {{"username", "Bob"}}, "-> defaults",
       {{"username", std::nullopt}}, 1},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = root / "config";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "defaults";
    if (c.before.rfind("-> ", 0) == 0) {
      fs::create_symlink(c.before.substr(3), file);
    } else {
      std::ofstream(file, std::ios::binary) << c.before;
    }
    resetPlayerNotices();
    int notices = 0;
    {
      LogCapture log;
      defaults.reload();
      c.play();
      for (const std::string& line : log.lines()) notices += line.rfind("peckish: settings could not be", 0) == 0;
    }
    for (const auto& [key, value] : c.inMemory) EXPECT_EQ(defaults.stringForKey(key), value) << key;
    EXPECT_EQ(describe(file), c.after);
    EXPECT_EQ(notices, c.notices);
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "defaults" || name == "defaults.lock") << "left behind: " << name;
    }
    {
      LogCapture quiet;
      defaults.reload();
      for (const auto& [key, value] : c.reloaded) EXPECT_EQ(defaults.stringForKey(key), value) << key;
    }
  }

  if (previousDataDir) ::setenv("PECKISH_DATA_DIR", keptDataDir.c_str(), 1);
  else ::unsetenv("PECKISH_DATA_DIR");
  defaults.reload();
  resetPlayerNotices();
  fs::remove_all(root);
}

}  // namespace
}  // namespace peckish::test
