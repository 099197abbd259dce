#include <gtest/gtest.h>

#include "device_test_helpers.h"

namespace {

// A board identified with 100 / 200 / 300 on every cell.
struct Board : ScriptedDevice {
  Board() { Identify(kExtBalanceBoard, BoardImage(100, 200, 300)); }
  void Load(int r0, int r1, int r2, int r3) { Feed(BoardReport(r0, r1, r2, r3)); }
};

TEST(BoardWeightTest, NeverZeroAdjustedBoardReadsZero) {
  Board board;
  board.Load(150, 250, 90, 5000);
  for (int cell = 0; cell < 4; ++cell) {
    EXPECT_EQ(board.device->GetBoardSensor(cell), 0.0f);
  }
  EXPECT_EQ(board.device->GetBoardWeight(), 0.0f);
}

TEST(BoardWeightTest, ConvertsThroughBothCalibrationSegments) {
  struct Case {
    int raw;
    float quarterKg;
  };
  const Case cases[] = {{150, 34.0f}, {200, 68.0f}, {250, 102.0f}, {90, -6.8f}, {400, 204.0f}};
  Board board;
  board.ZeroAdjustOnce(100);
  for (const Case& c : cases) {
    board.Load(c.raw, c.raw, c.raw, c.raw);
    EXPECT_NEAR(board.device->GetBoardSensor(0), c.quarterKg, 1e-4f) << "raw " << c.raw;
  }
  board.Load(200, 200, 200, 200);
  EXPECT_FLOAT_EQ(board.device->GetBoardWeight(), 68.0f);
}

TEST(BoardWeightTest, ZeroAdjustmentHalvesTheGapRoundingDown) {
  // Each step's calibration carries the offset from before the step, so a
  // reading at 110 afterwards shows that offset: (110 - 100 - offset) * 0.68.
  struct Case {
    int raw;
    std::vector<int> offsets;
  };
  const Case cases[] = {{110, {0, 5, 7, 8, 9, 9}}, {97, {0, -2, -3, -3}}};
  for (const Case& c : cases) {
    Board board;
    for (int offset : c.offsets) {
      board.ZeroAdjustOnce(c.raw);
      board.Load(c.raw, c.raw, c.raw, c.raw);
      EXPECT_NEAR(board.device->GetBoardSensor(2), (c.raw - 100 - offset) * 0.68f, 1e-4f)
          << "raw " << c.raw << " offset " << offset;
    }
  }
}

TEST(BoardWeightTest, ZeroAdjustModeKeepsTheLastLoads) {
  Board board;
  board.ZeroAdjustOnce(100);
  board.Load(200, 200, 200, 200);
  board.device->SetZeroAdjust(1);
  board.Load(300, 300, 300, 300);
  EXPECT_FLOAT_EQ(board.device->GetBoardWeight(), 68.0f);
}

// A zero-adjust report during a memory read must not move the zero point: a
// step at 150 would add 25 to the offset, which the next step would apply.
TEST(BoardWeightTest, ZeroAdjustWaitsWhileAMemoryReadRuns) {
  Board board;
  board.ZeroAdjustOnce(100);
  uint8_t dest[32];
  ASSERT_EQ(board.device->ReadMemory(0x00000000, dest, 16), 1);
  board.ZeroAdjustOnce(150);  // ignored: the read is still under way
  board.Feed(ReadReply(0x0000, Bytes(16, 0)));
  board.ZeroAdjustOnce(100);
  board.Load(150, 150, 150, 150);
  EXPECT_NEAR(board.device->GetBoardSensor(0), 34.0f, 1e-4f);
}

TEST(BoardWeightTest, CellWithCoincidingPointsKeepsItsLoad) {
  ScriptedDevice scripted;
  Bytes image = BoardImage(100, 200, 300);
  image[0x2C] = 0;
  image[0x2D] = 100;  // cell 0: 17 kg point equal to its 0 kg point
  scripted.Identify(kExtBalanceBoard, image);
  scripted.ZeroAdjustOnce(100);
  scripted.Feed(BoardReport(200, 200, 200, 200));
  EXPECT_EQ(scripted.device->GetBoardSensor(0), 0.0f);
  EXPECT_FLOAT_EQ(scripted.device->GetBoardSensor(1), 68.0f);
}

TEST(BoardWeightTest, BalanceOfExactLoadsAndSensorRange) {
  // Raw readings that give exactly 10, 20, 30, 40 with points 0 / 68 / 136.
  ScriptedDevice scripted;
  scripted.Identify(kExtBalanceBoard, BoardImage(0, 68, 136));
  scripted.ZeroAdjustOnce(0);
  scripted.Feed(BoardReport(10, 20, 30, 40));
  EXPECT_FLOAT_EQ(scripted.device->GetBoardBalance(0), -20.0f);
  EXPECT_FLOAT_EQ(scripted.device->GetBoardBalance(1), 10.0f);
  EXPECT_FLOAT_EQ(scripted.device->GetBoardBalance(7), 10.0f);  // any axis but 0
  EXPECT_FLOAT_EQ(scripted.device->GetBoardWeight(), 25.0f);
  EXPECT_EQ(scripted.device->GetBoardSensor(-1), 0.0f);
  EXPECT_EQ(scripted.device->GetBoardSensor(4), 0.0f);
}

}  // namespace
