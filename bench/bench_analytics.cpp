// Analytics client throughput: records through the SQLite queue (stored, then taken in batches
// of five with the store's own statements), reading a typical server answer, and building an
// encoded upload body.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

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

}  // namespace

BENCHMARK_MAIN();
