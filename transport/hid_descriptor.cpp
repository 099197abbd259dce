#include "transport/hid_descriptor.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kItemTypeMain = 0;
constexpr int kItemTypeGlobal = 1;

constexpr int kMainInput = 0x8;
constexpr int kMainOutput = 0x9;

constexpr int kGlobalReportSize = 0x7;
constexpr int kGlobalReportId = 0x8;
constexpr int kGlobalReportCount = 0x9;
constexpr int kGlobalPush = 0xA;
constexpr int kGlobalPop = 0xB;

constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr int kReportIds = 256;
constexpr int kStackDepth = 8;
// Caps the bit count of one report so that no sum can overflow; far beyond
// anything a HID report can carry.
constexpr int64_t kMaxReportBits = int64_t{1} << 32;

struct GlobalState {
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  int reportId = 0;
};

struct ParserState {
  GlobalState global;
  GlobalState stack[kStackDepth];
  int depth = 0;
  int64_t inputBits[kReportIds] = {};
  int64_t outputBits[kReportIds] = {};
  bool seenInput = false;
  bool seenOutput = false;
};

uint32_t ItemData(const uint8_t* data, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = (value << 8) | data[i];
  }
  return value;
}

void AddBits(int64_t* bits, const GlobalState& g) {
  // Two 32-bit factors always fit an unsigned 64-bit product.
  uint64_t added = uint64_t{g.reportSize} * g.reportCount;
  uint64_t capped = std::min<uint64_t>(added, kMaxReportBits);
  bits[g.reportId] = std::min(bits[g.reportId] + static_cast<int64_t>(capped), kMaxReportBits);
}

void ApplyGlobal(ParserState& s, int tag, uint32_t value) {
  switch (tag) {
    case kGlobalReportSize:
      s.global.reportSize = value;
      break;
    case kGlobalReportCount:
      s.global.reportCount = value;
      break;
    case kGlobalReportId:
      s.global.reportId = static_cast<int>(value & 0xFF);
      break;
    case kGlobalPush:
      if (s.depth < kStackDepth) {
        s.stack[s.depth++] = s.global;
      }
      break;
    case kGlobalPop:
      if (s.depth > 0) {
        s.global = s.stack[--s.depth];
      }
      break;
    default:
      break;
  }
}

void ApplyMain(ParserState& s, int tag) {
  if (tag == kMainInput) {
    AddBits(s.inputBits, s.global);
    s.seenInput = true;
  } else if (tag == kMainOutput) {
    AddBits(s.outputBits, s.global);
    s.seenOutput = true;
  }
}

int LargestReportBytes(const int64_t* bits) {
  int64_t largest = *std::max_element(bits, bits + kReportIds);
  int64_t bytes = (largest + 7) / 8 + 1;  // the report-id byte
  return static_cast<int>(std::min<int64_t>(bytes, UINT16_MAX));
}

}  // namespace

int ParseReportDescriptor(const uint8_t* bytes, int size, HidReportLengths* lengths) {
  ParserState state;
  int at = 0;
  while (at < size) {
    uint8_t prefix = bytes[at];
    if (prefix == kLongItemPrefix) {
      if (at + 1 >= size) {
        return 0;
      }
      at += 3 + bytes[at + 1];  // prefix, data size, long tag, data
      continue;
    }
    int dataSize = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
    if (at + 1 + dataSize > size) {
      return 0;
    }
    uint32_t value = ItemData(bytes + at + 1, dataSize);
    int type = (prefix >> 2) & 0x3;
    int tag = prefix >> 4;
    if (type == kItemTypeGlobal) {
      ApplyGlobal(state, tag, value);
    } else if (type == kItemTypeMain) {
      ApplyMain(state, tag);
    }
    at += 1 + dataSize;
  }
  if (at != size || (!state.seenInput && !state.seenOutput)) {
    return 0;
  }
  lengths->input = state.seenInput ? LargestReportBytes(state.inputBits) : 0;
  lengths->output = state.seenOutput ? LargestReportBytes(state.outputBits) : 0;
  return 1;
}
