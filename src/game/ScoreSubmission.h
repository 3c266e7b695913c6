#pragma once
// The score submission's wire format: a form POST to the high-score server.
#include <cstddef>
#include <string>

namespace peckish {

inline constexpr int kHighScoreGameId = 3;
inline constexpr double kHighScoreTimeout = 30.0;  // seconds
// The longest player name, in bytes of UTF-8, that the name field takes and the server accepts.
inline constexpr size_t kMaxPlayerNameBytes = 256;

// "gid=3&player=<name>&score=<score>" with the name percent-encoded as form data (UTF-8), so that
// any name stays one field: letters and digits go out unchanged ("gid=3&player=Ann&score=1234").
std::string scorePayload(const std::string& player, int score);
// <high-score base address>/highscores/public/save.php
std::string scoreSubmissionURL();

}  // namespace peckish
