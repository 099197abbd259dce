#include "transport/hid_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void AppendReport(Bytes& d, uint8_t id, uint8_t count, uint8_t mainItem) {
  Bytes item = {0x85, id, 0x95, count, 0x09, 0x01, mainItem, 0x00};
  d.insert(d.end(), item.begin(), item.end());
}

// Shaped like the Wii remote's: vendor-page reports of 8-bit fields, one per
// report id, output ids 0x10..0x1A and input ids 0x20..0x3F.
Bytes WiiRemoteLikeDescriptor() {
  Bytes d = {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x06, 0x00,
             0xFF, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};
  const uint8_t outputs[][2] = {{0x10, 1},  {0x11, 1}, {0x12, 2},  {0x13, 1}, {0x14, 1}, {0x15, 1},
                                {0x16, 21}, {0x17, 6}, {0x18, 21}, {0x19, 1}, {0x1A, 1}};
  for (const auto& r : outputs) {
    AppendReport(d, r[0], r[1], 0x91);
  }
  const uint8_t inputs[][2] = {{0x20, 6},  {0x21, 21}, {0x22, 4},  {0x30, 2},  {0x31, 5},
                               {0x32, 10}, {0x33, 17}, {0x34, 21}, {0x35, 21}, {0x36, 21},
                               {0x37, 21}, {0x3D, 21}, {0x3E, 21}, {0x3F, 21}};
  for (const auto& r : inputs) {
    AppendReport(d, r[0], r[1], 0x81);
  }
  d.push_back(0xC0);
  return d;
}

HidReportLengths Parse(const Bytes& d, int* result) {
  HidReportLengths lengths{-1, -1};
  *result = ParseReportDescriptor(d.data(), static_cast<int>(d.size()), &lengths);
  return lengths;
}

TEST(HidDescriptorTest, WiiRemoteLikeDescriptorGives22And22) {
  int ok = 0;
  HidReportLengths lengths = Parse(WiiRemoteLikeDescriptor(), &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(lengths.input, 22);
  EXPECT_EQ(lengths.output, 22);
}

TEST(HidDescriptorTest, FieldsOfOneReportAddUpAndUnnumberedReportsGetAnIdByte) {
  // No report id: 3 x 1-bit buttons, 5 bits padding, 2 x 8-bit axes = 3 bytes.
  Bytes mouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95,
                 0x01, 0x75, 0x05, 0x81, 0x03, 0x95, 0x02, 0x75, 0x08, 0x81, 0x06, 0xC0};
  int ok = 0;
  HidReportLengths lengths = Parse(mouse, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(lengths.input, 4);
  EXPECT_EQ(lengths.output, 0);
}

TEST(HidDescriptorTest, PushAndPopRestoreTheGlobalState) {
  Bytes d = {0x75, 0x08, 0x95, 0x04, 0xA4, 0x95, 0x20, 0x91, 0x00, 0xB4, 0x81, 0x00};
  int ok = 0;
  HidReportLengths lengths = Parse(d, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(lengths.output, 33);
  EXPECT_EQ(lengths.input, 5);
}

TEST(HidDescriptorTest, LongItemsAreSkipped) {
  Bytes d = {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0x81, 0x00};
  int ok = 0;
  HidReportLengths lengths = Parse(d, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(lengths.input, 3);
}

TEST(HidDescriptorTest, MalformedDescriptorsAreRefused) {
  const Bytes cases[] = {
      {},                              // empty
      {0xA1, 0x01, 0xC0},              // no input and no output report
      {0x75, 0x08, 0x95},              // ends inside an item
      {0x75, 0x08, 0x96, 0x01},        // two-byte count cut short
      {0x81, 0x00, 0xFE, 0x05, 0x10},  // long item beyond the end
      {0x81, 0x00, 0xFE},              // long item without its size
  };
  for (const Bytes& d : cases) {
    int ok = -1;
    Parse(d, &ok);
    EXPECT_EQ(ok, 0) << "descriptor of " << d.size() << " bytes";
  }
}

TEST(HidDescriptorTest, HugeCountsAreCappedInsteadOfOverflowing) {
  Bytes d = {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int i = 0; i < 8; ++i) {
    d.push_back(0x91);
    d.push_back(0x00);
  }
  int ok = 0;
  HidReportLengths lengths = Parse(d, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(lengths.output, 65535);
  EXPECT_EQ(lengths.input, 0);
}

}  // namespace
