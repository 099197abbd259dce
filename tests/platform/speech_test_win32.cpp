#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/speech.h"
#include "platform/speech_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

// The system's speech service, whether or not it makes a sound here: it is
// reached, the calls the window makes never wait for it, in either
// language, and it can be opened again after closing.
TEST(SpeechWin32, TheWindowsServiceNeverHoldsUpTheCaller) {
  for (int round = 0; round < 2; ++round) {
    ktSpeech* speech = CreateSpeech();
    ASSERT_NE(speech, nullptr);
    const auto started = Clock::now();
    speech->Say("User1 の体重 60.0kg を記録しました。", "ja");
    speech->Say("User1 weight 60.0 kg recorded.", "en");
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(100));
    // Time for the thread to reach the service and hand it the sentences.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(speech->Say("User1 の測定を始めます。", "ja"), 1) << "the service was reached";
    const auto closing = Clock::now();
    speech->Release();
    EXPECT_LT(Clock::now() - closing, std::chrono::seconds(1));
  }
}

// A service that cannot be reached, or one that never returns.
class FakeService final : public ktSpeechService {
 public:
  FakeService(bool reachable, HANDLE blocker) : reachable(reachable), blocker(blocker) {}
  int Connect() override { return reachable; }
  void Speak(const ktSentence&) override { WaitForSingleObject(blocker, INFINITE); }

 private:
  bool reachable;
  HANDLE blocker;
};

TEST(SpeechWin32, AMissingServiceTurnsSilentAndHungOneIsLeftBehind) {
  HANDLE blocker = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ktSpeech* missing = CreateSpeechThread(std::make_unique<FakeService>(false, blocker), "fake");
  EXPECT_EQ(missing->Say("一", "ja"), 1);
  int accepted = 1;
  for (int i = 0; i < 1000 && accepted; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    accepted = missing->Say("二", "ja");
  }
  EXPECT_EQ(accepted, 0) << "known to be missing by now";
  missing->Release();

  ktSpeech* hung = CreateSpeechThread(std::make_unique<FakeService>(true, blocker), "fake");
  EXPECT_EQ(hung->Say("一", "ja"), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto closing = Clock::now();
  hung->Release();
  EXPECT_LT(Clock::now() - closing, std::chrono::seconds(2));
  SetEvent(blocker);  // the thread left behind ends on its own
}

}  // namespace
