#pragma once
// The spoken pickup lines: which sound file, who says it, and the words. They come from one table
// in the resources, pickup-lines.tsv, that the sound script (tools/assets/make-sounds.sh) also
// speaks the files from, so the words shown as a caption are the words heard.
//
// The table: one row a line, three fields separated by tabs (file name with its extension,
// "rooster" or "girl", the words); empty lines and lines starting with '#' are comments.
#include <istream>
#include <string>
#include <vector>

namespace peckish {

enum class Speaker { Rooster, Girl };

struct PickupLine {
  std::string file;  // "Biscuts.caf"
  Speaker speaker = Speaker::Rooster;
  std::string words;
};

// Parses a table; a row that does not have the three fields or names another speaker raises
// "BadPickupLines" with the row's number in the reason.
std::vector<PickupLine> parsePickupLines(std::istream& in);

// The resource table, read on first use (in table order). Empty, with one log line, when it is
// missing or damaged.
const std::vector<PickupLine>& pickupLineTable();
// The row of a sound file, or null.
const PickupLine* findPickupLine(const std::string& file);

// "Rooster" / "Girl", as a caption names the speaker.
const char* speakerName(Speaker speaker);

}  // namespace peckish
