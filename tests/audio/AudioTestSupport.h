#pragma once
// Helpers of the audio tests: temporary folders of generated sound files, an environment override,
// and a fake-clock run loop driven alongside OpenAL's real-time mixing.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"

namespace peckish::testing {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "peckish-audio-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Writes a sine tone (amplitude 0.5 of full scale); format is a libsndfile major format
// (SF_FORMAT_WAV, SF_FORMAT_CAF). Returns false when libsndfile cannot write it.
inline bool writeTone(const std::string& path, int format, int rate, int channels, long frames,
                      double hz = 440.0, double amplitude = 0.5) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format | SF_FORMAT_PCM_16;
  if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
  if (!sf_format_check(&info)) return false;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!sf) return false;
  std::vector<short> samples(static_cast<size_t>(frames) * channels);
  for (long i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      samples[i * channels + c] = static_cast<short>(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate));
  sf_count_t wrote = sf_writef_short(sf, samples.data(), frames);
  sf_close(sf);
  return wrote == frames;
}

// Peak absolute sample value (0..1) of a sound file, or -1 when it cannot be read.
inline double peakOf(const std::string& path, long* framesOut = nullptr) {
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (!sf) return -1;
  std::vector<float> block(4096 * static_cast<size_t>(info.channels));
  double peak = 0;
  long frames = 0;
  for (;;) {
    sf_count_t got = sf_readf_float(sf, block.data(), 4096);
    if (got <= 0) break;
    frames += got;
    for (sf_count_t i = 0; i < got * info.channels; ++i) peak = std::max(peak, std::fabs(double(block[i])));
  }
  sf_close(sf);
  if (framesOut) *framesOut = frames;
  return peak;
}

// Installs a fake clock on the main run loop for the test's lifetime.
class FakeRunLoop {
 public:
  FakeRunLoop() { platform::RunLoop::main().setClock(&clock_); }
  ~FakeRunLoop() { platform::RunLoop::main().reset(); }
  FakeRunLoop(const FakeRunLoop&) = delete;
  FakeRunLoop& operator=(const FakeRunLoop&) = delete;

  // Turns the run loop (10 ms of fake time a turn, with a short real pause so the OpenAL mixer,
  // which runs in real time, makes progress) until done() holds or timeout seconds of real time pass.
  template <class Pred>
  bool pumpUntil(Pred done, double timeout = 5.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      platform::RunLoop::main().advance(0.01);
    }
    return true;
  }
  void turns(int n) {
    for (int i = 0; i < n; ++i) platform::RunLoop::main().advance(0.01);
  }

 private:
  platform::FakeClock clock_;
};

}  // namespace peckish::testing
