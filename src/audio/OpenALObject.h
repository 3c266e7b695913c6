#pragma once
// The OpenAL output device and context held open while the sound engine is initialised.
#include <AL/alc.h>

#include <cstdint>
#include <map>
#include <memory>

namespace peckish {

// A positional effect of the engine: one source and up to three sample blocks. Nothing in the game
// creates one; the table exists so the device object tears down what it would own.
struct SoundEngineEffect {
  SoundEngineEffect();
  ~SoundEngineEffect();
  SoundEngineEffect(const SoundEngineEffect&) = delete;
  SoundEngineEffect& operator=(const SoundEngineEffect&) = delete;
  unsigned source = 0;
  std::unique_ptr<std::uint8_t[]> data[3];
};

class OpenALObject {
 public:
  explicit OpenALObject(float mixerOutputRate);
  ~OpenALObject();
  OpenALObject(const OpenALObject&) = delete;
  OpenALObject& operator=(const OpenALObject&) = delete;

  // 0, or the ALC error of the failed step (printed), or 5 (nothing printed) when there is no
  // output device.
  std::int32_t Initialize();
  void Teardown();

  float mixerOutputRate;
  float gain = 1.0f;
  ALCcontext* context = nullptr;
  ALCdevice* device = nullptr;
  std::map<std::uint32_t, std::unique_ptr<SoundEngineEffect>> effects;
};

}  // namespace peckish
