#include "devserver/Pages.h"

#include <ctime>

namespace peckish::devserver {
namespace {

constexpr const char* kStyle = R"css(
body { font-family: Verdana, "DejaVu Sans", sans-serif; background: #2b1d0e; color: #fdf3df; margin: 0; }
main { max-width: 36em; margin: 2em auto; padding: 1.5em 2em; background: #4a3219; border-radius: 12px; }
h1 { color: #ffd34d; margin-top: 0; }
table { width: 100%; border-collapse: collapse; }
th, td { padding: 0.35em 0.6em; text-align: left; }
th { color: #ffd34d; border-bottom: 2px solid #ffd34d; }
tr:nth-child(even) td { background: #573b1e; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
a { color: #ffd34d; }
.empty { font-style: italic; }
)css";

std::string page(std::string_view title, std::string_view body) {
  std::string out;
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  out += htmlEscape(title);
  out += "</title>\n<style>";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<main>\n";
  out += body;
  out += "</main>\n</body>\n</html>\n";
  return out;
}

std::string utcDate(int64_t seconds) {
  time_t t = static_cast<time_t>(seconds);
  tm parts{};
  gmtime_r(&t, &parts);
  char buf[32];
  strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &parts);
  return buf;
}

}  // namespace

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string highScoresPage(int64_t gid, const std::vector<ScoreRow>& best) {
  std::string body = "<h1>Peckish High Scores</h1>\n";
  if (best.empty()) {
    body += "<p class=\"empty\">No scores yet for game " + std::to_string(gid) + ". Be the first!</p>\n";
  } else {
    body += "<table>\n<thead><tr><th>#</th><th>Player</th><th class=\"num\">Score</th><th>Date (UTC)</th></tr></thead>\n<tbody>\n";
    int rank = 0;
    for (const ScoreRow& row : best) {
      body += "<tr><td class=\"num\">" + std::to_string(++rank) + "</td><td>" + htmlEscape(row.player) +
              "</td><td class=\"num\">" + std::to_string(row.score) + "</td><td>" + utcDate(row.time) + "</td></tr>\n";
    }
    body += "</tbody>\n</table>\n";
  }
  body += "<p><a href=\"buymore.php\">More Peckish</a></p>\n";
  return page("Peckish High Scores", body);
}

std::string buyMorePage() {
  return page("Peckish", R"html(<h1>Peckish</h1>
<p>Roosters pop out of nine holes; tap them before they duck back in. Tap two within a tenth of a second
for double points and two extra seconds. Leave the girl alone, or lose a tenth of your score.</p>
<p>Every ten roosters the farmyard gets faster. You have 120 seconds. Send your score and see where you
rank on the <a href="index.php?gid=3">high-score table</a>.</p>
<p>This page is served by the local development server.</p>
)html");
}

std::string homePage() {
  return page("Peckish development server", R"html(<h1>Peckish development server</h1>
<ul>
<li><a href="/highscores/public/index.php?gid=3">High scores</a></li>
<li><a href="/highscores/public/buymore.php">Buy more</a></li>
<li><a href="/debug/highscores">Stored scores (JSON)</a></li>
<li><a href="/debug/events">Received analytics records (JSON)</a></li>
<li><a href="/debug/uploads">Received analytics uploads (JSON)</a></li>
<li><a href="/debug/fault">Current fault mode</a></li>
</ul>
)html");
}

std::string messagePage(int status, std::string_view title, std::string_view message) {
  return page(title, "<h1>" + std::to_string(status) + " " + htmlEscape(title) + "</h1>\n<p>" + htmlEscape(message) +
                         "</p>\n");
}

}  // namespace peckish::devserver
