#include <gtest/gtest.h>

#include <cstring>

#include "AudioTestSupport.h"
#include "audio/backend/AudioQueue.h"

using namespace peckish;
using namespace peckish::audio;
using peckish::testing::FakeRunLoop;

namespace {

// Records what the queue hands back; optionally re-queues or disposes from inside the callback.
struct Owner {
  std::vector<AudioQueueBufferRef> returned;
  std::vector<std::uint32_t> runningStates;
  bool requeue = false;
  bool disposeInCallback = false;

  static void output(void* self, AudioQueueRef q, AudioQueueBufferRef b) {
    auto* o = static_cast<Owner*>(self);
    o->returned.push_back(b);
    if (o->disposeInCallback) {
      EXPECT_EQ(AudioQueueDispose(q, true), noErr);
      EXPECT_EQ(AudioQueueEnqueueBuffer(q, b, 0, nullptr), kAudioQueueErr_InvalidRunState);
      return;
    }
    if (o->requeue) {
      EXPECT_EQ(AudioQueueEnqueueBuffer(q, b, 0, nullptr), noErr);
    }
  }
  static void listener(void* self, AudioQueueRef q, AudioQueuePropertyID id) {
    EXPECT_EQ(id, kAudioQueueProperty_IsRunning);
    std::uint32_t r = 7, size = 4;
    EXPECT_EQ(AudioQueueGetProperty(q, id, &r, &size), noErr);
    static_cast<Owner*>(self)->runningStates.push_back(r);
  }
};

class OutputQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioStreamBasicDescription f = pcm16Format(8000, 1);
    ASSERT_EQ(AudioQueueNewOutput(&f, Owner::output, &owner, &platform::RunLoop::main(), RunLoopMode::Common, 0, &q),
              noErr);
    ASSERT_EQ(AudioQueueAddPropertyListener(q, kAudioQueueProperty_IsRunning, Owner::listener, &owner), noErr);
  }
  void TearDown() override {
    if (q && !owner.disposeInCallback) AudioQueueDispose(q, true);
  }
  AudioQueueBufferRef filled(std::uint32_t frames) {
    AudioQueueBufferRef b = nullptr;
    EXPECT_EQ(AudioQueueAllocateBuffer(q, frames * 2, &b), noErr);
    auto* s = static_cast<std::int16_t*>(b->mAudioData);
    for (std::uint32_t i = 0; i < frames; ++i) s[i] = static_cast<std::int16_t>((i % 40) * 500);
    b->mAudioDataByteSize = frames * 2;
    return b;
  }
  bool running() {
    std::uint32_t r = 0, size = 4;
    AudioQueueGetProperty(q, kAudioQueueProperty_IsRunning, &r, &size);
    return r != 0;
  }

  FakeRunLoop loop;
  Owner owner;
  AudioQueueRef q = nullptr;
};

TEST(OutputQueueFormats, OnlySixteenBitPcmMonoOrStereo) {
  AudioQueueRef q = nullptr;
  auto refuse = [&](AudioStreamBasicDescription f) {
    return AudioQueueNewOutput(&f, Owner::output, nullptr, nullptr, RunLoopMode::Common, 0, &q);
  };
  AudioStreamBasicDescription f = pcm16Format(44100, 2);
  f.mChannelsPerFrame = 3;
  f.mBytesPerFrame = f.mBytesPerPacket = 6;
  EXPECT_EQ(refuse(f), kAudioFormatUnsupportedDataFormatError);
  f = pcm16Format(44100, 2);
  f.mFormatFlags |= kLinearPCMFormatFlagIsFloat;
  EXPECT_EQ(refuse(f), kAudioFormatUnsupportedDataFormatError);
  f = pcm16Format(44100, 2);
  f.mFormatID = kAudioFormatMPEGLayer3;
  EXPECT_EQ(refuse(f), kAudioFormatUnsupportedDataFormatError);
  f = pcm16Format(0, 1);
  EXPECT_EQ(refuse(f), kAudioFormatUnsupportedDataFormatError);
  EXPECT_EQ(q, nullptr);
  f = pcm16Format(44100, 1);
  EXPECT_EQ(AudioQueueNewOutput(&f, nullptr, nullptr, nullptr, RunLoopMode::Common, 0, &q), kParamErr);
}

TEST_F(OutputQueue, BuffersComeBackInOrderOnlyWhileRunning) {
  AudioQueueBufferRef a = filled(100), b = filled(200), c = filled(50);
  for (auto* buf : {a, b, c}) ASSERT_EQ(AudioQueueEnqueueBuffer(q, buf, 0, nullptr), noErr);
  EXPECT_EQ(AudioQueueEnqueueBuffer(q, a, 0, nullptr), kAudioQueueErr_BufferInQueue);
  EXPECT_EQ(AudioQueueFreeBuffer(q, a), kAudioQueueErr_BufferInQueue);
  ASSERT_EQ(AudioQueuePrime(q, 1, nullptr), noErr);
  loop.turns(5);
  EXPECT_TRUE(owner.returned.empty()) << "nothing comes back before the start";
  EXPECT_FALSE(running());

  ASSERT_EQ(AudioQueueStart(q, nullptr), noErr);
  EXPECT_EQ(owner.runningStates, std::vector<std::uint32_t>{1});
  loop.turns(1);
  EXPECT_EQ(owner.returned, (std::vector<AudioQueueBufferRef>{a, b, c}));
  EXPECT_EQ(AudioQueueFreeBuffer(q, a), noErr);
  EXPECT_EQ(AudioQueueFreeBuffer(q, a), kAudioQueueErr_InvalidBuffer);
}

TEST_F(OutputQueue, AnImmediateStopDropsWhatIsQueued) {
  owner.requeue = true;
  AudioQueueBufferRef a = filled(4000);
  ASSERT_EQ(AudioQueueEnqueueBuffer(q, a, 0, nullptr), noErr);
  ASSERT_EQ(AudioQueueStart(q, nullptr), noErr);
  loop.turns(2);
  ASSERT_EQ(AudioQueueStop(q, true), noErr);
  EXPECT_EQ(owner.runningStates, (std::vector<std::uint32_t>{1, 0})) << "told at once";
  const size_t count = owner.returned.size();
  loop.turns(10);
  EXPECT_EQ(owner.returned.size(), count);
  EXPECT_EQ(AudioQueueFreeBuffer(q, a), noErr) << "the dropped buffer is back with its owner";
}

TEST_F(OutputQueue, AnAsynchronousStopPlaysOutAndThenReports) {
  owner.requeue = true;
  ASSERT_EQ(AudioQueueEnqueueBuffer(q, filled(800), 0, nullptr), noErr);
  ASSERT_EQ(AudioQueueStart(q, nullptr), noErr);
  loop.turns(2);
  ASSERT_EQ(AudioQueueStop(q, false), noErr);
  EXPECT_TRUE(running());
  const size_t count = owner.returned.size();
  ASSERT_TRUE(loop.pumpUntil([&] { return !running(); }));
  EXPECT_EQ(owner.returned.size(), count) << "no buffer comes back once the stop was asked for";
  EXPECT_EQ(owner.runningStates, (std::vector<std::uint32_t>{1, 0}));
  EXPECT_EQ(AudioQueueEnqueueBuffer(q, filled(10), 0, nullptr), noErr) << "a stopped queue takes buffers again";
}

TEST_F(OutputQueue, APauseHoldsTheQueueAndStartGoesOnFromThere) {
  owner.requeue = true;
  ASSERT_EQ(AudioQueueEnqueueBuffer(q, filled(800), 0, nullptr), noErr);  // 0.1 s, over and over
  ASSERT_EQ(AudioQueueStart(q, nullptr), noErr);
  ASSERT_TRUE(loop.pumpUntil([&] { return owner.returned.size() >= 6; }));
  ASSERT_EQ(AudioQueuePause(q), noErr);
  EXPECT_TRUE(running());
  const size_t held = owner.returned.size();
  EXPECT_FALSE(loop.pumpUntil([&] { return owner.returned.size() > held; }, 0.5)) << "nothing moves while paused";
  ASSERT_EQ(AudioQueueStart(q, nullptr), noErr);
  EXPECT_TRUE(loop.pumpUntil([&] { return owner.returned.size() > held + 2; }));
  EXPECT_EQ(owner.runningStates, std::vector<std::uint32_t>{1}) << "a pause is no stop";
  ASSERT_EQ(AudioQueuePause(q), noErr);
  ASSERT_EQ(AudioQueueStop(q, true), noErr);
  EXPECT_EQ(owner.runningStates, (std::vector<std::uint32_t>{1, 0}));
  EXPECT_EQ(AudioQueuePause(q), noErr) << "pausing a stopped queue does nothing";
  EXPECT_FALSE(running());
}

TEST_F(OutputQueue, DisposingFromItsOwnCallbackIsSafe) {
  owner.disposeInCallback = true;
  ASSERT_EQ(AudioQueueEnqueueBuffer(q, filled(100), 0, nullptr), noErr);
  ASSERT_EQ(AudioQueueEnqueueBuffer(q, filled(100), 0, nullptr), noErr);
  ASSERT_EQ(AudioQueueStart(q, nullptr), noErr);
  loop.turns(5);
  EXPECT_EQ(owner.returned.size(), 1u) << "a disposed queue calls back no more";
  EXPECT_EQ(AudioQueueStart(q, nullptr), kAudioQueueErr_InvalidRunState);
}

TEST_F(OutputQueue, PropertiesAndVolume) {
  std::uint32_t r = 0, size = 2;
  EXPECT_EQ(AudioQueueGetProperty(q, kAudioQueueProperty_IsRunning, &r, &size), kAudioQueueErr_InvalidPropertySize);
  const std::uint8_t cookie[3] = {1, 2, 3};
  EXPECT_EQ(AudioQueueSetProperty(q, kAudioQueueProperty_MagicCookie, cookie, 3), noErr);
  std::uint8_t back[8] = {};
  size = sizeof back;
  EXPECT_EQ(AudioQueueGetProperty(q, kAudioQueueProperty_MagicCookie, back, &size), noErr);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::memcmp(back, cookie, 3), 0);
  EXPECT_EQ(AudioQueueSetProperty(q, kAudioQueueProperty_IsRunning, &r, 4), kAudioQueueErr_InvalidProperty);
  EXPECT_EQ(AudioQueueAddPropertyListener(q, kAudioQueueProperty_MagicCookie, Owner::listener, &owner),
            kAudioQueueErr_InvalidProperty);

  float v = 0;
  EXPECT_EQ(AudioQueueSetParameter(q, kAudioQueueParam_Volume, 0.25f), noErr);
  EXPECT_EQ(AudioQueueGetParameter(q, kAudioQueueParam_Volume, &v), noErr);
  EXPECT_EQ(v, 0.25f);
  EXPECT_EQ(AudioQueueSetParameter(q, kAudioQueueParam_Volume, -1.0f), kAudioQueueErr_InvalidParameter);
  AudioQueueBufferRef none = nullptr;
  EXPECT_EQ(AudioQueueAllocateBuffer(q, 0, &none), kAudioQueueErr_InvalidParameter);
  EXPECT_EQ(AudioQueueEnqueueBuffer(nullptr, none, 0, nullptr), kAudioQueueErr_InvalidRunState);
}

}  // namespace
