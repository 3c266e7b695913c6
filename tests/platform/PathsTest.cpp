// Where the resources are found: the environment, the build tree for its own programs, the folder
// beside an installed executable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Paths.h"

namespace peckish::test {
namespace {

namespace fs = std::filesystem;

TEST(PathsTest, ResourcesAreFoundByEnvironmentBuildTreeOrBesideTheExecutable) {
  char pattern[] = "/tmp/peckish-paths-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const fs::path source = root / "src" / "resources";
  const fs::path build = root / "build";
  const fs::path prefix = root / "usr";
  fs::create_directories(source);
  fs::create_directories(build / "tests");
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "peckish");
  const std::string installed = "/opt/nowhere/share/peckish";
  const std::string beside = (prefix / "share" / "peckish").string();

  struct Case {
    const char* what;
    std::string environment;
    std::string executable;
    std::string buildTreeResources;
    std::string expected;
  } cases[] = {
      {"the environment wins", "/some/where", (build / "peckish").string(), source.string(), "/some/where"},
      {"a program of the build tree", "", (build / "peckish").string(), source.string(), source.string()},
      {"a test of the build tree", "", (build / "tests" / "test_x").string(), source.string(), source.string()},
      {"an installed copy beside its share folder, source tree present", "", (prefix / "bin" / "peckish").string(),
       source.string(), beside},
      {"an installed copy, no source tree", "", (prefix / "bin" / "peckish").string(), (root / "gone").string(),
       beside},
      {"a copy with nothing beside it falls back to the source tree", "", (root / "peckish").string(),
       source.string(), source.string()},
      {"nothing at all: the configured folder", "", (root / "peckish").string(), (root / "gone").string(), installed},
  };
  for (const Case& c : cases) {
    platform::ResourceLookup lookup{c.environment, c.executable, build.string(), c.buildTreeResources, installed};
    EXPECT_EQ(platform::findResourceDirectory(lookup), c.expected) << c.what;
  }
  EXPECT_EQ(fs::path(platform::executablePath()).filename(), "test_platform");
  fs::remove_all(root);
}

}  // namespace
}  // namespace peckish::test
