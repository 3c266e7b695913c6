#include <gtest/gtest.h>

#include "audio/BackgroundTrackMgr.h"

using namespace peckish;
using namespace peckish::audio;

namespace {

AudioStreamBasicDescription compressed(double rate, std::uint32_t framesPerPacket) {
  AudioStreamBasicDescription f;
  f.mSampleRate = rate;
  f.mFormatID = kAudioFormatMPEGLayer3;
  f.mFramesPerPacket = framesPerPacket;
  f.mChannelsPerFrame = 2;
  return f;
}

struct Sizing {
  std::uint32_t bytes;
  std::uint32_t packets;
};
Sizing size(const AudioStreamBasicDescription& f, std::uint32_t maxPacket, double seconds = 0.5) {
  Sizing s{};
  CalculateBytesForTime(f, maxPacket, seconds, &s.bytes, &s.packets);
  return s;
}

TEST(BufferSizing, HalfSecondBuffersWithinLimits) {
  Sizing mp3 = size(compressed(44100, 1152), 1044);
  EXPECT_EQ(mp3.bytes, 19982u);
  EXPECT_EQ(mp3.packets, 19u);

  Sizing small = size(compressed(8000, 160), 33);  // 825 bytes, raised to the minimum
  EXPECT_EQ(small.bytes, 16384u);
  EXPECT_EQ(small.packets, 496u);

  Sizing vbr = size(compressed(44100, 0), 100000);  // one packet always fits
  EXPECT_EQ(vbr.bytes, 100000u);
  EXPECT_EQ(vbr.packets, 1u);

  Sizing vbrSmall = size(compressed(44100, 0), 1000);
  EXPECT_EQ(vbrSmall.bytes, 65536u);
  EXPECT_EQ(vbrSmall.packets, 65u);

  Sizing pcm = size(pcm16Format(44100, 2), 4);  // 88200 bytes clamped to the maximum
  EXPECT_EQ(pcm.bytes, 65536u);
  EXPECT_EQ(pcm.packets, 16384u);

  Sizing exactMax = size(compressed(32768, 1), 4);
  EXPECT_EQ(exactMax.bytes, 65536u);
  EXPECT_EQ(exactMax.packets, 16384u);
}

TEST(FormatComparison, WildcardsAndLinearPcmNormalisation) {
  AudioStreamBasicDescription a = pcm16Format(44100, 2);
  AudioStreamBasicDescription b = a;
  EXPECT_TRUE(FormatIsEqual(a, b));

  b.mFormatFlags |= kLinearPCMFormatFlagIsAlignedHigh;  // both packed: alignment is irrelevant
  EXPECT_TRUE(FormatIsEqual(a, b));
  b.mFormatFlags = a.mFormatFlags | kAudioFormatFlagsAreAllClear;
  EXPECT_TRUE(FormatIsEqual(a, b));

  b = a;
  b.mSampleRate = 22050;
  EXPECT_FALSE(FormatIsEqual(a, b));
  b.mSampleRate = 0;  // any rate
  EXPECT_TRUE(FormatIsEqual(a, b));

  b = a;
  b.mFormatFlags |= kLinearPCMFormatFlagIsBigEndian;  // 16-bit: byte order matters
  EXPECT_FALSE(FormatIsEqual(a, b));
  AudioStreamBasicDescription a8 = a, b8 = a;
  a8.mBitsPerChannel = b8.mBitsPerChannel = 8;
  b8.mFormatFlags |= kLinearPCMFormatFlagIsBigEndian;  // single bytes have no byte order
  EXPECT_TRUE(FormatIsEqual(a8, b8));

  AudioStreamBasicDescription mono = pcm16Format(44100, 1), monoNI = mono;
  monoNI.mFormatFlags |= kLinearPCMFormatFlagIsNonInterleaved;
  EXPECT_TRUE(FormatIsEqual(mono, monoNI));
  b = a;
  b.mFormatFlags |= kLinearPCMFormatFlagIsNonInterleaved;
  EXPECT_FALSE(FormatIsEqual(a, b));

  AudioStreamBasicDescription fa = a, fb = a;
  fa.mFormatFlags = kLinearPCMFormatFlagIsFloat | kLinearPCMFormatFlagIsPacked;
  fb.mFormatFlags = fa.mFormatFlags | kLinearPCMFormatFlagIsSignedInteger;
  EXPECT_TRUE(FormatIsEqual(fa, fb));

  b = a;
  b.mFormatFlags = 0;  // no flags: a wildcard
  EXPECT_TRUE(FormatIsEqual(a, b));
  b = a;
  b.mFormatID = kAudioFormatMPEGLayer3;
  EXPECT_FALSE(FormatIsEqual(a, b));

  // Other format ids compare their flags unnormalised.
  AudioStreamBasicDescription m1 = compressed(44100, 1152), m2 = m1;
  m1.mFormatFlags = kLinearPCMFormatFlagIsPacked;
  m2.mFormatFlags = kLinearPCMFormatFlagIsPacked | kLinearPCMFormatFlagIsAlignedHigh;
  EXPECT_FALSE(FormatIsEqual(m1, m2));

  for (auto field : {&AudioStreamBasicDescription::mBytesPerPacket, &AudioStreamBasicDescription::mFramesPerPacket,
                     &AudioStreamBasicDescription::mBytesPerFrame, &AudioStreamBasicDescription::mChannelsPerFrame,
                     &AudioStreamBasicDescription::mBitsPerChannel}) {
    b = a;
    b.*field = a.*field + 1;
    EXPECT_FALSE(FormatIsEqual(a, b));
    b.*field = 0;
    EXPECT_TRUE(FormatIsEqual(a, b));
  }
}

TEST(NextFileDecision, TableOrderAndDataQueuedCleared) {
  BG_FileInfo cur("a"), nxt("b");
  cur.dataFormat = nxt.dataFormat = pcm16Format(44100, 2);
  cur.dataQueued = true;

  nxt.dataFormat.mSampleRate = 22050;
  cur.loadWhole = true;  // a format change wins over everything else
  EXPECT_EQ(BackgroundTrackMgr::GetQueueStateForNextBuffer(&cur, &nxt), kQueueState_NeedNewQueue);
  EXPECT_FALSE(cur.dataQueued);
  nxt.dataFormat.mSampleRate = 44100;

  EXPECT_EQ(BackgroundTrackMgr::GetQueueStateForNextBuffer(&cur, &nxt), kQueueState_NeedNewBuffers);
  cur.loadWhole = false;
  EXPECT_EQ(BackgroundTrackMgr::GetQueueStateForNextBuffer(&cur, &nxt), kQueueState_KeepStreaming);

  cur.loadWhole = nxt.loadWhole = true;
  cur.dataByteCount = 1000;
  nxt.dataByteCount = 1000;
  EXPECT_EQ(BackgroundTrackMgr::GetQueueStateForNextBuffer(&cur, &nxt), kQueueState_ReuseWholeBuffer);
  nxt.dataByteCount = 1001;
  EXPECT_EQ(BackgroundTrackMgr::GetQueueStateForNextBuffer(&cur, &nxt), kQueueState_NeedNewBuffers);
}

}  // namespace
