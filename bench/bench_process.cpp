// Whole-process figures of the built game executable, run headless as a child process:
//
//   BM_Startup/menu    `peckish --headless --frames 1`: from fork to exit after the first presented
//                      frame of the main menu (start-up, first frame, orderly shutdown).
//   BM_Startup/play    the same with --play: the game scene's first frame.
//   BM_Startup/version `peckish --version`: loading the executable and its libraries alone, the
//                      floor under the two figures above.
//   BM_WholeGamePeakRSS `peckish --headless --play --autoplay --seed 7 --fixed-dt 0.0333333
//                      --frames 3700`: a whole autoplay game; peak resident set (ru_maxrss of the
//                      child) and its wall time.
//
// The children get SDL's offscreen driver, OpenAL's null back end, the source tree's resources and
// a fresh data folder; their output is discarded.
//
//   build-bench/bench/bench_process
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
  bool ok = false;
  double seconds = 0.0;
  double maxRssMiB = 0.0;
};

class DataFolder {
 public:
  DataFolder() {
    char pattern[] = "/tmp/peckish-bench-process-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~DataFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs the game with the arguments; wall time from fork to reaping, and the child's peak RSS.
Outcome runGame(const std::vector<std::string>& args) {
  DataFolder data;
  std::vector<std::string> argv{PECKISH_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  Outcome out;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return out;
  if (pid == 0) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    setenv("PECKISH_RESOURCES", PECKISH_SOURCE_DIR "/resources", 1);
    setenv("PECKISH_DATA_DIR", data.path().c_str(), 1);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    execv(cargv[0], cargv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return out;
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  out.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  out.maxRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  return out;
}

void startup(benchmark::State& state, const std::vector<std::string>& args) {
  double peak = 0.0;
  for (auto _ : state) {
    const Outcome o = runGame(args);
    if (!o.ok) {
      state.SkipWithError("the game did not exit cleanly");
      return;
    }
    state.SetIterationTime(o.seconds);
    peak = std::max(peak, o.maxRssMiB);
  }
  state.counters["peak_rss_MiB"] = peak;
}

void BM_Startup(benchmark::State& state) {
  switch (state.range(0)) {
    case 0:
      state.SetLabel("menu");
      startup(state, {"--headless", "--frames", "1"});
      break;
    case 1:
      state.SetLabel("play");
      startup(state, {"--headless", "--play", "--frames", "1"});
      break;
    default:
      state.SetLabel("version");
      startup(state, {"--version"});
      break;
  }
}
BENCHMARK(BM_Startup)->Arg(0)->Arg(1)->Arg(2)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_WholeGamePeakRSS(benchmark::State& state) {
  double peak = 0.0;
  for (auto _ : state) {
    const Outcome o = runGame({"--headless", "--play", "--autoplay", "--seed", "7", "--fixed-dt", "0.0333333",
                               "--frames", "3700"});
    if (!o.ok) {
      state.SkipWithError("the game did not exit cleanly");
      return;
    }
    state.SetIterationTime(o.seconds);
    peak = std::max(peak, o.maxRssMiB);
  }
  state.counters["peak_rss_MiB"] = peak;
  state.counters["frames"] = 3700;
}
BENCHMARK(BM_WholeGamePeakRSS)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
