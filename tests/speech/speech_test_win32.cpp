#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "speech/speech.h"
#include "speech/speech_thread.h"

namespace {

// Whether call returns within a bound far above any load: a call that
// waited for a hung service would never return. A call that does not return
// is left running.
bool Returns(const std::function<void()>& call) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> returned = done->get_future();
  std::thread([call, done] {
    call();
    done->set_value();
  }).detach();
  return returned.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
}

// The system's speech service, whether or not it makes a sound here: it is
// reached, the calls the window makes never wait for it, in either
// language, and it can be opened again after closing.
TEST(SpeechWin32, TheWindowsServiceNeverHoldsUpTheCaller) {
  for (int round = 0; round < 2; ++round) {
    ktSpeech* speech = CreateSpeech();
    ASSERT_NE(speech, nullptr);
    EXPECT_TRUE(Returns([speech] {
      speech->Say("User1 の体重 60.0kg を記録しました。", "ja");
      speech->Say("User1 weight 60.0 kg recorded.", "en");
    }));
    // A chance for the thread to reach the service; a service found
    // missing would turn the next sentence away.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(speech->Say("User1 の測定を始めます。", "ja"), 1) << "the service was reached";
    EXPECT_TRUE(Returns([speech] { speech->Release(); }));
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
  EXPECT_TRUE(Returns([hung] { hung->Release(); }));
  SetEvent(blocker);  // the thread left behind ends on its own
}

}  // namespace
