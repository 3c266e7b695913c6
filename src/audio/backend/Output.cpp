#include "audio/backend/Output.h"

#include <AL/al.h>
#include <stdlib.h>

#ifdef PECKISH_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "audio/backend/CoreTypes.h"
#include "core/Log.h"

namespace peckish::audio {
namespace {
ALCdevice* gDevice = nullptr;
int gDeviceRefs = 0;
ALCcontext* gContext = nullptr;
int gContextRefs = 0;

// Without a device every sound would try to open one again; after a failure the device is tried
// again only after this much time (a device plugged in later is still found).
constexpr std::chrono::seconds kDeviceRetryInterval{30};
std::optional<std::chrono::steady_clock::time_point> gLastFailedOpen;

#ifdef PECKISH_HAVE_ALSA
void alsaMessage(const char* file, int line, const char* function, int, const char* fmt, ...) {
  char text[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  engineLog("ALSA lib %s:%d:(%s) %s", file ? file : "?", line, function ? function : "?", text);
}
#endif

// The audio libraries' own messages are for developers: OpenAL Soft's go only where its log level
// is set explicitly, ALSA's into the trace log. OpenAL Soft reads its level when first used, so
// this runs while the process starts, before any thread that could read the environment.
struct QuietAudioLibraries {
  QuietAudioLibraries() {
    ::setenv("ALSOFT_LOGLEVEL", "0", 0);  // an explicit setting wins
#ifdef PECKISH_HAVE_ALSA
    snd_lib_error_set_handler(&alsaMessage);
#endif
  }
};
const QuietAudioLibraries kQuietAudioLibraries;
}  // namespace

std::optional<FileURL> fileURLWithPath(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  if (path.front() == '/') return FileURL{path};
  std::error_code ec;
  auto abs = std::filesystem::absolute(path, ec);
  if (ec) return std::nullopt;
  return FileURL{abs.string()};
}

AudioStreamBasicDescription pcm16Format(double sampleRate, std::uint32_t channels) {
  AudioStreamBasicDescription f;
  f.mSampleRate = sampleRate;
  f.mFormatID = kAudioFormatLinearPCM;
  f.mFormatFlags = kLinearPCMFormatFlagIsSignedInteger | kLinearPCMFormatFlagIsPacked;
  f.mBytesPerPacket = 2 * channels;
  f.mFramesPerPacket = 1;
  f.mBytesPerFrame = 2 * channels;
  f.mChannelsPerFrame = channels;
  f.mBitsPerChannel = 16;
  return f;
}

ALCdevice* openSharedDevice() {
  if (!gDevice) {
    const auto now = std::chrono::steady_clock::now();
    if (gLastFailedOpen && now - *gLastFailedOpen < kDeviceRetryInterval) return nullptr;
    ++audioCounters().deviceOpenAttempts;
    gDevice = alcOpenDevice(nullptr);
    if (!gDevice) {
      gLastFailedOpen = now;
      playerNotice("no audio output device; playing without sound");
      return nullptr;
    }
    gLastFailedOpen.reset();
  }
  ++gDeviceRefs;
  return gDevice;
}

void closeSharedDevice(ALCdevice* device) {
  if (!device || device != gDevice || gDeviceRefs == 0) return;
  if (--gDeviceRefs > 0) return;
  if (gContext) {  // a context outliving every device reference cannot stay usable
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(gContext);
    gContext = nullptr;
    gContextRefs = 0;
  }
  alcCloseDevice(gDevice);
  gDevice = nullptr;
}

ALCcontext* createSharedContext(ALCdevice* device) {
  if (!device || device != gDevice) return nullptr;
  if (!gContext) {
    gContext = alcCreateContext(device, nullptr);
    if (!gContext) return nullptr;
  }
  ++gContextRefs;
  return gContext;
}

void destroySharedContext(ALCcontext* context) {
  if (!context || context != gContext || gContextRefs == 0) return;
  if (--gContextRefs > 0) return;
  if (alcGetCurrentContext() == gContext) alcMakeContextCurrent(nullptr);
  alcDestroyContext(gContext);
  gContext = nullptr;
}

bool acquireOutput() {
  ALCdevice* device = openSharedDevice();
  if (!device) return false;
  ALCcontext* context = createSharedContext(device);
  if (!context) {
    closeSharedDevice(device);
    return false;
  }
  if (alcGetCurrentContext() != context) alcMakeContextCurrent(context);
  return true;
}

void releaseOutput() {
  destroySharedContext(gContext);
  closeSharedDevice(gDevice);
}

bool outputAvailable() { return gContext != nullptr && alcGetCurrentContext() == gContext; }

AudioCounters& audioCounters() {
  static AudioCounters counters;
  return counters;
}

}  // namespace peckish::audio
