// The high-score table kept on the machine: its order, what it keeps and drops, names at the
// field's byte limit, and what a damaged file or a failed write leaves behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FileSizeLimit.h"
#include "core/Log.h"
#include "platform/HighScoreTable.h"

namespace peckish::test {
namespace {

namespace fs = std::filesystem;
using platform::HighScoreTable;
using Rows = std::vector<std::pair<std::string, int>>;

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A table of ten: P1 1000, P2 900 ... P10 100.
std::string tableOfTen() {
  std::string text = "peckish high scores 1\n";
  for (int i = 1; i <= 10; ++i)
    text += std::to_string(1100 - 100 * i) + "\t3\t2026-01-0" + std::to_string(i % 10) + "\tid" + std::to_string(i) +
            "\tP" + std::to_string(i) + "\n";
  return text;
}

Rows rowsOf(const std::vector<platform::HighScore>& entries) {
  Rows rows;
  for (const auto& e : entries) rows.emplace_back(e.name, e.score);
  return rows;
}

TEST(HighScoreTableTest, OrderTiesTheEleventhScoreNamesDamageAndFailedWrites) {
  char pattern[] = "/tmp/peckish-scores-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const char* previousDataDir = std::getenv("PECKISH_DATA_DIR");
  const std::string keptDataDir = previousDataDir ? previousDataDir : "";
  ::setenv("PECKISH_DATA_DIR", root.c_str(), 1);
  HighScoreTable& table = HighScoreTable::standard();
  auto add = [&table](const std::string& name, int score) { return table.add(name, score, 4); };

  Rows ten;
  for (int i = 1; i <= 10; ++i) ten.emplace_back("P" + std::to_string(i), 1100 - 100 * i);
  Rows tenWith150 = ten;
  tenWith150.back() = {"X", 150};
  const std::string twoByte = repeat("\xC3\xA9", 128);          // 128 x "é": 256 bytes
  const std::string fourByte = repeat("\xF0\x9F\x90\x93", 64);  // 64 x rooster: 256 bytes
  const std::string euros = repeat("\xE2\x82\xAC", 85);         // 85 x "€": 255 bytes

  struct Case {
    const char* what;
    std::optional<std::string> before;  // the file at the start; none: no file
    std::function<void()> play;
    Rows after;        // the table afterwards, as read back
    bool unchanged;    // the file is byte for byte as before
    int notices;       // "peckish: the high-score table ..." lines
    bool keptAside;    // the old file sits beside the new one as highscores.damaged-*
  } cases[] = {
      {"highest first", std::nullopt,
       [&] {
         for (auto [name, score] : Rows{{"A", 300}, {"B", 500}, {"C", 100}, {"D", 400}})
           EXPECT_FALSE(add(name, score).empty()) << name;
       },
       {{"B", 500}, {"D", 400}, {"A", 300}, {"C", 100}}, false, 0, false},
      {"ties keep the earlier game first", std::nullopt,
       [&] {
         for (auto [name, score] : Rows{{"A", 200}, {"B", 200}, {"C", 300}, {"D", 200}, {"E", 0}}) add(name, score);
       },
       {{"C", 300}, {"A", 200}, {"B", 200}, {"D", 200}, {"E", 0}}, false, 0, false},
      {"an eleventh score below or equal to the tenth is not kept", tableOfTen(),
       [&] {
         EXPECT_EQ(add("X", 50), "");
         EXPECT_EQ(add("Y", 100), "");
       },
       ten, true, 0, false},
      {"a better eleventh score pushes the tenth out", tableOfTen(), [&] { EXPECT_FALSE(add("X", 150).empty()); },
       tenWith150, false, 0, false},
      {"a rename changes that entry only", std::nullopt,
       [&] {
         const std::string a = add("A", 100);
         add("A", 100);
         EXPECT_TRUE(table.rename(a, "Zo\xC3\xAB"));
       },
       {{"Zo\xC3\xAB", 100}, {"A", 100}}, false, 0, false},
      {"names at the byte limit stay whole; one byte over loses its last character", std::nullopt,
       [&] {
         add(twoByte, 400);
         add(fourByte, 300);
         add(euros + "\xC3\xA9", 200);
         add("a" + fourByte, 100);
       },
       {{twoByte, 400}, {fourByte, 300}, {euros, 200}, {"a" + repeat("\xF0\x9F\x90\x93", 63), 100}}, false, 0, false},
      {"a damaged file is kept aside and a fresh table started", std::string("peckish high scores 1\nrubbish\n"),
       [&] {
         EXPECT_TRUE(table.entries().empty());
         add("A", 10);
         add("B", 20);
       },
       {{"B", 20}, {"A", 10}}, false, 1, true},
      {"a table cut short is damaged too", std::string("peckish high scores 1\n900\t2\t2026-01-01\tid1\tAn"),
       [&] { add("A", 10); }, {{"A", 10}}, false, 1, true},
      {"failed writes keep the old table", tableOfTen(),
       [&] {
         FileSizeLimit nothing(0);
         EXPECT_EQ(add("X", 5000), "");
         EXPECT_EQ(add("Y", 6000), "");
       },
       ten, true, 1, false},
      {"a write cut short keeps the old table", tableOfTen(),
       [&] {
         FileSizeLimit small(40);
         EXPECT_EQ(add("X", 5000), "");
       },
       ten, true, 1, false},
      {"two copies adding at once keep both scores", std::nullopt,
       [&] {
         add("A", 100);
         const pid_t pid = ::fork();
         ASSERT_GE(pid, 0);
         if (pid == 0) ::_exit(add("Other", 300).empty() ? 1 : 0);
         int status = 0;
         ASSERT_EQ(::waitpid(pid, &status, 0), pid);
         ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
         add("B", 200);
       },
       {{"Other", 300}, {"B", 200}, {"A", 100}}, false, 0, false},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = root / "documents";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "highscores";
    if (c.before) std::ofstream(file, std::ios::binary) << *c.before;
    resetPlayerNotices();
    table.reload();
    int notices = 0;
    {
      LogCapture log;
      c.play();
      for (const std::string& line : log.lines()) notices += line.rfind("peckish: the high-score table", 0) == 0;
    }
    EXPECT_EQ(notices, c.notices);
    const auto parsed = HighScoreTable::parse(readFile(file));
    ASSERT_TRUE(parsed.has_value()) << readFile(file);
    EXPECT_EQ(rowsOf(*parsed), c.after);
    table.reload();
    EXPECT_EQ(rowsOf(table.entries()), c.after);
    if (c.unchanged) {
      EXPECT_EQ(readFile(file), c.before.value_or(""));
    }
    bool keptAside = false;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("highscores.damaged-", 0) == 0) {
        keptAside = true;
        EXPECT_EQ(readFile(entry.path()), c.before.value_or("")) << name;
      } else {
        EXPECT_TRUE(name == "highscores" || name == "highscores.lock") << "left behind: " << name;
      }
    }
    EXPECT_EQ(keptAside, c.keptAside);
  }

  if (previousDataDir) ::setenv("PECKISH_DATA_DIR", keptDataDir.c_str(), 1);
  else ::unsetenv("PECKISH_DATA_DIR");
  table.reload();
  resetPlayerNotices();
  fs::remove_all(root);
}

}  // namespace
}  // namespace peckish::test
