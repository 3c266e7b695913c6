#pragma once
// The high-score table kept on this machine: the ten best finished games (name, score, level,
// date) of this user, in <documents folder>/highscores.
//
// Order: by score, highest first; a score equal to one already there goes below it (the earlier
// game keeps its place), and a score below all ten is not kept. Names are kept exactly as given, cut
// to at most 256 bytes without splitting a UTF-8 sequence.
//
// Writes are those of the settings file (platform/SafeFile.h): a new file beside the old one,
// checked, synced and renamed over it, so a failed write leaves the old table as it was. Copies of
// the game running at once take <documents folder>/highscores.lock and read the table again before
// changing it, so neither erases the other's entries. A file that does not parse is kept aside as
// highscores.damaged-<date and time> and a fresh table is started; a file that exists but cannot be
// read is never written over in that run. Each of these tells the player once a run.
//
//   const std::string id = HighScoreTable::standard().add("Ann", 5605, 7);
//   HighScoreTable::standard().rename(id, "Annie");
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace peckish::platform {

struct HighScore {
  std::string name;
  int score = 0;
  int level = 0;
  std::string date;  // local date of the game, YYYY-MM-DD
  std::string id;    // unique to the entry, for renaming it later
};

class HighScoreTable {
 public:
  static constexpr size_t kPlaces = 10;
  static constexpr size_t kMaxNameBytes = 256;

  static HighScoreTable& standard();
  std::string filePath() const;

  // The table as it is kept now (empty when there is none or it cannot be read).
  std::vector<HighScore> entries();
  // Offers a finished game's score dated today. Returns the new entry's id when it made the table
  // and was saved; "" otherwise.
  std::string add(const std::string& name, int score, int level);
  // Gives the entry with this id a new name; false when it is no longer in the table or the
  // change could not be saved.
  bool rename(const std::string& id, const std::string& name);
  // Forgets what this run was told and could not read, as a new run would (tests).
  void reload();

  // Where a new score goes among `entries` (kept in order): below every entry scoring as much.
  static size_t placeFor(const std::vector<HighScore>& entries, int score);
  // The name cut to kMaxNameBytes at the start of a UTF-8 sequence.
  static std::string clipName(const std::string& name);
  // The file's text and back; nullopt for a text that is not a table.
  static std::string format(const std::vector<HighScore>& entries);
  static std::optional<std::vector<HighScore>> parse(const std::string& text);

 private:
  HighScoreTable() = default;
  enum class Loaded { Ok, Unreadable };
  Loaded load(std::vector<HighScore>& out);
  bool save(const std::vector<HighScore>& entries);
  void tellNotSaved(const std::string& reason);

  bool unreadable_ = false;
  bool saveFailureShown_ = false;
  bool damageShown_ = false;
  bool unreadableShown_ = false;
};

}  // namespace peckish::platform
