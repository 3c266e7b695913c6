// Analytics client throughput: records through the SQLite queue (stored, then taken in batches
// of five with the store's own statements), reading a typical server answer, and building an
// encoded upload body.
//
// The JSON reader is also measured against nlohmann::json (Debian's nlohmann-json3-dev) on the
// same texts, a typical ad answer and a 64 KB answer of many entries, each parsed into a
// document tree; the time ratios are printed after the table. Without that header the comparison
// is left out.
//
//   build-bench/bench/bench_analytics
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifdef PECKISH_BENCH_NLOHMANN
#include <nlohmann/json.hpp>
#endif

#include "analytics/KXB64.h"
#include "analytics/KXDatabase.h"
#include "analytics/KXEncryption.h"
#include "analytics/KXJSON.h"
#include "analytics/KXRequest.h"
#include "analytics/KXURL.h"

using namespace peckish;
namespace fs = std::filesystem;

namespace {

const std::string kSession = "0123456789ABCDEF0123456789ABCDEF";
const char* kSecret = "0123456789abcdef0123456789abcdef";

struct TempFolder {
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "peckish-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
  std::string path;
};

// One cycle: four actions and one location fix stored, then the batch of five taken off.
void BM_StoreAndTakeRecords(benchmark::State& state) {
  TempFolder dir;
  auto db = make<KXDatabase>(dir.path + "/documents");
  KXAction action("startGame", kSession);
  KXGeo geo(52.5f, 13.25f, 34.0f, kSession);
  std::size_t taken = 0;
  for (auto _ : state) {
    for (int i = 0; i < 4; ++i) db->storeAction(action);
    db->storeGeo(geo);
    auto batch = db->oldestActions(5);
    taken += batch.size();
    benchmark::DoNotOptimize(batch.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(taken));
  state.counters["records_per_second"] = benchmark::Counter(static_cast<double>(taken), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StoreAndTakeRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::string kAdAnswer =
    "{\"type\" : \"ad\",\"success\" : true,\"errors\" : \"\",\"data\" : [{\"title\" : \"Peck the roosters\","
    "\"desc\" : \"Beat your high score \\u2014 now with a caf\\u00e9 bonus \\uD83D\\uDC14\","
    "\"link\" : \"http:\\/\\/127.0.0.1:8765\\/highscores\\/public\\/buymore.php\",\"id\" : 1024,"
    "\"weight\" : 0.375,\"expires\" : 1700000000}]}";
const std::string kAckAnswer = "{\"type\":\"ack\",\"success\":true,\"errors\":\"\",\"data\":[]}";

void parseAnswer(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    KXJSON parser;
    auto value = parser.objectWithString(text);
    if (!value) state.SkipWithError("answer did not parse");
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
void BM_ParseAdAnswer(benchmark::State& state) { parseAnswer(state, kAdAnswer); }
void BM_ParseAckAnswer(benchmark::State& state) { parseAnswer(state, kAckAnswer); }
BENCHMARK(BM_ParseAdAnswer);
BENCHMARK(BM_ParseAckAnswer);

// The full answer path after the HTTP exchange: Base64, RC4, parse.
void BM_DecodeAndParseAnswer(benchmark::State& state) {
  const std::string body = KXBase64EncodedData(KXRC4(kAdAnswer, kSecret));
  for (auto _ : state) {
    auto bytes = KXDataFromBase64String(body);
    std::string text = KXRC4dec(*bytes, kSecret);
    KXJSON parser;
    auto value = parser.objectWithString(text);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_DecodeAndParseAnswer);

// An upload body of five records: envelope, RC4, Base64, URL-safe alphabet.
void BM_EncodeUploadBody(benchmark::State& state) {
  std::vector<Ref<KXRecord>> payload;
  for (int i = 0; i < 4; ++i) payload.push_back(make<KXAction>("instruct", kSession));
  payload.push_back(make<KXGeo>(52.5f, 13.25f, 34.0f, kSession));
  auto request = make<KXRequest>(payload);
  for (auto _ : state) {
    std::string body = "args=" + KXURLEncoding(KXBase64EncodedData(KXRC4(request->json(), kSecret)));
    benchmark::DoNotOptimize(body);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_EncodeUploadBody);

// --- the JSON reader against a well-known parser -------------------------------------------------

// An answer of many entries (about 64 KB): strings with escapes and non-ASCII characters, whole
// and fractional numbers, booleans, nulls, nested objects and arrays.
std::string largeAnswer() {
  std::string s = "{\"type\" : \"ad\",\"success\" : true,\"errors\" : \"\",\"data\" : [";
  for (int i = 0; s.size() < 64 * 1024; ++i) {
    if (i) s += ",";
    const std::string n = std::to_string(i);
    s += "{\"title\" : \"Peck the roosters, round " + n + "\",";
    s += "\"desc\" : \"Beat your high score \\u2014 now with a caf\\u00e9 bonus \\uD83D\\uDC14 and \\\"quotes\\\"\",";
    s += "\"link\" : \"http:\\/\\/127.0.0.1:8765\\/highscores\\/public\\/buymore.php?id=" + n + "\",";
    s += "\"id\" : " + std::to_string(1024 + i) + ",\"weight\" : 0." + std::to_string(375 + i % 500) + ",";
    s += "\"expires\" : 1700000000,\"active\" : " + std::string(i % 2 ? "true" : "false") + ",\"note\" : null,";
    s += "\"size\" : {\"w\" : 320, \"h\" : 50, \"scale\" : -1.5e2},\"tags\" : [\"farm\", \"arcade\", " + n + "]}";
  }
  s += "]}";
  return s;
}

const std::string& jsonInput(int which) {
  static const std::string large = largeAnswer();
  return which == 0 ? kAdAnswer : large;
}

void BM_JSON_KXJSON(benchmark::State& state) {
  const std::string& text = jsonInput(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    KXJSON parser;
    auto value = parser.objectWithString(text);
    if (!value) {
      state.SkipWithError("KXJSON did not parse the input");
      break;
    }
    benchmark::DoNotOptimize(value);
  }
  state.SetLabel(state.range(0) == 0 ? "ad answer" : "64 KB answer");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JSON_KXJSON)->Arg(0)->Arg(1);

#ifdef PECKISH_BENCH_NLOHMANN
void BM_JSON_nlohmann(benchmark::State& state) {
  const std::string& text = jsonInput(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) {
      state.SkipWithError("nlohmann::json did not parse the input");
      break;
    }
    benchmark::DoNotOptimize(value);
  }
  state.SetLabel(state.range(0) == 0 ? "ad answer" : "64 KB answer");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JSON_nlohmann)->Arg(0)->Arg(1);
#endif

// The console table, remembering each benchmark's time per iteration for the ratios.
class Reporter : public benchmark::ConsoleReporter {
 public:
  Reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.run_type == Run::RT_Iteration) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
#ifdef PECKISH_BENCH_NLOHMANN
  const char* names[] = {"ad answer", "64 KB answer"};
  for (int i = 0; i < 2; ++i) {
    const std::string arg = std::to_string(i);
    const auto kx = reporter.times.find(std::string("BM_JSON_KXJSON/") + arg);
    const auto nl = reporter.times.find(std::string("BM_JSON_nlohmann/") + arg);
    if (kx == reporter.times.end() || nl == reporter.times.end() || nl->second <= 0) continue;
    const double bytes = static_cast<double>(jsonInput(i).size());
    // Both times are in the same unit (ns): bytes / ns * 1e3 = MB/s.
    std::printf("JSON %s (%.0f bytes): KXJSON %.1f MB/s, nlohmann::json %.1f MB/s, KXJSON/nlohmann throughput ratio %.2f\n",
                names[i], bytes, bytes / kx->second * 1e3, bytes / nl->second * 1e3, nl->second / kx->second);
  }
#endif
  return 0;
}
