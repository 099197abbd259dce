#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>

#include "speech/speech.h"
#include "support/debug_output_capture.h"

// libspeechd keeps a few bytes of a connection that failed; not ours. It
// has no frame pointers, so only the slow unwinder sees it in the stack.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libspeechd";
}
extern "C" const char* __lsan_default_options() {
  return "fast_unwind_on_malloc=0";
}

namespace {

// With no speech service to reach, sentences are taken without waiting and
// dropped; the program goes on and says why once.
TEST(SpeechServiceTest, MissingServiceKeepsTheProgramGoing) {
  setenv("SPEECHD_ADDRESS", "unix_socket:/nonexistent/gravimo-speech", 1);
  testing::internal::CaptureStderr();
  ktSpeech* speech = CreateSpeech();
  EXPECT_EQ(speech->Say("User1 の体重 60.0kg を記録しました。", "ja"), 1);
  for (int i = 0; i < 1000 && speech->Say("もう一度", "ja"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(speech->Say("もう一度", "ja"), 0) << "known to be missing by now";
  speech->Release();
  const std::string output = testing::internal::GetCapturedStderr();
  unsetenv("SPEECHD_ADDRESS");
  EXPECT_EQ(CountLines(output), 1) << output;
}

}  // namespace
