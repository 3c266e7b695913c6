// The audio tests run against OpenAL Soft's null output unless a test chose another back end for
// a child process, so they behave the same on machines with and without a sound card.
#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

class NullAudioOutput : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!std::getenv("ALSOFT_CONF")) ::setenv("ALSOFT_DRIVERS", "null", 0);
  }
};

[[maybe_unused]] ::testing::Environment* const kNullAudioOutput =
    ::testing::AddGlobalTestEnvironment(new NullAudioOutput);

}  // namespace
