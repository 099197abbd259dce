#include <gtest/gtest.h>

#include "device_test_helpers.h"

namespace {

// A remote without extension whose EEPROM calibration has zero-g 0x80 and
// one-g 0x9A on every axis.
struct Remote : ScriptedDevice {
  explicit Remote(uint8_t oneG = 0x9A) {
    device->OnOpened(0);
    Feed(StatusReport(false, 0x80));
    Bytes calibration(16, 0);
    calibration[6] = calibration[7] = calibration[8] = 0x80;
    calibration[10] = calibration[11] = calibration[12] = oneG;
    Feed(ReadReply(0x0010, calibration));
  }
};

// Extension images as a Nunchuk and a Classic Controller carry them.
Bytes ExtensionImage(uint16_t id) {
  Bytes image(256, 0);
  const Bytes nunchuk = {0x80, 0x80, 0x80, 0,    0xB3, 0xB3, 0xB3,
                         0,    0xE0, 0x20, 0x80, 0xE0, 0x20, 0x80};
  const Bytes classic = {0xFC, 0x04, 0x80, 0xFC, 0x04, 0x80, 0xF8, 0x08, 0x80, 0xF8, 0x08, 0x80};
  const Bytes& calibration = id == kExtNunchuk ? nunchuk : classic;
  std::copy(calibration.begin(), calibration.end(), image.begin() + 0x20);
  return image;
}

TEST(RemoteDecodersTest, AccelerometerFollowsTheCalibration) {
  struct Case {
    uint8_t oneG;
    uint8_t raw;
    float g;
  };
  const Case cases[] = {{0x9A, 0x9A, 1.0f},
                        {0x9A, 0x66, -1.0f},
                        {0x9A, 0x80, 0.0f},
                        {0x80, 0x9A, 0.0f}};  // equal zero-g and one-g: no division
  for (const Case& c : cases) {
    Remote remote(c.oneG);
    remote.Feed({0x31, 0, 0, c.raw, c.raw, c.raw});
    for (unsigned axis = 0; axis < 3; ++axis) {
      EXPECT_FLOAT_EQ(remote.device->GetAccel(axis), c.g) << "raw " << int{c.raw};
    }
    EXPECT_EQ(remote.device->GetAccel(3), 0.0f);
  }
}

TEST(RemoteDecodersTest, StickValueOverItsRange) {
  struct Case {
    uint8_t raw, maximum, minimum, centre;
    float value;
  };
  const Case cases[] = {{0xE0, 0xE0, 0x20, 0x80, 1.0f}, {0x20, 0xE0, 0x20, 0x80, -1.0f},
                        {0x80, 0xE0, 0x20, 0x80, 0.0f}, {0xF8, 0xE0, 0x20, 0x80, 1.25f},
                        {0x10, 0xE0, 0x80, 0x80, 0.0f}, {0xF0, 0x80, 0x20, 0x80, 0.0f}};
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(StickValue(c.raw, c.maximum, c.minimum, c.centre), c.value)
        << "raw " << int{c.raw};
  }
}

// All four points, each with different high bits, so that a point or a
// group left undecoded keeps the values of the report before.
TEST(RemoteDecodersTest, IrPointsInBothFormats) {
  Remote remote;
  auto expectPoints = [&](const int(&coordinates)[8], const char* what) {
    for (unsigned i = 0; i < 8; ++i) {
      EXPECT_EQ(remote.device->GetIRPoint(i), coordinates[i]) << what << " coordinate " << i;
    }
  };
  // Basic format, groups of five bytes: points (0x301, 0x102) and (0x203,
  // 0x004), then (0x0AB, 0x3CD) and (0x1EF, 0x210).
  const uint8_t group0[5] = {0x01, 0x02, (1 << 6) | (3 << 4) | (0 << 2) | 2, 0x03, 0x04};
  const uint8_t group1[5] = {0xAB, 0xCD, (3 << 6) | (0 << 4) | (2 << 2) | 1, 0xEF, 0x10};
  const int inOrder[8] = {0x301, 0x102, 0x203, 0x004, 0x0AB, 0x3CD, 0x1EF, 0x210};
  const int swapped[8] = {0x0AB, 0x3CD, 0x1EF, 0x210, 0x301, 0x102, 0x203, 0x004};

  Bytes report37(22, 0);
  report37[0] = 0x37;
  std::copy(group1, group1 + 5, report37.begin() + 6);
  std::copy(group0, group0 + 5, report37.begin() + 11);
  remote.Feed(report37);
  expectPoints(swapped, "report 0x37");

  Bytes report36(22, 0);
  report36[0] = 0x36;
  std::copy(group0, group0 + 5, report36.begin() + 3);
  std::copy(group1, group1 + 5, report36.begin() + 8);
  remote.Feed(report36);
  expectPoints(inOrder, "report 0x36");

  // Extended format in report 0x33, three bytes a point; FF FF FF is an
  // empty slot and reads (1023, 1023).
  const Bytes report33 = {0x33, 0,    0,    0x80, 0x80, 0x80, 0x23, 0xBC, 0x91,
                          0x01, 0xFF, 0xC5, 0xAA, 0x55, 0x63, 0xFF, 0xFF, 0xFF};
  remote.Feed(report33);
  const int extended[8] = {0x123, 0x2BC, 0x001, 0x3FF, 0x2AA, 0x155, 1023, 1023};
  expectPoints(extended, "report 0x33");
  EXPECT_EQ(remote.device->GetIRPoint(8), 0);
}

TEST(RemoteDecodersTest, NunchukButtonsStickAndAcceleration) {
  ScriptedDevice scripted;
  scripted.Identify(kExtNunchuk, ExtensionImage(kExtNunchuk));
  ktWiiDevice& device = *scripted.device;
  struct Case {
    Bytes ext;
    int buttons;
    float stickX, stickY, accelZ;
  };
  const Case cases[] = {{{0xE0, 0x20, 0x80, 0x80, 0xB3, 0xFC}, 3, 1.0f, -1.0f, 1.0f},
                        {{0x80, 0xF8, 0x80, 0x80, 0x80, 0xFF}, 0, 0.0f, 1.25f, 0.0f},
                        {{0x80, 0x80, 0x80, 0x80, 0x4D, 0xFE}, 1, 0.0f, 0.0f, -1.0f}};
  for (const Case& c : cases) {
    Bytes report(22, 0);
    report[0] = 0x37;
    std::copy(c.ext.begin(), c.ext.end(), report.begin() + 16);
    scripted.Feed(report);
    EXPECT_EQ(device.GetNunchukButtons(), c.buttons);
    EXPECT_EQ(device.GetClassicButtons(), c.buttons);  // the same shared word
    EXPECT_FLOAT_EQ(device.GetNunchukStick(0), c.stickX);
    EXPECT_FLOAT_EQ(device.GetNunchukStick(1), c.stickY);
    EXPECT_FLOAT_EQ(device.GetNunchukAccel(2), c.accelZ);
  }
  EXPECT_EQ(device.GetNunchukStick(2), 0.0f);
  EXPECT_EQ(device.GetNunchukAccel(3), 0.0f);
}

TEST(RemoteDecodersTest, ClassicControllerFullScaleAndRest) {
  ScriptedDevice scripted;
  scripted.Identify(kExtClassic, ExtensionImage(kExtClassic));
  ktWiiDevice& device = *scripted.device;
  auto feed = [&](const Bytes& ext) {
    Bytes report(22, 0);
    report[0] = 0x37;
    std::copy(ext.begin(), ext.end(), report.begin() + 16);
    scripted.Feed(report);
  };
  // All bits set: sticks scale to 252, 252, 248, 248 (each calibration
  // maximum), triggers to 248 of 248, no button pressed.
  feed({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  for (unsigned i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(device.GetClassicAnalog(i), 1.0f) << "analog " << i;
  }
  EXPECT_EQ(device.GetClassicButtons(), 0);
  EXPECT_EQ(device.GetClassicAnalog(6), 0.0f);

  // Centred sticks, released triggers, two buttons pressed (sent inverted).
  feed({0xA0, 0x20, 0x10, 0x00, 0xFF ^ 0x80, 0xFF ^ 0x01});
  for (unsigned i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(device.GetClassicAnalog(i), 0.0f) << "analog " << i;
  }
  EXPECT_EQ(device.GetClassicButtons(), 0x8001);
}

}  // namespace
