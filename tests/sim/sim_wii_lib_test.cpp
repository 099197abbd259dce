#include "sim/sim_wii_lib.h"

#include <gtest/gtest.h>

namespace {

// Runs the zero adjustment the way the application does: a number of board
// reports with the mode on, then off.
void ZeroAdjust(SimWiiLib& lib, unsigned index, SimBoard& board, int reports) {
  ktWiiLibDevice* device = lib.GetDevice(index);
  device->SetZeroAdjust(1);
  for (int i = 0; i < reports; ++i) {
    board.ResendData();
    lib.Pump();
  }
  device->SetZeroAdjust(0);
}

TEST(SimWiiLibTest, BoardIsIdentifiedAndReadsItsLoadsAfterZeroAdjustment) {
  SimWiiLib lib;
  SimBoard* board = lib.AddBoard();
  const int drift[4] = {37, -52, 11, 90};
  board->SetZeroDrift(drift);
  ASSERT_EQ(lib.Start(kWiiVendorId, kWiiProductId), 1);
  ktWiiLibDevice* device = lib.GetDevice(0);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->IsOpen(), 1);
  EXPECT_EQ(device->GetReadState(), kReadIdle);
  EXPECT_EQ(device->GetExtensionType(), kExtBalanceBoard);
  EXPECT_EQ(board->ReportingMode(), 0x32);
  EXPECT_EQ(board->Leds(), 0x10);

  ZeroAdjust(lib, 0, *board, 20);
  const float loads[4] = {12.3f, 17.0f, 25.5f, 40.2f};
  board->SetLoads(loads);
  lib.Pump();
  for (int cell = 0; cell < 4; ++cell) {
    EXPECT_NEAR(device->GetBoardSensor(cell) * 0.25f, loads[cell], 0.1f) << "cell " << cell;
  }
  EXPECT_NEAR(device->GetBoardWeight(), 12.3f + 17.0f + 25.5f + 40.2f, 0.1f);
}

TEST(SimWiiLibTest, EncodedBoardReadsTheSameLoads) {
  SimWiiLib lib;
  SimBoardOptions options;
  options.encoded = true;
  SimBoard* board = lib.AddBoard(options);
  lib.Start(kWiiVendorId, kWiiProductId);
  ZeroAdjust(lib, 0, *board, 20);
  board->SetTotalLoad(72.4f, 0.2f, -0.1f);
  lib.Pump();
  EXPECT_EQ(lib.GetDevice(0)->GetExtensionType(), kExtBalanceBoard);
  EXPECT_NEAR(lib.GetDevice(0)->GetBoardWeight(), 72.4f, 0.1f);
  EXPECT_GT(lib.GetDevice(0)->GetBoardBalance(0), 0.0f);  // weight on the right cells
  EXPECT_LT(lib.GetDevice(0)->GetBoardBalance(1), 0.0f);  // and toward the top
}

TEST(SimWiiLibTest, FrontButtonReachesTheButtonWord) {
  SimWiiLib lib;
  SimBoard* board = lib.AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  board->SetButton(true);
  lib.Pump();
  EXPECT_EQ(lib.GetDevice(0)->GetButtons(), kBoardButton);
  board->SetButton(false);
  lib.Pump();
  EXPECT_EQ(lib.GetDevice(0)->GetButtons(), 0);
}

TEST(SimWiiLibTest, LostDeviceKeepsItsValuesAndReopensAtItsPosition) {
  SimWiiLib lib;
  SimBoard* board = lib.AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  ZeroAdjust(lib, 0, *board, 20);
  board->SetTotalLoad(50.0f);
  lib.Pump();
  lib.SetOpen(0, false);
  board->SetTotalLoad(80.0f);
  lib.Pump();
  ktWiiLibDevice* device = lib.GetDevice(0);
  EXPECT_EQ(device->IsOpen(), 0);
  EXPECT_NEAR(device->GetBoardWeight(), 50.0f, 0.1f);
  EXPECT_EQ(device->GetExtensionType(), kExtBalanceBoard);

  lib.SetOpen(0, true);
  EXPECT_EQ(lib.GetDevice(0), device);
  EXPECT_EQ(device->IsOpen(), 1);
  EXPECT_EQ(device->GetReadState(), kReadIdle);
  EXPECT_NEAR(device->GetBoardWeight(), 80.0f, 0.1f);
}

TEST(SimWiiLibTest, ManyDevicesGetTheirOwnPositionsAndLeds) {
  SimWiiLib lib;
  // The board comes last, at a position where a remote would light LED 2.
  constexpr unsigned kRemotes = 41;
  for (unsigned i = 0; i < kRemotes; ++i) {
    ASSERT_NE(lib.AddRemote(), nullptr);
  }
  SimBoard* board = lib.AddBoard();
  lib.Start(kWiiVendorId, kWiiProductId);
  ASSERT_EQ(lib.GetDeviceCount(), static_cast<int>(kRemotes + 1));
  for (unsigned i = 0; i < kRemotes; ++i) {
    EXPECT_EQ(lib.GetDevice(i)->GetIndex(), static_cast<int>(i));
    EXPECT_EQ(lib.Sim(i)->Leds(), 0x10 << (i & 3)) << "remote " << i;
    EXPECT_EQ(lib.Sim(i)->ReportingMode(), 0x33);
  }
  EXPECT_EQ(lib.GetDevice(kRemotes)->GetExtensionType(), kExtBalanceBoard);
  EXPECT_EQ(board->Leds(), 0x10);
  EXPECT_EQ(lib.GetDevice(kRemotes + 1), nullptr);
}

TEST(SimWiiLibTest, DevicesAddedAfterStartOpenOnUpdate) {
  SimWiiLib lib;
  EXPECT_EQ(lib.RequestUpdate(), 0);
  lib.Start(kWiiVendorId, kWiiProductId);
  EXPECT_EQ(lib.GetDeviceCount(), 0);
  lib.AddBoard();
  EXPECT_EQ(lib.GetDevice(0)->IsOpen(), 0);
  EXPECT_EQ(lib.RequestUpdate(), 1);
  EXPECT_EQ(lib.GetDevice(0)->IsOpen(), 1);
  EXPECT_EQ(lib.GetDevice(0)->GetExtensionType(), kExtBalanceBoard);
}

TEST(SimWiiLibTest, ReleaseSendsClosingReportsAndMayBeRepeated) {
  SimBoard board;
  SimRemote remote;
  SimWiiLib lib;
  lib.AddDevice(board);
  lib.AddDevice(remote);
  lib.Start(kWiiVendorId, kWiiProductId);
  board.ClearOutputLog();
  remote.ClearOutputLog();
  lib.Release();
  using Log = std::vector<SimDevice::Report>;
  EXPECT_EQ(board.OutputLog(), (Log{{0x12, 0x00, 0x30}}));
  EXPECT_EQ(remote.OutputLog(), (Log{{0x13, 0x00}, {0x1A, 0x00}, {0x12, 0x00, 0x30}}));
  EXPECT_EQ(lib.GetDeviceCount(), 0);
  lib.Release();
  EXPECT_EQ(lib.GetDeviceCount(), 0);
}

}  // namespace
