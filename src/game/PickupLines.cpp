#include "game/PickupLines.h"

#include <fstream>

#include "core/Exception.h"
#include "core/Log.h"
#include "platform/Paths.h"

namespace peckish {

namespace {
constexpr const char* kTable = "pickup-lines.tsv";
}

std::vector<PickupLine> parsePickupLines(std::istream& in) {
  std::vector<PickupLine> lines;
  std::string row;
  for (int number = 1; std::getline(in, row); ++number) {
    if (!row.empty() && row.back() == '\r') row.pop_back();
    if (row.empty() || row[0] == '#') continue;
    const size_t a = row.find('\t');
    const size_t b = a == std::string::npos ? a : row.find('\t', a + 1);
    const std::string bad = "Row " + std::to_string(number) + " of the pickup lines: ";
    if (b == std::string::npos || a == 0 || b + 1 >= row.size())
      raise("BadPickupLines", (bad + "needs a file, a speaker and the words").c_str());
    PickupLine line;
    line.file = row.substr(0, a);
    const std::string who = row.substr(a + 1, b - a - 1);
    if (who == "rooster")
      line.speaker = Speaker::Rooster;
    else if (who == "girl")
      line.speaker = Speaker::Girl;
    else
      raise("BadPickupLines", (bad + "the speaker is rooster or girl, not '" + who + "'").c_str());
    line.words = row.substr(b + 1);
    lines.push_back(std::move(line));
  }
  return lines;
}

const std::vector<PickupLine>& pickupLineTable() {
  static const std::vector<PickupLine> table = [] {
    const std::string path = platform::pathForResource(kTable);
    std::ifstream in(path);
    if (path.empty() || !in) {
      playerNotice("the pickup lines (%s) are missing from the resources", kTable);
      return std::vector<PickupLine>{};
    }
    try {
      return parsePickupLines(in);
    } catch (const Exception& e) {
      playerNotice("%s", e.reason().c_str());
      return std::vector<PickupLine>{};
    }
  }();
  return table;
}

const PickupLine* findPickupLine(const std::string& file) {
  for (const PickupLine& line : pickupLineTable())
    if (line.file == file) return &line;
  return nullptr;
}

const char* speakerName(Speaker speaker) { return speaker == Speaker::Rooster ? "Rooster" : "Girl"; }

}  // namespace peckish
