#include <gtest/gtest.h>

#include <cstdlib>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app_test_helpers.h"
#include "platform/speech.h"
#include "resources/menu.h"
#include "sim/sim_board.h"
#include "sim/sim_wii_lib.h"

namespace {

// Keeps what the program said, in order.
class RecordingSpeech final : public ktSpeech {
 public:
  explicit RecordingSpeech(std::vector<std::string>* said) : said(said) {}
  int Say(const char* sentence, const char*) override {
    said->push_back(sentence);
    return 1;
  }
  void Release() override { delete this; }

 private:
  std::vector<std::string>* said;
};

// Whole frames of the program against a simulated board, with what it says
// recorded.
class SpeechTest : public AppWindowTest {
 protected:
  SpeechTest() {
    window.wiiLib = &lib;
    window.frameSleepMs = 0;
    window.startupGrace = 0;
    window.createSpeech = [this] {
      ++speechesMade;
      return new RecordingSpeech(&said);
    };
  }
  ~SpeechTest() override { window.Cleanup(); }

  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      lib.Pump();
      window.RenderFrame();
    }
  }

  // A board appears, is zero-adjusted, then carries 60 kg while User2 is
  // measured and recorded; then a second measurement of User0.
  void WeighTwice() {
    Frames(2);
    SimBoardOptions options;
    options.calibration = {
        {{1000, 1000, 1000, 1000}, {2700, 2700, 2700, 2700}, {4400, 4400, 4400, 4400}}};
    SimBoard* board = lib.AddBoard(options);
    lib.Start(kWiiVendorId, kWiiProductId);
    // A real board's readings jitter, so reports keep coming.
    for (int frame = 0; frame <= kZeroAdjustFrames + 1; ++frame) {
      const int jitter[4] = {frame % 2, frame % 2, frame % 2, frame % 2};
      board->SetZeroDrift(jitter);
      Frames(1);
    }
    window.OnCommand(resources::kCommandMeasureUser2);
    board->SetTotalLoad(60.0f);
    Frames(200);
    window.OnCommand(resources::kCommandMeasureUser0);
    Frames(200);
  }

  SimWiiLib lib;
  std::vector<std::string> said;
  int speechesMade = 0;
};

TEST_F(SpeechTest, SaysEachEventOnceWhileSpeechIsOn) {
  window.settings.speech = 1;
  WeighTwice();
  const std::vector<std::string> expected = {
      "バランスWiiボード が見つかりません。",
      "0kg調整が終わりました。",
      "User2 の測定を始めます。",
      "User2 の体重 60.0kg を記録しました。",
      "User0 の測定を始めます。",
      "User0 の体重 60.0kg を記録しました。",
  };
  EXPECT_EQ(said, expected);
  EXPECT_EQ(speechesMade, 1);
}

// While the start-up search runs, no board is missing yet.
TEST_F(SpeechTest, NoBoardIsSaidOnlyAfterTheStartUpSearch) {
  window.settings.speech = 1;
  window.startupGrace = 3;
  Frames(3);
  EXPECT_TRUE(said.empty());
  Frames(1);
  EXPECT_EQ(said, std::vector<std::string>{"バランスWiiボード が見つかりません。"});
}

TEST_F(SpeechTest, SaysNothingWhileSpeechIsOff) {
  WeighTwice();
  EXPECT_STREQ(window.history[1], "0 2024-05-06 07:08:09  60.0");
  EXPECT_TRUE(said.empty());
  EXPECT_EQ(speechesMade, 0) << "the speech service is not even reached";
}

TEST_F(SpeechTest, RecordIsSaidInTheUnitShown) {
  window.settings.speech = 1;
  window.settings.unit = WeightUnit::StonesPounds;
  window.AnnounceRecord(1, 64.8f);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], "User1 の体重 10st 2.9lb を記録しました。");
}

// The sentence of a record, as the program makes it, synthesized by the
// speech engine speech-dispatcher uses by default: a WAV file that is not
// silence. Skipped where espeak-ng or sox is not installed.
TEST_F(SpeechTest, RecordSentenceSynthesizesToSound) {
  if (std::system("command -v espeak-ng >/dev/null && command -v sox >/dev/null") != 0)
    GTEST_SKIP() << "espeak-ng or sox is missing";
  window.settings.speech = 1;
  window.AppendLog(window.entries[0]);
  ASSERT_EQ(said.size(), 1u);
  const std::string wav = folder.File("record.wav");
  const std::string stat = folder.File("stat.txt");
  const std::string speak = "espeak-ng -v ja -w '" + wav + "' '" + said[0] + "'";
  ASSERT_EQ(std::system(speak.c_str()), 0) << speak;
  ASSERT_EQ(std::system(("sox '" + wav + "' -n stat 2>'" + stat + "'").c_str()), 0);
  const std::string report = ReadWholeFile(stat);
  const size_t rms = report.find("RMS     amplitude:");
  ASSERT_NE(rms, std::string::npos) << report;
  EXPECT_GT(std::stod(report.substr(rms + 18)), 0.01) << report;
}

}  // namespace
