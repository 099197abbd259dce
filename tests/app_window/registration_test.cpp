// The registration thread: its phases, one registration at a time, the zero
// adjustment handed to the frame, and a shutdown in the middle of it.
#include <gmock/gmock.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app_window_fakes_helpers.h"
#include "render/canvas_recording.h"

namespace {

using Clock = std::chrono::steady_clock;
using RegistrationTest = AppWindowFixture;

constexpr int32_t kAllRegistrationBits = ModeRegistering | ModeRegisterWait | ModeRegisterUpdate;

void PressA(AppWindow& window) {
  window.OnMessage(nullptr, kWmKeyDown, 0x41, 0);
}

bool RegistrationEnded(AppWindow& window) {
  return (window.modeFlags.load() & kAllRegistrationBits) == 0 &&
         !window.registerThread.IsRunning();
}

TEST_F(RegistrationTest, NothingFoundGoesStraightBackWithoutUpdate) {
  script.inquiryOpen = false;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return script.Snapshot(&BluetoothScript::running) == 1; }));
  EXPECT_EQ(window.modeFlags.load() & kAllRegistrationBits, ModeRegistering) << "pairing phase";

  script.OpenInquiry();
  ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
  EXPECT_EQ(wiiLib->updates.load(), 0);
  EXPECT_EQ(window.zeroAdjustRequest.load(), 0);
  EXPECT_EQ(script.Snapshot(&BluetoothScript::released), 1);
}

TEST_F(RegistrationTest, FoundBoardWaitsThenUpdatesAndZeroAdjustsOnTheFrame) {
  script.found = 1;
  window.registrationWaitMs = 300;
  for (DeviceEntry& entry : window.entries) {
    entry.zeroAdjustFrames = 0;
  }
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return (window.modeFlags.load() & ModeRegisterWait) != 0; }));
  EXPECT_EQ(wiiLib->updates.load(), 0) << "no search before the wait is over";

  ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
  EXPECT_EQ(wiiLib->updates.load(), 1);
  EXPECT_EQ(script.Snapshot(&BluetoothScript::released), 1);
  // The registration thread never touches the entries itself.
  EXPECT_EQ(window.zeroAdjustRequest.load(), 1);
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, 0);
  window.RenderFrame();
  EXPECT_EQ(window.zeroAdjustRequest.load(), 0);
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, kZeroAdjustFrames);
}

using ::testing::Contains;
using ::testing::Not;

std::atomic<int64_t> testNowMs{0};

int64_t TestClock() {
  return testNowMs.load();
}

std::vector<std::string> FrameLines(AppWindow& window) {
  auto* canvas = static_cast<RecordingCanvas*>(window.canvas);
  canvas->Clear();
  window.RenderFrame();
  return canvas->Lines();
}

// Below the three lines, which stay where they are: the seconds left,
// rounded up, and the bar of the time passed, full once the bound is passed.
TEST_F(RegistrationTest, ProgressCountsDownTheSearchThenTheWaitOnTheWindowsClock) {
  testNowMs = 1000000;
  window.clockMs = TestClock;
  script.inquiryOpen = false;
  script.found = 1;
  window.registrationWaitMs = 60000;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return script.Snapshot(&BluetoothScript::running) == 1; }));

  const std::string bar = "polyline 32,272 568,272 568,288 32,288 32,272";
  std::vector<std::string> lines = FrameLines(window);
  EXPECT_THAT(lines, Contains("text 32 184 SYNC ボタンを押してください"));
  EXPECT_THAT(lines, Contains("text 32 232 残り 25 秒"));
  EXPECT_THAT(lines, Contains(bar));
  EXPECT_THAT(lines, Not(Contains(::testing::StartsWith("polygon"))));

  testNowMs += 6000;
  lines = FrameLines(window);
  EXPECT_THAT(lines, Contains("text 32 232 残り 19 秒"));
  EXPECT_THAT(lines, Contains("polygon 32,272 160,272 160,288 32,288"));

  testNowMs += 20000;
  lines = FrameLines(window);
  EXPECT_THAT(lines, Contains("text 32 232 残り 0 秒"));
  EXPECT_THAT(lines, Contains("polygon 32,272 568,272 568,288 32,288"));

  script.OpenInquiry();
  ASSERT_TRUE(WaitUntil([&] { return (window.modeFlags.load() & ModeRegisterWait) != 0; }));
  lines = FrameLines(window);
  EXPECT_THAT(lines, Contains("text 32 184 (登録したら最初は 0kg 調整してください)"));
  EXPECT_THAT(lines, Contains("text 32 232 残り 60 秒"));
  testNowMs += 59001;
  EXPECT_THAT(FrameLines(window), Contains("text 32 232 残り 1 秒"));
}

// Each reason a search could not start, or a board heard was not
// registered, names itself and what to do, instead of the main screen, for
// five seconds of frames; also after a registration that registered another
// board.
TEST_F(RegistrationTest, SearchThatFailsSaysWhyForFiveSeconds) {
  struct Case {
    BluetoothFailure failure;
    int found;
    const char* lines[2];
  };
  const Case cases[] = {
#ifdef _WIN32
      {BluetoothFailure::NoService,
       0,
       {"この Windows では Bluetooth を使えません。",
        "Bluetooth の機能を入れてから A を押してください。"}},
#else
      {BluetoothFailure::NoService,
       0,
       {"Bluetooth サービスが動いていません。", "起動してください: systemctl start bluetooth"}},
#endif
      {BluetoothFailure::NoAdapter,
       0,
       {"Bluetooth アダプタが見つかりません。", "アダプタを差し込んで A を押してください。"}},
      {BluetoothFailure::AdapterBlocked,
       0,
       {"Bluetooth が無線スイッチで止められています。", "機内モードを解除して、"}},
      {BluetoothFailure::PairingRefused,
       0,
       {"ボードが PIN を拒みました。", "SYNC ボタンを押してから"}},
      {BluetoothFailure::PairingFailed,
       0,
       {"ボードとペアリングできませんでした。", "SYNC ボタンを押してから"}},
      {BluetoothFailure::NotTrusted,
       0,
       {"ボードを信頼済みにできませんでした。", "SYNC ボタンを押してから"}},
      {BluetoothFailure::NameUnknown,
       0,
       {"ボードの名前を読み取れませんでした。", "5 分ほど待ってから SYNC ボタンを押し、"}},
      {BluetoothFailure::NotConnected,
       1,
       {"登録はできましたが、接続できません。", "ボードの電源ボタンを押してください。"}},
      {BluetoothFailure::AdapterOff,
       0,
       {"Bluetooth がオフになっています。", "オンにしてから A を押してください。"}},
  };
  window.registrationWaitMs = 0;
  for (const Case& shown : cases) {
    script.failure = shown.failure;
    script.found = shown.found;
    PressA(window);
    ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
    const std::vector<std::string> lines = FrameLines(window);
    EXPECT_THAT(lines, Contains(std::string("text 32 88 ") + shown.lines[0]));
    EXPECT_THAT(lines, Contains(std::string("text 32 136 ") + shown.lines[1]));
  }
  const std::string notice = "text 32 88 Bluetooth がオフになっています。";
  for (int frame = 1; frame < 150; ++frame)
    ASSERT_THAT(FrameLines(window), Contains(notice)) << "frame " << frame;
  EXPECT_THAT(FrameLines(window), Not(Contains(notice)));

  // A search that ran and found nothing is no failure.
  script.failure = BluetoothFailure::None;
  script.found = 0;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
  EXPECT_THAT(FrameLines(window), Not(Contains(::testing::HasSubstr("Bluetooth"))));

  // After a failed pairing, only Linux has more to say: which BlueZ to run.
  script.failure = BluetoothFailure::PairingFailed;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
#ifdef _WIN32
  EXPECT_THAT(FrameLines(window), Not(Contains(::testing::HasSubstr("BlueZ"))));
#else
  EXPECT_THAT(FrameLines(window), Contains("text 32 232 続くときは BlueZ 5.80 以降へ更新を。"));
#endif
}

TEST_F(RegistrationTest, RequestsWhileOneRunsAreIgnored) {
  script.inquiryOpen = false;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return script.Snapshot(&BluetoothScript::running) == 1; }));
  // The key repeats while held, and the menu may be used meanwhile.
  for (int repeat = 0; repeat < 20; ++repeat) {
    PressA(window);
  }
  window.OnMessage(nullptr, kWmCommand, 40003, 0);
  script.OpenInquiry();
  ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
  EXPECT_EQ(script.Snapshot(&BluetoothScript::created), 1);

  // Once it has ended, the next request starts a new one.
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return RegistrationEnded(window); }));
  EXPECT_EQ(script.Snapshot(&BluetoothScript::created), 2);
  EXPECT_EQ(script.Snapshot(&BluetoothScript::released), 2);
}

// The device manager may only go once the registration thread has let go of
// everything: checked at the moment the manager is released.
class ShutdownTest : public RegistrationTest {
 protected:
  ShutdownTest() {
    wiiLib->onRelease = [this] {
      threadStillRunning = window.registerThread.IsRunning();
      bluetoothReleasedFirst = script.Snapshot(&BluetoothScript::released) == 1;
    };
  }

  // Cleanup as at the end of the program; returns how long it took.
  Clock::duration TimedCleanup() {
    const auto start = Clock::now();
    window.Cleanup();
    return Clock::now() - start;
  }

  int threadStillRunning = -1;
  bool bluetoothReleasedFirst = false;
};

TEST_F(ShutdownTest, DuringTheInquiryCancelsItAndWaitsForTheThread) {
  script.inquiryOpen = false;
  script.found = 1;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return script.Snapshot(&BluetoothScript::running) == 1; }));

  EXPECT_LT(TimedCleanup(), std::chrono::seconds(1));
  EXPECT_EQ(script.Snapshot(&BluetoothScript::cancels), 1);
  EXPECT_EQ(threadStillRunning, 0);
  EXPECT_TRUE(bluetoothReleasedFirst);
  EXPECT_EQ(wiiLib->releases.load(), 1);
  EXPECT_EQ(window.zeroAdjustRequest.load(), 0);
}

TEST_F(ShutdownTest, DuringTheWaitEndsItWithoutAnUpdate) {
  script.found = 1;
  window.registrationWaitMs = 60000;
  PressA(window);
  ASSERT_TRUE(WaitUntil([&] { return (window.modeFlags.load() & ModeRegisterWait) != 0; }));

  EXPECT_LT(TimedCleanup(), std::chrono::seconds(1));
  EXPECT_EQ(threadStillRunning, 0);
  EXPECT_TRUE(bluetoothReleasedFirst);
  EXPECT_EQ(wiiLib->updates.load(), 0);
}

TEST_F(ShutdownTest, NoRegistrationStartsOnceShutDown) {
  window.Cleanup();
  PressA(window);
  EXPECT_EQ(window.modeFlags.load() & ModeRegistering, 0);
  EXPECT_EQ(script.Snapshot(&BluetoothScript::created), 0);
}

TEST(RegistrationGateTest, CancelBeforeAttachRefusesTheInquiry) {
  RegistrationGate gate;
  BluetoothScript script;
  FakeBluetoothLib* lib = new FakeBluetoothLib(script);
  gate.Cancel();
  EXPECT_EQ(gate.Attach(lib), 0);
  EXPECT_EQ(gate.Wait(10000), 0) << "a cancelled wait returns at once";
  EXPECT_EQ(script.cancels, 0) << "an object never attached is not cancelled";
  lib->Release();
}

TEST(RegistrationGateTest, WaitRunsItsTimeUnlessCancelled) {
  RegistrationGate gate;
  const auto start = Clock::now();
  EXPECT_EQ(gate.Wait(50), 1);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));

  std::thread canceller([&gate] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gate.Cancel();
  });
  const auto waitStart = Clock::now();
  EXPECT_EQ(gate.Wait(60000), 0);
  EXPECT_LT(Clock::now() - waitStart, std::chrono::seconds(30));
  canceller.join();
  gate.Cancel();
  EXPECT_EQ(gate.IsCancelled(), 1);
}

}  // namespace
