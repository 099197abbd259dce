#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "app/app_window.h"
#include "device/wii_lib_device.h"
#include "render/canvas_recording.h"
#include "render/frame.h"
#include "render/text.h"
#include "sim/fixed_devices.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr CanvasColor kBlue{20, 20, 220};
constexpr CanvasColor kGrey{160, 160, 153};
constexpr CanvasColor kBlack{0, 0, 0};

void FixedTime(struct tm* out) {
  std::memset(out, 0, sizeof *out);
  out->tm_year = 124;
  out->tm_mon = 2;
  out->tm_mday = 4;
  out->tm_hour = 7;
}

class FrameTest : public ::testing::Test {
 protected:
  FrameTest() {
    window.canvas = canvas;
    window.wiiLib = lib;
    window.frameSleepMs = 0;
    window.localTime = FixedTime;
    window.logPath = ::testing::TempDir() + "frame_test_log.txt";
    std::remove(window.logPath.c_str());
  }
  ~FrameTest() override { std::remove(window.logPath.c_str()); }

  FixedBoard& AddBoard(float weight) {
    board.weight = weight;
    lib->devices.push_back(&board);
    return board;
  }

  // A board that has finished its zero adjustment and settled on weight.
  void SettledBoard(float weight) {
    AddBoard(weight);
    window.startupGrace = 0;
    window.entries[0].smoothedWeight = weight;
    window.entries[0].zeroAdjustFrames = 0;
  }

  std::vector<std::string> Frame() {
    canvas->Clear();
    window.RenderFrame();
    return canvas->Lines();
  }

  std::vector<CanvasOp> FrameTexts() {
    Frame();
    std::vector<CanvasOp> texts;
    for (const CanvasOp& op : canvas->Ops())
      if (op.kind == CanvasOp::DrawText)
        texts.push_back(op);
    return texts;
  }

  static std::optional<CanvasOp> FindText(const std::vector<CanvasOp>& texts,
                                          const std::string& text) {
    for (const CanvasOp& op : texts)
      if (op.text == text)
        return op;
    return std::nullopt;
  }

  int IndexOf(const std::vector<std::string>& lines, const std::string& prefix) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind(prefix, 0) == 0)
        return static_cast<int>(i);
    return -1;
  }

  FixedBoard board;
  RecordingCanvas* canvas = CreateRecordingCanvas();
  FixedWiiLib* lib = new FixedWiiLib;
  AppWindow window{nullptr};  // releases canvas and lib
};

TEST_F(FrameTest, FrameStartsWithClearedBufferAndTitleAndEndsPresented) {
  const std::vector<std::string> lines = Frame();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "fill 0 0 600 400 background");
  EXPECT_EQ(lines[1], "textcolor 20,20,20");
  EXPECT_EQ(lines[2], "bkcolor 240,240,230");
  EXPECT_EQ(lines[3], "font small");
  EXPECT_EQ(lines[4].rfind("text 10 10 バランスWiiボードで 体重計", 0), 0u);
  EXPECT_EQ(lines.back(), "present");
  EXPECT_EQ(window.frameCount, 1);
}

TEST_F(FrameTest, TitleNamesTheBlogOnlyWhenAnAddressIsConfigured) {
  canvas->Clear();
  DrawTitle(*canvas, "");
  EXPECT_EQ(canvas->Lines().back(), "text 10 10 バランスWiiボードで 体重計");
  canvas->Clear();
  DrawTitle(*canvas, "https://pages.example/blog");
  EXPECT_EQ(canvas->Lines().back(),
            "text 10 10 バランスWiiボードで 体重計 (https://pages.example/blog)");
}

TEST_F(FrameTest, WeightFigureShowsAdjustmentForFiftyNineFramesThenTheWeight) {
  AddBoard(60.0f);
  for (int frame = 1; frame <= 59; ++frame) {
    const std::optional<CanvasOp> text = FindText(FrameTexts(), "0kg調整中");
    ASSERT_TRUE(text) << "frame " << frame;
    EXPECT_EQ(text->x, 108);
    EXPECT_EQ(text->y, 284);
    EXPECT_EQ(text->currentFont, CanvasFont::Large);
    EXPECT_EQ(text->currentTextColor, kBlack);
  }
  const std::vector<CanvasOp> texts = FrameTexts();
  EXPECT_FALSE(FindText(texts, "0kg調整中"));
  EXPECT_EQ(board.zeroAdjust, 1);  // the board adjusts for sixty frames
  Frame();
  EXPECT_EQ(board.zeroAdjust, 0);
  const std::optional<CanvasOp> weight = FindText(texts, " 59.9kg");  // the filter started from 0
  ASSERT_TRUE(weight);
  EXPECT_EQ(weight->x, 132);
  EXPECT_EQ(weight->y, 284);
}

TEST_F(FrameTest, NegativeWeightShowsAsZeroWhileTheNeedleUsesItUnclamped) {
  SettledBoard(-3.0f);
  const std::vector<CanvasOp> texts = FrameTexts();
  EXPECT_TRUE(FindText(texts, "  0.0kg"));
  const std::vector<std::string> lines = canvas->Lines();
  const int polygon = IndexOf(lines, "polygon");
  ASSERT_GE(polygon, 0);
  EXPECT_NE(lines[polygon], "polygon 317,209 309,196 147,296 149,299");  // not the 0 kg position
}

TEST_F(FrameTest, WeightThatIsNotANumberShowsAsZero) {
  SettledBoard(std::nanf(""));
  EXPECT_TRUE(FindText(FrameTexts(), "  0.0kg"));
}

TEST_F(FrameTest, HistoryRowsStandTwentyFourPixelsApartAndSkipEmptySlots) {
  SettledBoard(50.0f);
  const int filled[] = {0, 1, 2, 5};
  for (int k : filled)
    std::snprintf(window.history[k], kHistoryText, "%d 2024-03-0%d 07:00:00  50.0", k % 4, k + 1);
  std::vector<CanvasOp> rows;
  for (const CanvasOp& op : FrameTexts())
    if (op.text.rfind("User", 0) == 0)
      rows.push_back(op);
  ASSERT_EQ(rows.size(), 4u);
  const int expectedY[] = {32, 56, 80, 152};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].x, 32);
    EXPECT_EQ(rows[i].y, expectedY[i]);
    EXPECT_EQ(rows[i].currentFont, CanvasFont::Medium);
    EXPECT_EQ(rows[i].currentTextColor, kGrey);
  }
  EXPECT_EQ(rows[0].text, "User0 2024-03-01 07:00:00  50.0kg");
}

// The figure keeps its row and stays centred; the history keeps each
// record's date and time and rewrites only its weight.
TEST_F(FrameTest, FigureAndHistoryFollowTheUnit) {
  SettledBoard(65.0f);
  std::snprintf(window.history[0], kHistoryText, "%s", "1 2024-03-01 07:15:02  58.3");
  struct Case {
    WeightUnit unit;
    const char* figure;
    int x;
    const char* history;
  };
  const Case cases[] = {
      {WeightUnit::Kilograms, " 65.0kg", 132, "User1 2024-03-01 07:15:02  58.3kg"},
      {WeightUnit::Pounds, "143.3lb", 132, "User1 2024-03-01 07:15:02 128.5lb"},
      {WeightUnit::StonesPounds, "10st 3.3", 108, "User1 2024-03-01 07:15:02  9st 2.5lb"},
  };
  for (const Case& c : cases) {
    window.settings.unit = c.unit;
    const std::vector<CanvasOp> texts = FrameTexts();
    const std::optional<CanvasOp> figure = FindText(texts, c.figure);
    ASSERT_TRUE(figure) << c.figure;
    EXPECT_EQ(figure->x, c.x);
    EXPECT_EQ(figure->y, 284);
    EXPECT_TRUE(FindText(texts, c.history)) << c.history;
  }
}

// A level of 0 is none reported yet; fresh cells read 0xC0 in the simulator.
TEST_F(FrameTest, LowBatteryLineShowsBelowTheThresholdOnly) {
  SettledBoard(65.0f);
  const std::pair<int, bool> cases[] = {{0xC0, false}, {0x78, false}, {0x77, true},
                                        {0x6A, true},  {1, true},     {0, false}};
  for (const auto& [level, shown] : cases) {
    board.battery = level;
    const std::optional<CanvasOp> line =
        FindText(FrameTexts(), "ボードの電池が少なくなっています。交換してください");
    EXPECT_EQ(line.has_value(), shown) << level;
    if (line) {
      EXPECT_EQ(line->x, 290);  // ends at x 590: 50 half-width cells of 6 pixels
      EXPECT_EQ(line->y, 10);
      EXPECT_EQ(line->currentFont, CanvasFont::Small);
      EXPECT_EQ(line->currentTextColor, kBlue);
    }
  }
}

TEST_F(FrameTest, MeasuringCaptionBlinksWithBitFourOfTheFrameCount) {
  SettledBoard(0.0f);
  window.StartMeasurement(2);
  for (int frame = 0; frame < 48; ++frame) {
    const std::vector<CanvasOp> texts = FrameTexts();
    const std::optional<CanvasOp> caption = FindText(texts, "User2 測定中");
    const bool shown = (frame & 16) == 0;
    EXPECT_EQ(caption.has_value(), shown) << "frame " << frame;
    if (caption) {
      EXPECT_EQ(caption->x, 32);
      EXPECT_EQ(caption->y, 76);
      EXPECT_EQ(caption->currentTextColor, kBlack);
    }
    const std::optional<CanvasOp> prompt =
        FindText(texts, "台に乗ってください。測定値を記録します。");
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->x, 32);
    EXPECT_EQ(prompt->y, 124);
  }
}

// After years without a measurement the count wraps to 0 instead of
// overflowing; 2^31 frames are whole blink periods, so the blink runs on.
TEST_F(FrameTest, FrameCountWrapsWithoutBreakingTheBlink) {
  SettledBoard(0.0f);
  window.StartMeasurement(1);
  window.frameCount = std::numeric_limits<int32_t>::max();
  EXPECT_FALSE(FindText(FrameTexts(), "User1 測定中"));
  EXPECT_EQ(window.frameCount, 0);
  EXPECT_TRUE(FindText(FrameTexts(), "User1 測定中"));
  EXPECT_EQ(window.frameCount, 1);
}

TEST_F(FrameTest, NeedleIsDrawnOverTheStatusLinesAndTheScaleLast) {
  SettledBoard(70.0f);
  board.cells[0] = 80.0f;
  window.StartMeasurement(0);
  const std::vector<std::string> lines = Frame();
  const int status = IndexOf(lines, "text 32 76 User0");
  const int figure = IndexOf(lines, "text 132 284");
  const int bar = IndexOf(lines, "white");
  const int needle = IndexOf(lines, "polygon");
  const int tick = IndexOf(lines, "polyline");
  const int caption = IndexOf(lines, "text 4 238");
  ASSERT_GE(status, 0);
  EXPECT_LT(status, figure);
  EXPECT_LT(figure, bar);
  EXPECT_LT(bar, needle);
  EXPECT_LT(needle, tick);
  EXPECT_LT(tick, caption);
  EXPECT_EQ(IndexOf(lines, "present"), static_cast<int>(lines.size()) - 1);
}

TEST_F(FrameTest, RecordedMeasurementShowsInTheHistoryFromTheNextFrame) {
  SettledBoard(60.0f);
  window.StartMeasurement(3);
  window.entries[0].userWeight[3] = 60.0f;
  window.stableFrames = 29;
  std::vector<CanvasOp> texts = FrameTexts();
  EXPECT_EQ(window.modeFlags.load() & ModeMeasuring, 0);
  EXPECT_TRUE(FindText(texts, "User3 測定中"));
  texts = FrameTexts();
  EXPECT_FALSE(FindText(texts, "User3 測定中"));
  EXPECT_TRUE(FindText(texts, "User3 2024-03-04 07:00:00  60.0kg"));
}

TEST_F(FrameTest, NoBoardShowsZeroNeedleAndNoticeOnlyAfterTheGrace) {
  for (int frame = 1; frame <= kStartupGraceFrames; ++frame) {
    const std::vector<std::string> lines = Frame();
    ASSERT_EQ(IndexOf(lines, "text 32 88"), -1) << "frame " << frame;
  }
  const std::vector<std::string> lines = Frame();
  EXPECT_EQ(IndexOf(lines, "white"), -1);
  EXPECT_EQ(IndexOf(lines, "polyline"), -1);
  EXPECT_THAT(lines, Contains("polygon 317,209 309,196 147,296 149,299"));
  std::vector<std::string> notice(lines.end() - 4, lines.end());
  EXPECT_THAT(notice, ElementsAre("text 32 88 バランスWiiボード が見つかりません。",
                                  "text 32 136 ペアリング＋接続 してください。",
                                  "text 32 184 (詳しくはマニュアルをご参照ください)", "present"));
}

TEST_F(FrameTest, NoticeSaysSoWhenABoardMayNotBeOpened) {
  window.countRefusedDevices = [](ktWiiLib*) { return 1; };
  const std::string line = "text 32 232 ボードの権限不足: make install か再ログインを";
  EXPECT_THAT(Frame(), Not(Contains(line)));  // hidden with the notice during the grace
  window.startupGrace = 0;
  std::vector<std::string> lines = Frame();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "text 32 184 (詳しくはマニュアルをご参照ください)");
  EXPECT_EQ(lines[lines.size() - 2], line);
  window.countRefusedDevices = [](ktWiiLib*) { return 0; };
  EXPECT_THAT(Frame(), Not(Contains(line)));
}

TEST_F(FrameTest, InitialisingBoardHidesTheNoticeAndIsNotShown) {
  window.startupGrace = 0;
  AddBoard(40.0f).readState = 1;
  const std::vector<std::string> lines = Frame();
  EXPECT_EQ(IndexOf(lines, "text 32 88"), -1);
  EXPECT_EQ(IndexOf(lines, "text 132 284"), -1);
  EXPECT_EQ(IndexOf(lines, "text 108 284"), -1);
}

TEST_F(FrameTest, RegistrationPhasesShowOnlyTheTitleAndThreeLines) {
  AddBoard(50.0f);
  struct Phase {
    int32_t flags;
    const char* lines[3];
  };
  const Phase phases[] = {
      {ModeRegistering,
       {"コントローラペアリング待ち", "バランスWiiボード の", "SYNC ボタンを押してください"}},
      {ModeRegistering | ModeRegisterWait,
       {"デバイス情報の更新待ちをしています。", "しばらくお待ちください。",
        "(登録したら最初は 0kg 調整してください)"}},
      {ModeRegistering | ModeRegisterWait | ModeRegisterUpdate,
       {"デバイス情報取得中です。", "", "(登録したら最初は 0kg 調整してください)"}},
  };
  for (const Phase& phase : phases) {
    window.modeFlags.store(phase.flags);
    const std::vector<CanvasOp> texts = FrameTexts();
    ASSERT_EQ(texts.size(), 4u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(texts[i + 1].text, phase.lines[i]);
      EXPECT_EQ(texts[i + 1].x, 32);
      EXPECT_EQ(texts[i + 1].y, 88 + 48 * i);
      EXPECT_EQ(texts[i + 1].currentFont, CanvasFont::Medium);
      EXPECT_EQ(texts[i + 1].currentTextColor, kBlue);
    }
    EXPECT_THAT(canvas->Lines(), Not(Contains("polygon")));
  }
  EXPECT_EQ(lib->countCalls, 0);
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, kZeroAdjustFrames);
}

// The registration thread asks for the adjustment, then clears its bits. Only
// a frame that has read the bits cleared may take the request: one taken
// before that read could be made just after it, and the frame would weigh
// with the old zero point.
TEST_F(FrameTest, ZeroAdjustRequestWaitsForTheFirstFrameThatReadsTheBoards) {
  SettledBoard(60.0f);
  window.entries[7].smoothedWeight = 12.0f;
  window.entries[7].zeroAdjustFrames = 0;
  window.zeroAdjustRequest.store(1);
  window.modeFlags.store(ModeRegistering);
  Frame();
  EXPECT_EQ(window.zeroAdjustRequest.load(), 1);
  EXPECT_EQ(window.entries[7].zeroAdjustFrames, 0);

  window.modeFlags.store(0);
  Frame();
  EXPECT_EQ(window.zeroAdjustRequest.load(), 0);
  EXPECT_EQ(window.entries[7].smoothedWeight, 0.0f);
  EXPECT_EQ(window.entries[7].zeroAdjustFrames, kZeroAdjustFrames);
  EXPECT_EQ(window.entries[0].zeroAdjustFrames, kZeroAdjustFrames - 1);
  EXPECT_EQ(board.zeroAdjust, 1);
}

TEST_F(FrameTest, WithoutPictureTheScaleStillMeasuresAndRecords) {
  window.canvas = nullptr;
  canvas->Release();
  canvas = nullptr;
  SettledBoard(60.0f);
  board.buttons = kBoardButton;  // pressed in the first frame, then held
  for (int frame = 0; frame < 60; ++frame)
    window.RenderFrame();
  EXPECT_EQ(window.frameCount, 60);
  EXPECT_EQ(window.modeFlags.load() & ModeMeasuring, 0);
  EXPECT_STREQ(window.history[0], "0 2024-03-04 07:00:00  60.0");
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Half-width cells of a text in the screen's fixed-pitch font.
int Columns(const std::string& text) {
  int columns = 0;
  for (unsigned char c : text)
    columns += c < 0x80 ? 1 : (c & 0xC0) == 0xC0 ? 2 : 0;
  return columns;
}

TEST_F(FrameTest, UnwrittenLogLineShowsWhereTheLogIsUntilARetryWritesIt) {
  // Short enough for the whole path to show: the temporary folder of Windows
  // is too long.
  const std::string folder = "frame_test_later";
  std::filesystem::remove_all(folder);
  window.logPath = folder + "/Gravimo_log.txt";
  SettledBoard(60.0f);
  window.entries[0].userWeight[0] = 60.0f;
  ::testing::internal::CaptureStderr();
  window.AppendLog(window.entries[0]);
  ::testing::internal::GetCapturedStderr();

  const std::string notice = "記録を書き込めません: " + window.logPath;
  std::optional<CanvasOp> line = FindText(FrameTexts(), notice);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->x, (600 - 6 * Columns(notice)) / 2);
  EXPECT_EQ(line->y, 384);
  EXPECT_EQ(line->currentFont, CanvasFont::Small);
  EXPECT_EQ(line->currentTextColor, kBlue);
  EXPECT_EQ(IndexOf(canvas->Lines(), "text " + std::to_string(line->x) + " 384 "),
            static_cast<int>(canvas->Lines().size()) - 2);
  lib->devices.clear();
  EXPECT_TRUE(FindText(FrameTexts(), notice));
  window.modeFlags.store(ModeRegistering);
  EXPECT_FALSE(FindText(FrameTexts(), notice));
  window.modeFlags.store(0);

  // Room that comes back is used within a few seconds, without a new record.
  std::filesystem::create_directory(folder);
  int frames = 3;
  while (ReadWholeFile(window.logPath).empty() && frames < 100) {
    Frame();
    ++frames;
  }
  EXPECT_LE(frames, 90);
  EXPECT_EQ(ReadWholeFile(window.logPath), "log 0 2024-03-04 07:00:00  60.0\r\n");
  EXPECT_FALSE(FindText(FrameTexts(), notice));
  std::filesystem::remove_all(folder);
}

TEST_F(FrameTest, LongUnwrittenLogPathKeepsItsEndInsideTheLine) {
  std::string path = "/nonexistent-gravimo";
  for (int i = 0; i < 10; ++i)
    path += "/ドキュメント";
  window.logPath = path + "/bad\xff\nname/Gravimo_log.txt";
  window.unwrittenLog.push_back("0 2024-03-04 07:00:00  60.0");
  std::optional<CanvasOp> line;
  for (const CanvasOp& op : FrameTexts()) {
    if (op.text.rfind("記録を書き込めません: …", 0) == 0)
      line = op;
  }
  window.unwrittenLog.clear();
  ASSERT_TRUE(line);
  EXPECT_EQ(line->text.substr(line->text.size() - 25), "bad??name/Gravimo_log.txt");
  EXPECT_GE(line->x, 120);
  EXPECT_LE(line->x + 6 * Columns(line->text), 480);
}

TEST_F(FrameTest, LongTextIsCutWithoutSplittingACharacter) {
  std::string longText;
  for (int i = 0; i < 300; ++i)
    longText += "あ";
  canvas->Clear();
  DrawFormattedText(*canvas, 0, 0, "x%s", longText.c_str());
  ASSERT_EQ(canvas->Ops().size(), 1u);
  const std::string& drawn = canvas->Ops()[0].text;
  EXPECT_LE(drawn.size(), 511u);
  EXPECT_EQ((drawn.size() - 1) % 3, 0u);
  EXPECT_EQ(drawn.substr(0, 4), "xあ");
  // Text given as an argument is drawn as it is, percent signs included.
  canvas->Clear();
  DrawFormattedText(*canvas, 0, 0, "%s", "100%d");
  EXPECT_EQ(canvas->Ops()[0].text, "100%d");
}

}  // namespace
