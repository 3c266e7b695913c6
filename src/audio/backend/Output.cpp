#include "audio/backend/Output.h"

#include <AL/al.h>

#include <filesystem>

#include "audio/backend/CoreTypes.h"

namespace peckish::audio {
namespace {
ALCdevice* gDevice = nullptr;
int gDeviceRefs = 0;
ALCcontext* gContext = nullptr;
int gContextRefs = 0;
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
    gDevice = alcOpenDevice(nullptr);
    if (!gDevice) return nullptr;
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
