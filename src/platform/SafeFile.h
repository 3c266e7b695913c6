#pragma once
// Whole-file reads and safe replacement for the files the game keeps for a player (the settings,
// the high-score table).
//
// replaceFile puts new text in place of a file in one step: a uniquely named file beside it, every
// write, the sync and the close checked, renamed over the old one, the folder synced. On failure
// the old file is untouched, nothing is left behind, and `reason` says what went wrong.
//
//   const FileText current = readWholeFile(path);
//   std::string reason;
//   if (!replaceFile(path, text, current.mode, reason)) tell(reason);
#include <string>

namespace peckish::platform {

// The file as found: read whole, absent, or there but unreadable (errno in `error`).
struct FileText {
  enum class Status { Read, Absent, Failed } status = Status::Absent;
  std::string text;
  int error = 0;
  unsigned mode = 0644;  // permission bits of the file found (0644 when absent)
};

FileText readWholeFile(const std::string& path);
bool replaceFile(const std::string& path, const std::string& text, unsigned mode, std::string& reason);

}  // namespace peckish::platform
