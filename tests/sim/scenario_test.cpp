#include "sim/scenario.h"

#include <gtest/gtest.h>

#include "sim/sim_wii_lib.h"

namespace {

constexpr double kFrame = 1.0 / 30.0;

TEST(ScenarioTest, WeighInReadsEachWeightThroughTheDevice) {
  SimWiiLib lib;
  SimBoard* board = lib.AddBoard();
  const int drift[4] = {-40, 25, 60, -15};
  board->SetZeroDrift(drift);
  lib.Start(kWiiVendorId, kWiiProductId);
  ktWiiLibDevice* device = lib.GetDevice(0);
  Scenario scenario(WeighInScript(), 7);

  // Zero-adjust during the first 60 frames on the empty board, as the
  // application does, then record the steady readings of each stand phase.
  std::vector<float> steady[2];
  int frame = 0;
  bool buttonSeen = false;
  while (!scenario.Done()) {
    device->SetZeroAdjust(frame < 60 ? 1 : 0);
    scenario.Advance(*board, kFrame);
    lib.Pump();
    ++frame;
    buttonSeen = buttonSeen || (device->GetButtons() & kBoardButton) != 0;
    const int phase = scenario.PhaseIndex();
    if (phase == 4 || phase == 10) {
      steady[phase == 4 ? 0 : 1].push_back(device->GetBoardWeight());
    }
  }
  EXPECT_TRUE(buttonSeen);
  const float expected[2] = {62.4f, 81.7f};
  for (int person = 0; person < 2; ++person) {
    ASSERT_FALSE(steady[person].empty());
    float sum = 0.0f;
    for (float weight : steady[person]) {
      EXPECT_NEAR(weight, expected[person], 0.1f);
      sum += weight;
    }
    EXPECT_NEAR(sum / static_cast<float>(steady[person].size()), expected[person], 0.02f);
  }
  EXPECT_NEAR(device->GetBoardWeight(), 0.0f, 0.1f);
}

TEST(ScenarioTest, RampsAndPhasesFollowTheClock) {
  SimBoard board;
  Scenario scenario({{ScenarioPhase::kStepOn, 2.0, 80.0f}, {ScenarioPhase::kStepOff, 2.0, 80.0f}});
  EXPECT_DOUBLE_EQ(scenario.Duration(), 4.0);
  scenario.Advance(board, 0.5);
  EXPECT_FLOAT_EQ(scenario.NominalLoad(), 20.0f);
  EXPECT_EQ(scenario.PhaseIndex(), 0);
  scenario.Advance(board, 2.0);
  EXPECT_EQ(scenario.PhaseIndex(), 1);
  EXPECT_FLOAT_EQ(scenario.NominalLoad(), 60.0f);
  scenario.Advance(board, 10.0);
  EXPECT_TRUE(scenario.Done());
  EXPECT_FLOAT_EQ(scenario.NominalLoad(), 0.0f);
}

TEST(ScenarioTest, SameSeedGivesTheSameReadings) {
  auto run = [](uint32_t seed) {
    SimBoard board;
    Scenario scenario({{ScenarioPhase::kStand, 5.0, 70.0f}}, seed);
    std::vector<uint16_t> raw;
    for (int i = 0; i < 30; ++i) {
      scenario.Advance(board, kFrame);
      raw.push_back(board.RawCell(0));
    }
    return raw;
  };
  EXPECT_EQ(run(3), run(3));
  EXPECT_NE(run(3), run(4));
}

}  // namespace
