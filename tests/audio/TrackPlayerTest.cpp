#include <gtest/gtest.h>

#include <set>

#include "AudioTestSupport.h"
#include "audio/BackgroundTrackMgr.h"
#include "audio/backend/Output.h"
#include "audio/backend/SystemSound.h"
#include "core/Log.h"

using namespace peckish;
using namespace peckish::audio;
using peckish::testing::FakeRunLoop;
using peckish::testing::TempDir;
using peckish::testing::writeTone;

namespace {

class TrackPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    setAudioQueueEnqueueObserver([this](AudioQueueRef, AudioQueueBufferRef b) { enqueued.push_back(b); });
  }
  void TearDown() override {
    mgr.reset();
    setAudioQueueEnqueueObserver(nullptr);
  }
  std::string tone(const std::string& name, int rate, int channels, long frames) {
    EXPECT_TRUE(writeTone(dir.file(name), SF_FORMAT_WAV, rate, channels, frames));
    return dir.file(name);
  }
  bool running() const {
    std::uint32_t r = 0, size = 4;
    if (AudioQueueGetProperty(mgr->queue, kAudioQueueProperty_IsRunning, &r, &size) != noErr) return false;
    return r != 0;
  }
  void start() {
    ASSERT_EQ(AudioQueuePrime(mgr->queue, 1, nullptr), noErr);
    ASSERT_EQ(AudioQueueStart(mgr->queue, nullptr), noErr);
  }
  std::uint64_t reads() const { return audioCounters().packetReads; }

  TempDir dir;
  FakeRunLoop loop;
  std::unique_ptr<BackgroundTrackMgr> mgr = std::make_unique<BackgroundTrackMgr>();
  std::vector<AudioQueueBufferRef> enqueued;
};

TEST_F(TrackPlayer, WholeFileTrackLoopsByRequeueingOneBufferWithoutReading) {
  ASSERT_EQ(mgr->LoadTrack(tone("Loop.wav", 8000, 1, 1000).c_str(), false, true), noErr);
  ASSERT_EQ(mgr->files.size(), 1u);
  BG_FileInfo* rec = mgr->files[0].get();
  EXPECT_TRUE(rec->loadWhole);
  EXPECT_TRUE(rec->dataQueued);
  EXPECT_EQ(rec->dataByteCount, 2000u);
  EXPECT_EQ(mgr->bufferByteSize, 2000u);
  EXPECT_EQ(mgr->packetsPerRead, 1000u);
  EXPECT_EQ(mgr->packetDescriptions, nullptr);
  ASSERT_EQ(enqueued.size(), 1u);
  ASSERT_EQ(enqueued[0], mgr->buffers[0]);
  EXPECT_EQ(mgr->buffers[1], nullptr);

  const auto readsAfterLoad = reads();
  start();
  ASSERT_TRUE(loop.pumpUntil([&] { return enqueued.size() >= 8; }));
  for (auto* b : enqueued) EXPECT_EQ(b, mgr->buffers[0]);
  EXPECT_EQ(reads(), readsAfterLoad) << "a looping whole-file track is never read again";
  EXPECT_TRUE(running());
}

TEST_F(TrackPlayer, StopAtEndStopsTheQueueInsteadOfLooping) {
  ASSERT_EQ(mgr->LoadTrack(tone("Once.wav", 8000, 1, 800).c_str(), false, true), noErr);
  start();
  ASSERT_TRUE(loop.pumpUntil([&] { return enqueued.size() >= 3; }));
  mgr->stopAtEnd = true;
  ASSERT_TRUE(loop.pumpUntil([&] { return !running(); }));
  const size_t count = enqueued.size();
  loop.turns(20);
  EXPECT_EQ(enqueued.size(), count) << "a stopped queue asks for nothing more";
  EXPECT_FALSE(running());
  EXPECT_EQ(mgr->currentFileIndex, 0u);
}

TEST_F(TrackPlayer, StreamsAListFileByFileOpeningOnlyTheCurrentOne) {
  // 192 kHz stereo: the 64 KiB streaming buffers hold 85 ms, so a four-buffer file plays quickly.
  const std::string a = tone("A.wav", 192000, 2, 70000);
  const std::string b = tone("B.wav", 192000, 2, 70000);
  ASSERT_EQ(mgr->LoadTrack(a.c_str(), false, false), noErr);
  BG_FileInfo* ra = mgr->files[0].get();
  EXPECT_FALSE(ra->loadWhole);
  EXPECT_EQ(mgr->bufferByteSize, 65536u);
  EXPECT_EQ(mgr->packetsPerRead, 16384u);
  ASSERT_EQ(enqueued.size(), 3u);
  const std::set<AudioQueueBufferRef> streaming(enqueued.begin(), enqueued.end());
  EXPECT_EQ(streaming.size(), 3u);

  ASSERT_EQ(mgr->LoadTrack(b.c_str(), true, false), noErr);
  ASSERT_EQ(mgr->files.size(), 2u);
  BG_FileInfo* rb = mgr->files[1].get();
  EXPECT_EQ(rb->audioFile, nullptr) << "a file joining a playing list is closed until its turn";
  EXPECT_NE(ra->audioFile, nullptr);

  AudioQueueRef q = mgr->queue;
  start();
  ASSERT_TRUE(loop.pumpUntil([&] { return mgr->currentFileIndex == 1; }));
  EXPECT_EQ(ra->audioFile, nullptr);
  EXPECT_NE(rb->audioFile, nullptr);
  EXPECT_EQ(mgr->queue, q) << "same format: the queue and its buffers stay";

  mgr->stopAtEnd = true;
  ASSERT_TRUE(loop.pumpUntil([&] { return !running(); }));
  EXPECT_EQ(mgr->currentFileIndex, 1u) << "the list ends on its last file, without wrapping to the first";
  for (auto* buf : enqueued) EXPECT_TRUE(streaming.count(buf));
}

TEST_F(TrackPlayer, WholeFilesOfOneFormatShareTheBufferAcrossTheList) {
  ASSERT_EQ(mgr->LoadTrack(tone("Long.wav", 8000, 1, 1000).c_str(), false, true), noErr);
  ASSERT_EQ(mgr->LoadTrack(tone("Same.wav", 8000, 1, 1000).c_str(), true, true), noErr);
  AudioQueueBufferRef only = mgr->buffers[0];
  start();
  ASSERT_TRUE(loop.pumpUntil([&] { return mgr->currentFileIndex == 1; }));
  for (auto* b : enqueued) EXPECT_EQ(b, only);
  EXPECT_NE(mgr->files[1]->audioFile, nullptr);
}

TEST_F(TrackPlayer, AFormatChangeAtAFileBoundaryRebuildsTheQueueOnceStopped) {
  ASSERT_EQ(mgr->LoadTrack(tone("Low.wav", 8000, 1, 800).c_str(), false, true), noErr);
  ASSERT_EQ(mgr->LoadTrack(tone("High.wav", 16000, 1, 800).c_str(), true, true), noErr);
  AudioQueueRef first = mgr->queue;
  start();
  ASSERT_TRUE(loop.pumpUntil([&] { return mgr->queue != first && mgr->queue != nullptr && running(); }));
  EXPECT_EQ(mgr->currentFileIndex, 1u);
  EXPECT_FALSE(mgr->rebuildQueueWhenStopped) << "consumed by the new queue's set-up";
  EXPECT_EQ(mgr->files[0]->audioFile, nullptr);
  EXPECT_EQ(enqueued.back(), mgr->buffers[0]);
}

TEST_F(TrackPlayer, OpenFailuresArePrintedAndLeaveNothingBehind) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(mgr->LoadTrack(dir.file("Missing.mp3").c_str(), false, true), kFileNotFoundErr);
  EXPECT_EQ(mgr->LoadTrack("", false, true), 3);
  EXPECT_EQ(mgr->LoadTrack(nullptr, false, true), 3);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Error opening file: -43\nError opening file: -43\nError getting file data info: -43\n"
            "Error opening file: 3\nError getting file data info: 3\n"
            "Error opening file: 3\nError getting file data info: 3\n");
  EXPECT_TRUE(mgr->files.empty());
  EXPECT_EQ(mgr->queue, nullptr);
}

TEST_F(TrackPlayer, FilesOverTenMinutesAreRefusedWithOneLogLine) {
  // At 100 frames a second ten minutes are 60000 frames.
  const struct {
    const char* name;
    long frames;
    bool accepted;
  } rows[] = {{"TenMinutes.wav", 60000, true}, {"Longer.wav", 60001, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = tone(row.name, 100, 1, row.frames);
    const std::string refusal = "Sound file refused: more than 10 minutes of audio: " + path;
    LogCapture log;
    ::testing::internal::CaptureStdout();
    const OSStatus loaded = mgr->LoadTrack(path.c_str(), false, true);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(loaded == noErr, row.accepted) << loaded;
    if (!row.accepted) {
      EXPECT_EQ(loaded, kAudioFileUnsupportedDataFormatError);
    }
    SystemSoundID id = 0;
    const OSStatus effect = AudioServicesCreateSystemSoundID(FileURL{path}, &id);
    EXPECT_EQ(effect == noErr, row.accepted) << effect;
    if (effect == noErr) AudioServicesDisposeSystemSoundID(id);
    EXPECT_EQ(log.count(refusal), row.accepted ? 0 : 2) << "one line for each refused open";
    EXPECT_EQ(log.lines().size(), row.accepted ? 0u : 2u);
    mgr = std::make_unique<BackgroundTrackMgr>();
  }
}

TEST_F(TrackPlayer, ARecordThatFailsToLoadLeavesThePlayList) {
  // An empty file gets a zero-byte whole-file buffer, which the queue refuses.
  ASSERT_TRUE(writeTone(dir.file("Empty.wav"), SF_FORMAT_WAV, 8000, 1, 0));
  ::testing::internal::CaptureStdout();
  const OSStatus r = mgr->LoadTrack(dir.file("Empty.wav").c_str(), false, true);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(r, kAudioQueueErr_InvalidParameter);
  EXPECT_EQ(out, "Error allocating buffer for queue: -66682\nError setting up queue buffers: -66682\n");
  EXPECT_TRUE(mgr->files.empty());
  EXPECT_EQ(mgr->queue, nullptr) << "the queue made for the discarded record goes with it";
  loop.turns(5);

  ASSERT_EQ(mgr->LoadTrack(tone("Good.wav", 8000, 1, 500).c_str(), true, true), noErr);
  EXPECT_EQ(mgr->files.size(), 1u);
  EXPECT_NE(mgr->queue, nullptr) << "the next good file is first in the list and gets a queue";
}

TEST_F(TrackPlayer, ReplacingTheListWhilePlayingStartsOver) {
  ASSERT_EQ(mgr->LoadTrack(tone("One.wav", 8000, 1, 500).c_str(), false, true), noErr);
  start();
  loop.turns(3);
  ASSERT_EQ(mgr->LoadTrack(tone("Two.wav", 11025, 1, 500).c_str(), false, true), noErr);
  ASSERT_EQ(mgr->files.size(), 1u);
  EXPECT_EQ(mgr->files[0]->filePath, dir.file("Two.wav"));
  start();
  ASSERT_TRUE(loop.pumpUntil([&] { return enqueued.size() >= 8; }));
  EXPECT_EQ(enqueued.back(), mgr->buffers[0]);
}

TEST_F(TrackPlayer, TeardownClosesEveryFileAndTheQueue) {
  ASSERT_EQ(mgr->LoadTrack(tone("T1.wav", 8000, 1, 500).c_str(), false, true), noErr);
  start();
  mgr->Teardown();
  EXPECT_EQ(mgr->queue, nullptr);
  EXPECT_EQ(mgr->files[0]->audioFile, nullptr);
  const size_t count = enqueued.size();
  loop.turns(10);
  EXPECT_EQ(enqueued.size(), count);
}

}  // namespace
