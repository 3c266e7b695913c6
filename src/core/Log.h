#pragma once
// The platform log: one line per call, printf-style. Tests install a sink to read the exact texts.
#include <functional>
#include <string>
#include <vector>

namespace peckish {

// Trace: the engine's own lines. They always reach an installed sink (tests' LogCapture); without
// one they reach standard error only while trace output is on (see setLogVerbose).
void engineLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A one-line notice for the player ("peckish: <text>"), shown whatever the verbosity. The same text
// is shown at most once a run. Goes to the installed sink when there is one, else standard error.
// Returns false when the text had already been shown.
bool playerNotice(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Forgets which notices were shown (tests).
void resetPlayerNotices();

// Whether trace lines without a sink reach standard error. The executable turns this off unless
// --verbose or PECKISH_LOG=debug; the library's default is on.
void setLogVerbose(bool on);
bool logVerbose();

using LogSink = std::function<void(const std::string& line)>;
// Replaces the sink (nullptr restores standard error); returns the previous one.
LogSink setLogSink(LogSink sink);

// Collects every log line while alive (restores the previous sink afterwards).
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::vector<std::string> lines() const;
  bool contains(const std::string& text) const;
  int count(const std::string& text) const;
  void clear();

 private:
  struct State;
  State* state_;
  LogSink previous_;
};

}  // namespace peckish
