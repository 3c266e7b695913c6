// Frame cost of a real game: the game started by the application shell exactly as
// `peckish --headless --play --autoplay --seed 7` starts it (launch sequence, pickup lines and all),
// with the autoplay bot tapping roosters, on the headless display the game itself uses (SDL
// offscreen, 960 x 640 pixels through Mesa), driven by a fake clock one 1/30 s frame at a time
// exactly as `peckish --fixed-dt` does.
//
// BM_GameFrame plays one game from the seed 7 and measures frames 150 .. 3550 (after the first
// five seconds have loaded every picture, before the clock runs out at 3600): time per frame
// (mean, median, 99th percentile) and heap allocations per frame (mean, share of frames that
// allocate, the fewest and the most in one frame). Afterwards a fresh process plays the same game
// again with the call stack of every allocation in the same frames recorded, and prints the sources
// with their count per frame.
//
//   SDL_VIDEODRIVER=offscreen build-bench/bench/bench_game
//   build-bench/bench/bench_game --no-sources          # the benchmark alone
//   build-bench/bench/bench_game --allocation-sources  # the sources alone
//   build-bench/bench/bench_game --no-sources --content-scale 4 [--unbatched]
//       the surface at 4 pixels a point (1920 x 1280), every sprite its own draw call
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "AllocationCounter.h"
#include "engine/scene/Director.h"
#include "engine/render/QuadBatch.h"
#include "game/PeckishAppDelegate.h"
#include "game/State.h"
#include "platform/Application.h"
#include "platform/Display.h"
#include "platform/GLES.h"
#include "platform/Options.h"
#include "platform/RunLoop.h"

namespace {

using namespace peckish;

constexpr double kDt = 1.0 / 30;
constexpr std::uint32_t kSeed = 7;
constexpr int kWarmUpFrames = 150;
constexpr int kMeasuredFrames = 3400;
float gContentScale = 1.f;  // --content-scale: surface pixels per point
bool gBatched = true;       // --unbatched turns the QuadBatch off

struct Game {
  platform::FakeClock clock;
  platform::Display* display = nullptr;
  bool ok = false;

  Game() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("PECKISH_RESOURCES", PECKISH_SOURCE_DIR "/resources", 0);
    char dataDir[] = "/tmp/peckish-bench-game-XXXXXX";
    if (mkdtemp(dataDir)) {
      dataDir_ = dataDir;
      setenv("PECKISH_DATA_DIR", dataDir, 1);
    }
    platform::DisplayOptions d;
    d.headless = true;
    display = platform::Display::open(d);
    if (!display) return;
    display->attachToRunLoop();
    clock.set(1700000000.0);
    platform::RunLoop::main().setClock(&clock);
    platform::Options options;
    options.headless = true;
    options.play = true;
    options.autoplay = true;
    options.seed = kSeed;
    // What Application::run does once the display is open; the frames are then turned here.
    shell = new PeckishAppDelegate(options);
    platform::Application& app = *platform::Application::sharedApplication();
    app.setDelegate(shell);
    shell->applicationDidFinishLaunching(app);
    app.becomeActive();
    ok = !app.isTerminated() && Director::exists() && !Director::shared()->scenes().empty();
    QuadBatch::setEnabled(gBatched);
    if (ok && gContentScale != 1.f) {
      Director* d = Director::sharedDirector();
      d->setAutoresizesEAGLSurface(true);
      d->setContentScaleFactor(gContentScale);
      d->setCurrentContext();
      const CGSize pixels = d->surfaceSize();
      glViewport(0, 0, GLsizei(pixels.width), GLsizei(pixels.height));
    }
  }
  // The process leaves with _Exit (the game is never torn down): this is the one clean-up.
  void removeDataDir() {
    std::error_code ec;
    if (!dataDir_.empty()) std::filesystem::remove_all(dataDir_, ec);
    dataDir_.clear();
  }

  // Turns of the run loop as the game's --fixed-dt loop makes them, until one more frame has been
  // presented.
  void frame() {
    platform::RunLoop& loop = platform::RunLoop::main();
    const std::uint64_t target = display->presentedFrames() + 1;
    for (int turns = 0; display->presentedFrames() < target && turns < 8; ++turns) {
      clock.advance(kDt);
      const double due = loop.nextTimerDue();
      if (due > clock.now() && due < clock.now() + 1.0) clock.set(due);
      loop.runOnce(0.0);
    }
  }

  std::string dataDir_;
  PeckishAppDelegate* shell = nullptr;  // lives to the end of the process
};

Game* gGame = nullptr;

Game& game() {
  static Game g;
  gGame = &g;
  return g;
}

[[noreturn]] void leave() {
  std::fflush(stdout);
  if (gGame) gGame->removeDataDir();
  // Without tearing the game down: the shell, the Director, the bot and the display live to the end.
  std::_Exit(0);
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void BM_GameFrame(benchmark::State& state) {
  Game& g = game();
  if (!g.ok) {
    state.SkipWithError("no headless GL display");
    return;
  }
  for (int i = 0; i < kWarmUpFrames; ++i) g.frame();
  std::vector<double> times;
  std::vector<std::uint64_t> allocs;
  times.reserve(kMeasuredFrames + 16);
  allocs.reserve(kMeasuredFrames + 16);
  const std::uint64_t start = bench::allocations();
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::uint64_t a0 = bench::allocations();
    g.frame();
    allocs.push_back(bench::allocations() - a0);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  const double frames = static_cast<double>(state.iterations());
  const double total = static_cast<double>(bench::allocations() - start);
  const auto allocating = std::count_if(allocs.begin(), allocs.end(), [](std::uint64_t a) { return a != 0; });
  state.counters["allocs_per_frame"] = total / frames;
  state.counters["frames_allocating_pct"] = 100.0 * static_cast<double>(allocating) / frames;
  state.counters["min_allocs_in_frame"] = static_cast<double>(*std::min_element(allocs.begin(), allocs.end()));
  state.counters["max_allocs_in_frame"] = static_cast<double>(*std::max_element(allocs.begin(), allocs.end()));
  state.counters["p50_ms"] = percentile(times, 0.5);
  state.counters["p99_ms"] = percentile(times, 0.99);
  state.counters["score"] = static_cast<double>(State::sharedState()->score());
}
BENCHMARK(BM_GameFrame)->Iterations(kMeasuredFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// The measured stretch of the same game, with every allocation's stack recorded.
void printAllocationSources() {
  Game& g = game();
  if (!g.ok) {
    std::printf("no headless GL display\n");
    return;
  }
  for (int i = 0; i < kWarmUpFrames; ++i) g.frame();
  bench::AllocationSites sites;
  const std::uint64_t a0 = bench::allocations();
  for (int i = 0; i < kMeasuredFrames; ++i) g.frame();
  const std::uint64_t total = bench::allocations() - a0;
  sites.stop();
  std::printf("Allocation sources, frames %d .. %d of the same game: %llu allocations (%.3f per frame), score %d\n",
              kWarmUpFrames, kWarmUpFrames + kMeasuredFrames, static_cast<unsigned long long>(total),
              static_cast<double>(total) / kMeasuredFrames, State::sharedState()->score());
  // The causes, most specific first.
  const std::vector<bench::AllocationSites::Category> causes = {
      {"run loop: the empty std::deque<Task> made by each RunLoop::runTasks (two calls a turn, one turn a frame)",
       {"RunLoop::runTasks"}, true},
      {"\"deallocing\" log line of every destroyed action (objectDescription + engineLog strings)",
       {"objectDescription", "engineLog"}, true},
      {"text textures: Label::setString / Texture2D::initWithString (HUD time and score, streak, 2 X)",
       {"Label::setString", "Texture2D::initWithString", "Label::labelWithString"}},
      {"a hit: the touch set, star sprite and its actions (Autoplay::act -> GameNode::clickOK)",
       {"Autoplay::tap", "Autoplay::act", "GameNode::clickOK", "GameNode::touchesBegan"}},
      {"a spawn: character sprite, its actions and timer (GameNode::popSprite)", {"GameNode::popSprite"}},
      {"a character or star leaving (GameNode::spriteDeadCB)", {"GameNode::spriteDeadCB"}},
      {"the autoplay bot's posted tap task (std::function in Autoplay::tick)", {"Autoplay::tick"}},
      {"sound effects", {"Sound"}},
  };
  sites.print(stdout, kMeasuredFrames, 40, 3, causes);
}

// Runs this program again with --allocation-sources (a fresh game in a fresh process).
void runSourcesProcess() {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {  // only exec from here: the parent has GL threads running
    char self[] = "/proc/self/exe";
    char flag[] = "--allocation-sources";
    char* argv[] = {self, flag, nullptr};
    execv(self, argv);
    _exit(127);
  }
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  bool sources = true;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-sources") == 0) {
      sources = false;
    } else if (std::strcmp(argv[i], "--content-scale") == 0 && i + 1 < argc) {
      gContentScale = std::strtof(argv[++i], nullptr);
      if (!(gContentScale > 0.f)) gContentScale = 1.f;
    } else if (std::strcmp(argv[i], "--unbatched") == 0) {
      gBatched = false;
    } else if (std::strcmp(argv[i], "--allocation-sources") == 0) {
      printAllocationSources();
      leave();
    } else {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (sources) runSourcesProcess();
  leave();
}
