#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_test_helpers.h"
#include "resources/menu.h"
#include "sim/sim_board.h"
#include "sim/sim_wii_lib.h"
#include "speech/speech.h"

namespace {

// Keeps what the program said, in order, and the language of the last.
class RecordingSpeech final : public ktSpeech {
 public:
  RecordingSpeech(std::vector<std::string>* said, std::string* language)
      : said(said), language(language) {}
  int Say(const char* sentence, const char* sentenceLanguage) override {
    said->push_back(sentence);
    *language = sentenceLanguage;
    return 1;
  }
  void Release() override { delete this; }

 private:
  std::vector<std::string>* said;
  std::string* language;
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
      return new RecordingSpeech(&said, &language);
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
  std::string language;
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
  EXPECT_EQ(language, "ja") << "a Japanese sentence in the voice of its language";
}

}  // namespace
