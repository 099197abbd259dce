#include <gtest/gtest.h>

#include "device_test_helpers.h"
#include "sim/sim_wii_lib.h"

namespace {

const Bytes kLedsOff = {0x11, 0x00};
const Bytes kStatusRequest = {0x15, 0x00};
const Bytes kExtInit = Write22({0x16, 0x04, 0xA4, 0x00, 0x40, 0x01, 0x00});
const Bytes kReadExtId = {0x17, 0x04, 0xA4, 0x00, 0xF0, 0x00, 0x10};
const Bytes kReadExtMemory = {0x17, 0x04, 0xA4, 0x00, 0x00, 0x01, 0x00};
const Bytes kReadRemoteCal = {0x17, 0x00, 0x00, 0x00, 0x10, 0x00, 0x10};

ReportLog IrSetup(uint8_t mode) {
  return {{0x13, 0x04},
          {0x1A, 0x04},
          Write22({0x16, 0x04, 0xB0, 0x00, 0x30, 0x01, 0x08}),
          Write22({0x16, 0x04, 0xB0, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90,
                   0x00, 0xC0}),
          Write22({0x16, 0x04, 0xB0, 0x00, 0x1A, 0x02, 0x40, 0x00}),
          Write22({0x16, 0x04, 0xB0, 0x00, 0x33, 0x01, mode})};
}

ReportLog Concat(std::initializer_list<ReportLog> parts) {
  ReportLog all;
  for (const ReportLog& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

const ReportLog kBoardConnection = {kLedsOff,       kStatusRequest, kExtInit,          kReadExtId,
                                    kReadExtMemory, {0x11, 0x10},   {0x12, 0x00, 0x32}};

ReportLog RemoteConnection(uint8_t led) {
  return Concat({{kLedsOff, kStatusRequest, kReadRemoteCal},
                 IrSetup(3),
                 {{0x11, led}},
                 {{0x12, 0x00, 0x33}}});
}

ReportLog ExtensionRemoteConnection(uint8_t led) {
  return Concat({{kLedsOff, kStatusRequest, kExtInit, kReadExtId, kReadExtMemory, kReadRemoteCal},
                 IrSetup(1),
                 {{0x11, led}},
                 {{0x12, 0x00, 0x37}}});
}

// Writes and the acknowledgements they draw are not part of the exchange's
// order; the simulator's log holds exactly what the host sent.
ReportLog SimulatedConnection(SimRemoteOptions options, unsigned position) {
  SimWiiLib lib;
  for (unsigned i = 0; i < position; ++i) {
    lib.AddRemote();
  }
  SimRemote* remote = lib.AddRemote(options);
  lib.Start(kWiiVendorId, kWiiProductId);
  return remote->OutputLog();
}

TEST(ProtocolExchangeTest, BoardConnectionScripted) {
  // At position 5 a remote would light LED 2; the board always lights its one LED.
  for (int index : {0, 5}) {
    ScriptedDevice scripted;
    scripted.Identify(kExtBalanceBoard, BoardImage(100, 200, 300), false, index);
    EXPECT_EQ(scripted.port.Take(), kBoardConnection) << "index " << index;
    EXPECT_EQ(scripted.device->GetReadState(), kReadIdle);
  }
}

TEST(ProtocolExchangeTest, BoardConnectionAgainstTheSimulator) {
  for (bool encoded : {false, true}) {
    SimWiiLib lib;
    SimBoardOptions options;
    options.encoded = encoded;
    SimBoard* board = lib.AddBoard(options);
    lib.Start(kWiiVendorId, kWiiProductId);
    EXPECT_EQ(board->OutputLog(), kBoardConnection) << "encoded " << encoded;
    EXPECT_EQ(lib.GetDevice(0)->GetExtensionType(), kExtBalanceBoard);
    EXPECT_FALSE(board->IrEnabled());
  }
}

TEST(ProtocolExchangeTest, RemoteWithoutExtensionScripted) {
  for (int index : {0, 4, 5}) {
    ScriptedDevice scripted;
    scripted.device->OnOpened(index);
    scripted.Feed(StatusReport(false, 0x55));
    scripted.Feed(ReadReply(0x0010, Bytes(16, 0x80)));
    const uint8_t led = static_cast<uint8_t>(0x10 << (index & 3));
    EXPECT_EQ(scripted.port.Take(), RemoteConnection(led)) << "index " << index;
    EXPECT_EQ(scripted.device->GetExtensionType(), kExtNone);
    EXPECT_EQ(scripted.device->GetBattery(), 0x55);
  }
}

TEST(ProtocolExchangeTest, RemotesAgainstTheSimulator) {
  EXPECT_EQ(SimulatedConnection({}, 0), RemoteConnection(0x10));
  EXPECT_EQ(SimulatedConnection({}, 5), RemoteConnection(0x20));
  for (SimExtension extension : {SimExtension::kNunchuk, SimExtension::kClassic}) {
    for (bool encoded : {false, true}) {
      SimRemoteOptions options;
      options.extension = extension;
      options.encoded = encoded;
      EXPECT_EQ(SimulatedConnection(options, 2), ExtensionRemoteConnection(0x40))
          << "extension " << static_cast<int>(extension) << " encoded " << encoded;
    }
  }
}

TEST(ProtocolExchangeTest, ExtensionRemotesScripted) {
  for (uint16_t id : {kExtNunchuk, kExtClassic}) {
    ScriptedDevice scripted;
    Bytes image(256, 0);
    scripted.Identify(id, image);
    EXPECT_EQ(scripted.port.Take(), ExtensionRemoteConnection(0x10)) << "id " << id;
    EXPECT_EQ(scripted.device->GetExtensionType(), id);
  }
}

TEST(ProtocolExchangeTest, UnknownIdentifierIsConfiguredLikeAPlainRemote) {
  ScriptedDevice scripted;
  scripted.Identify(0x1234, Bytes(256, 0));
  const ReportLog sent = scripted.port.Take();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), (Bytes{0x12, 0x00, 0x33}));
  EXPECT_EQ(scripted.device->GetExtensionType(), 0x1234);
}

// The kernel's own driver shares the device: its reads are answered to every
// reader, it asks for status reports of its own, and it sets its own
// reporting mode after each. None of that may derail the identification.
TEST(ProtocolExchangeTest, AnotherReadersExchangesDoNotDerailABoard) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  const Bytes image = BoardImage(100, 200, 300);
  const Bytes foreignShortRead = ReadReply(0x00FA, {0x00, 0x00, 0xA4, 0x20, 0x04, 0x02});
  device.OnOpened(0);
  scripted.Feed(StatusReport(true, 0x80));
  scripted.Feed(foreignShortRead);
  EXPECT_EQ(device.GetReadState(), kReadExtensionId);
  scripted.Feed(StatusReport(true, 0x80));  // the other reader's status request
  scripted.FeedIdentifier(kExtBalanceBoard, false);
  scripted.FeedIdentifier(kExtBalanceBoard, false);  // the reply to the second request
  EXPECT_EQ(device.GetReadState(), kReadExtensionMemory);
  for (int chunk = 0; chunk < 16; ++chunk) {
    if (chunk == 3) {
      scripted.Feed(ReadReply(0x0024, Bytes(12, 0x99)));
      scripted.Feed(foreignShortRead);
    }
    scripted.Feed(ReadReply(static_cast<uint16_t>(16 * chunk),
                            Bytes(image.begin() + 16 * chunk, image.begin() + 16 * chunk + 16)));
  }
  EXPECT_EQ(device.GetReadState(), kReadIdle);
  EXPECT_EQ(device.GetExtensionType(), kExtBalanceBoard);
  uint8_t copy[256];
  device.GetExtensionMemory(copy);
  EXPECT_EQ(Bytes(copy, copy + 256), image);

  // The other reader switched the board to buttons-only reports: ask again.
  scripted.port.Take();
  scripted.Feed({0x30, 0x00, 0x00});
  EXPECT_EQ(scripted.port.Take(), (ReportLog{{0x12, 0x00, 0x32}}));
  scripted.Feed(BoardReport(150, 150, 150, 150));
  EXPECT_TRUE(scripted.port.Take().empty());
}

TEST(ProtocolExchangeTest, ReadStateFollowsTheIdentification) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  device.OnOpened(0);
  EXPECT_EQ(device.GetReadState(), kReadIdle);
  EXPECT_EQ(device.GetExtensionType(), kExtNone);
  scripted.Feed(StatusReport(true, 0x80));
  EXPECT_EQ(device.GetReadState(), kReadExtensionId);
  scripted.FeedIdentifier(kExtBalanceBoard, false);
  EXPECT_EQ(device.GetReadState(), kReadExtensionMemory);
  EXPECT_EQ(device.GetExtensionType(), kExtBalanceBoard);
  Bytes image = BoardImage(100, 200, 300);
  std::fill(image.begin() + 0x50, image.begin() + 0x60, 0x5A);
  constexpr int kLostChunk = 5;
  for (int chunk = 0; chunk < 15; ++chunk) {
    if (chunk != kLostChunk) {
      scripted.Feed(ReadReply(static_cast<uint16_t>(16 * chunk),
                              Bytes(image.begin() + 16 * chunk, image.begin() + 16 * chunk + 16)));
    }
    EXPECT_EQ(device.GetReadState(), kReadExtensionMemory);
  }
  // The last chunk ends the image although chunk 5 never came; its bytes stay as they were.
  scripted.port.Take();
  scripted.Feed(ReadReply(0x00F0, Bytes(image.begin() + 0xF0, image.end())));
  EXPECT_EQ(device.GetReadState(), kReadIdle);
  EXPECT_EQ(scripted.port.Take(), (ReportLog{{0x11, 0x10}, {0x12, 0x00, 0x32}}));
  std::fill(image.begin() + 0x50, image.begin() + 0x60, 0);
  uint8_t copy[256];
  device.GetExtensionMemory(copy);
  EXPECT_EQ(Bytes(copy, copy + 256), image);
}

TEST(ProtocolExchangeTest, EncodedIdentifierSwitchesToTransformedData) {
  ScriptedDevice scripted;
  Bytes image = BoardImage(100, 200, 300);
  scripted.Identify(kExtBalanceBoard, image, true);
  EXPECT_EQ(scripted.device->GetExtensionType(), kExtBalanceBoard);
  uint8_t copy[256];
  scripted.device->GetExtensionMemory(copy);
  EXPECT_EQ(Bytes(copy, copy + 256), image);
  // Data bytes are transformed too: zero-adjust at the 0 kg point, then load.
  auto encodedReport = [](int raw) {
    Bytes report = BoardReport(raw, raw, raw, raw);
    std::transform(report.begin() + 3, report.end(), report.begin() + 3, Encode);
    return report;
  };
  scripted.device->SetZeroAdjust(1);
  scripted.Feed(encodedReport(100));
  scripted.device->SetZeroAdjust(0);
  scripted.Feed(encodedReport(200));
  EXPECT_FLOAT_EQ(scripted.device->GetBoardWeight(), 68.0f);
}

TEST(ProtocolExchangeTest, StatusAndReadRepliesSteerTheStateMachine) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  scripted.Identify(kExtBalanceBoard, BoardImage(100, 200, 300));
  scripted.port.Take();

  // A reply while idle only changes the buttons.
  Bytes reply = ReadReply(0x0000, Bytes(16, 0xEE));
  reply[2] = 0x08;
  scripted.Feed(reply);
  EXPECT_EQ(device.GetButtons(), 0x0008);
  EXPECT_EQ(device.GetReadState(), kReadIdle);
  EXPECT_TRUE(scripted.port.Take().empty());

  // A status without the extension bit turns the board into a plain remote.
  scripted.Feed(StatusReport(false, 0x10));
  EXPECT_EQ(device.GetExtensionType(), kExtNone);
  EXPECT_EQ(device.GetReadState(), kReadRemoteCalibration);
  EXPECT_EQ(scripted.port.Take(), (ReportLog{kReadRemoteCal}));

  // An error reply leaves the state where it was; a new status restarts.
  scripted.Feed(ReadReply(0x0010, Bytes(16, 0), 0x07));
  EXPECT_EQ(device.GetReadState(), kReadRemoteCalibration);
  EXPECT_TRUE(scripted.port.Take().empty());
  scripted.Feed(StatusReport(true, 0x10));
  EXPECT_EQ(device.GetReadState(), kReadExtensionId);
  EXPECT_EQ(scripted.port.Take(), (ReportLog{kExtInit, kReadExtId}));
}

TEST(ProtocolExchangeTest, SimulatedErrorRepliesKeepTheDeviceBusy) {
  SimWiiLib lib;
  SimBoard* board = lib.AddBoard();
  board->SetErrorReplies(true);
  lib.Start(kWiiVendorId, kWiiProductId);
  EXPECT_EQ(lib.GetDevice(0)->GetReadState(), kReadExtensionId);
  board->SetErrorReplies(false);
  board->SendStatus();
  lib.Pump();
  EXPECT_EQ(lib.GetDevice(0)->GetReadState(), kReadIdle);
  EXPECT_EQ(lib.GetDevice(0)->GetExtensionType(), kExtBalanceBoard);
}

TEST(ProtocolExchangeTest, ReportKindsUpdateOnlyTheirFields) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  scripted.Identify(kExtBalanceBoard, BoardImage(100, 200, 300));
  scripted.ZeroAdjustOnce(100);

  // Report 0x3D carries extension bytes from byte 1 and no buttons.
  Bytes extOnly(22, 0);
  extOnly[0] = 0x3D;
  extOnly[2] = 200;  // cell 0 reads 0x00C8, its 17 kg point
  scripted.Feed({0x30, 0x12, 0x34});
  scripted.Feed(extOnly);
  EXPECT_EQ(device.GetButtons(), 0x1234);
  EXPECT_FLOAT_EQ(device.GetBoardSensor(0), 68.0f);

  scripted.Feed({0x3E, 0x00, 0x08});
  EXPECT_EQ(device.GetButtons(), 0x0008);
  EXPECT_FLOAT_EQ(device.GetBoardSensor(0), 68.0f);
  scripted.Feed({0x3F, 0x00, 0x00});
  EXPECT_EQ(device.GetButtons(), 0);

  // Ids outside 0x20..0x3F and unused ids change nothing.
  scripted.Feed({0x1F, 0xFF, 0xFF});
  scripted.Feed({0x40, 0xFF, 0xFF});
  scripted.Feed({0x22, 0xFF, 0xFF, 0x16, 0x00});
  EXPECT_EQ(device.GetButtons(), 0);
}

// Each data report carries the extension bytes at its own position; the
// bytes around them are filler that would read as far-off loads.
TEST(ProtocolExchangeTest, ExtensionBytesComeFromEachReportsOwnPosition) {
  struct Case {
    uint8_t id;
    int position;
  };
  const Case cases[] = {{0x32, 3}, {0x34, 3}, {0x35, 6}, {0x36, 13}, {0x3D, 1}};
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  scripted.Identify(kExtBalanceBoard, BoardImage(100, 200, 300));
  scripted.ZeroAdjustOnce(100);
  int step = 0;
  for (const Case& c : cases) {
    Bytes report(22, 0xEE);
    report[0] = c.id;
    for (int cell = 0; cell < 4; ++cell) {
      report[c.position + 2 * cell] = 0;
      report[c.position + 2 * cell + 1] = static_cast<uint8_t>(110 + 10 * cell + step);
    }
    scripted.Feed(report);
    for (int cell = 0; cell < 4; ++cell) {
      EXPECT_NEAR(device.GetBoardSensor(cell), (10 + 10 * cell + step) * 0.68f, 1e-4f)
          << "report " << std::hex << int{c.id} << " cell " << cell;
    }
    ++step;
  }
}

TEST(ProtocolExchangeTest, ReadMemoryIsRefusedWhileAnotherReadRuns) {
  ScriptedDevice scripted;
  ktWiiDevice& device = *scripted.device;
  std::vector<uint8_t> dest(0x20 + 20, 0);
  ASSERT_EQ(device.ReadMemory(0x04A40020, dest.data(), 20), 1);
  EXPECT_EQ(scripted.port.Take(), (ReportLog{{0x17, 0x04, 0xA4, 0x00, 0x20, 0x00, 0x14}}));
  EXPECT_EQ(device.ReadMemory(0x00000000, dest.data(), 4), 0);
  EXPECT_TRUE(scripted.port.Take().empty());

  scripted.Feed(ReadReply(0x0020, Bytes(16, 0xAB)));
  EXPECT_EQ(device.GetReadState(), kReadUser);
  scripted.Feed(ReadReply(0x0030, Bytes(8, 0xCD)));  // more than the 4 still expected
  EXPECT_EQ(device.GetReadState(), kReadUser);
  scripted.Feed(ReadReply(0x0030, Bytes(4, 0xCD)));
  EXPECT_EQ(device.GetReadState(), kReadIdle);
  EXPECT_EQ(dest[0x1F], 0);
  EXPECT_EQ(dest[0x20], 0xAB);
  EXPECT_EQ(dest[0x2F], 0xAB);
  EXPECT_EQ(dest[0x33], 0xCD);
}

}  // namespace
