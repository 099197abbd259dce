#include <algorithm>
#include <cstring>

#include "device/output_reports.h"
#include "device/report_layout.h"
#include "device/wii_device.h"
#include "support/trace.h"

namespace {

constexpr uint8_t kStatusExtensionBit = 0x02;
constexpr int kReadReplyDataStart = 6;
constexpr int kReadReplyMaxData = 16;
constexpr uint8_t kPlainExtensionMarker = 0xA4;
// Low address bits of the reads made while identifying a device.
constexpr int kExtensionIdOffset = 0xF0;
constexpr int kRemoteCalibrationOffset = 0x10;
constexpr int kExtMemoryEnd = 0x100;
// The image chunk at this offset is the last of the 256-byte read.
constexpr int kLastImageChunk = 0xF0;
constexpr int kBoardExtensionBytes = 8;
constexpr int kRemoteExtensionBytes = 6;

constexpr int kMaxExtensionBytes = 21;

}  // namespace

void DecodeExtensionBytes(uint8_t* bytes, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    bytes[i] = static_cast<uint8_t>((bytes[i] ^ 0x17) + 0x17);
  }
}

void ktWiiDevice::StoreButtons(const uint8_t* report, int count) {
  if (count >= 3) {
    buttons.store(report[1] * 256 + report[2], std::memory_order_relaxed);
  }
}

void ktWiiDevice::OnIgnoredReport(ktWiiDevice&, const uint8_t*, int) {}

void ktWiiDevice::OnButtonsReport(ktWiiDevice& device, const uint8_t* report, int count) {
  device.StoreButtons(report, count);
  device.KeepReportingMode(report[0]);
}

// Another program on the same device (the kernel's own driver sets its
// reporting mode after every status report) may switch the device to another
// data report. An identified device that reports in a mode it was not asked
// for is asked for its mode again, so the values keep coming.
void ktWiiDevice::KeepReportingMode(uint8_t reportId) {
  const int32_t mode = reportingMode.load(std::memory_order_relaxed);
  if (mode == 0 || reportId == mode || reportId > 0x37 || ReadStateNow() != kReadIdle) {
    return;
  }
  const uint8_t request[3] = {0x12, 0x00, static_cast<uint8_t>(mode)};
  Send(request, 3);
}

// Data reports: each field is decoded only when all of its bytes arrived.
void ktWiiDevice::OnCoreReport(ktWiiDevice& device, const uint8_t* report, int count) {
  device.KeepReportingMode(report[0]);
  const DataReportLayout layout = DataReportLayoutOf(report[0]);
  if (layout.buttons) {
    device.StoreButtons(report, count);
  }
  if (layout.accel != 0 && count >= layout.accel + 3) {
    device.DecodeAccel(report[layout.accel], report[layout.accel + 1], report[layout.accel + 2]);
  }
  if (layout.ir != 0 && count >= layout.ir + layout.irSize) {
    if (layout.irSize == 12) {
      device.DecodeIRExtended(report + layout.ir);
    } else {
      device.DecodeIRBasic(report + layout.ir);
    }
  }
  const int extAvailable = std::min(layout.extSize, count - layout.ext);
  if (layout.ext != 0 && extAvailable > 0) {
    // Decoding transforms the bytes in place; the received report stays as it came.
    uint8_t ext[kMaxExtensionBytes];
    std::memcpy(ext, report + layout.ext, extAvailable);
    device.DecodeExtension(ext, static_cast<unsigned>(extAvailable));
  }
}

void ktWiiDevice::OnStatus(ktWiiDevice& device, const uint8_t* report, int count) {
  device.StoreButtons(report, count);
  if (count >= 4) {
    device.StartIdentification((report[3] & kStatusExtensionBit) != 0);
  }
  if (count >= 7) {
    device.battery.store(report[6], std::memory_order_relaxed);
  }
}

// A status report restarts identification from the beginning, whatever read
// was under way.
void ktWiiDevice::StartIdentification(bool extensionConnected) {
  if (extensionConnected) {
    SendReport(kOutExtInit);
    SetReadState(kReadExtensionId);
    SendReport(kOutReadExtId);
  } else {
    extType.store(kExtNone, std::memory_order_relaxed);
    SetReadState(kReadRemoteCalibration);
    SendReport(kOutReadRemoteCal);
  }
}

void ktWiiDevice::OnReadData(ktWiiDevice& device, const uint8_t* report, int count) {
  device.StoreButtons(report, count);
  if (count < kReadReplyDataStart) {
    return;
  }
  const int dataCount = (report[3] >> 4) + 1;
  const int offset = report[4] * 256 + report[5];
  if ((report[3] & 0x0F) != 0) {
    Trace("ERROR:RecvRead Error\n");
    return;
  }
  const int received = std::min(count - kReadReplyDataStart, kReadReplyMaxData);
  if (received < dataCount) {
    return;  // A truncated reply carries too few data bytes to use.
  }
  uint8_t data[kReadReplyMaxData] = {};
  std::memcpy(data, report + kReadReplyDataStart, received);
  const int32_t state = device.ReadStateNow();
  if (device.ReplyBelongsToRead(state, dataCount, offset)) {
    device.TakeReadReply(state, data, dataCount, offset);
  }
}

// Every reader of the device sees every reply, including the replies to
// reads that another program (such as the kernel's own driver) makes. A reply
// is taken for the read under way only when its address fits that read:
// the identifier block, a whole 16-byte chunk of the image (the last chunk
// ending the image only once an earlier chunk of this read came, so a late
// second identifier reply does not end it), the calibration block, or an
// address inside the caller's read.
bool ktWiiDevice::ReplyBelongsToRead(int32_t state, int count, int offset) const {
  switch (state) {
    case kReadExtensionId:
      return offset == kExtensionIdOffset && count == kReadReplyMaxData;
    case kReadExtensionMemory:
      return count == kReadReplyMaxData && offset % kReadReplyMaxData == 0 &&
             offset < kExtMemoryEnd && (offset < kLastImageChunk || imageChunksTaken > 0);
    case kReadRemoteCalibration:
      return offset == kRemoteCalibrationOffset && count == kReadReplyMaxData;
    case kReadUser: {
      const int start = readStart.load(std::memory_order_relaxed);
      return offset >= start && offset < readDestSize.load(std::memory_order_relaxed);
    }
    default:
      return false;
  }
}

void ktWiiDevice::TakeReadReply(int32_t state, uint8_t* data, int count, int offset) {
  switch (state) {
    case kReadExtensionId:
      TakeExtensionId(data, count);
      break;
    case kReadExtensionMemory:
      TakeExtensionMemory(data, count, offset);
      break;
    case kReadUser:
      TakeUserData(data, count, offset);
      break;
    case kReadRemoteCalibration:
      TakeRemoteCalibration(data, count);
      break;
    default:
      break;
  }
}

void ktWiiDevice::TakeExtensionId(uint8_t* data, int count) {
  const bool encoded = data[12] != kPlainExtensionMarker;
  extEncoded.store(encoded ? 1 : 0, std::memory_order_relaxed);
  if (encoded) {
    DecodeExtensionBytes(data, static_cast<unsigned>(count));
  }
  extType.store(data[14] * 256 + data[15], std::memory_order_relaxed);
  imageChunksTaken = 0;
  SetReadState(kReadExtensionMemory);
  SendReport(kOutReadExtMemory);
}

// Copies the part of [offset, offset + count) that lies inside [0, size).
static void CopyInside(std::atomic<uint8_t>* image, int size, const uint8_t* data, int count,
                       int offset) {
  for (int i = 0; i < count && offset + i < size; ++i) {
    image[offset + i].store(data[i], std::memory_order_relaxed);
  }
}

void ktWiiDevice::TakeExtensionMemory(uint8_t* data, int count, int offset) {
  if (extEncoded.load(std::memory_order_relaxed) != 0) {
    DecodeExtensionBytes(data, static_cast<unsigned>(count));
  }
  CopyInside(extMemory, kExtMemorySize, data, count, offset);
  ++imageChunksTaken;
  if (offset < kLastImageChunk) {
    return;
  }
  if (ExtType() == kExtBalanceBoard) {
    SetReportingMode();
    SetReadState(kReadIdle);
  } else {
    SetReadState(kReadRemoteCalibration);
    SendReport(kOutReadRemoteCal);
  }
}

// A caller read stores each reply at the reply's own low address bits; bytes
// that would fall outside the caller's destination are not stored.
void ktWiiDevice::TakeUserData(uint8_t* data, int count, int offset) {
  uint8_t* dest = readDest.load(std::memory_order_relaxed);
  const int remaining = readRemaining.load(std::memory_order_relaxed);
  if (dest == nullptr || remaining < count) {
    return;
  }
  if (extEncoded.load(std::memory_order_relaxed) != 0) {
    DecodeExtensionBytes(data, static_cast<unsigned>(count));
  }
  const int destSize = readDestSize.load(std::memory_order_relaxed);
  for (int i = 0; i < count && offset + i < destSize; ++i) {
    dest[offset + i] = data[i];
  }
  readRemaining.store(remaining - count, std::memory_order_relaxed);
  if (remaining == count) {
    SetReadState(kReadIdle);
  }
}

void ktWiiDevice::TakeRemoteCalibration(const uint8_t* data, int count) {
  for (int i = 0; i < count; ++i) {
    remoteCalibration[i].store(data[i], std::memory_order_relaxed);
  }
  SetReadState(kReadIdle);
  SetReportingMode();
}

void ktWiiDevice::SendLed(uint8_t leds) {
  const uint8_t report[2] = {0x11, leds};
  Send(report, 2);
}

void ktWiiDevice::SetReportingMode() {
  const int type = ExtType();
  const uint8_t playerLed = static_cast<uint8_t>(0x10 << (GetIndex() & 3));
  if (type == kExtBalanceBoard) {
    SendLed(0x10);  // The board's only LED.
    SendReport(kOutMode32);
  } else if (type == kExtNunchuk || type == kExtClassic) {
    EnableIR(kIrModeBasic);
    SendLed(playerLed);
    SendReport(kOutMode37);
  } else {
    EnableIR(kIrModeExtended);
    SendLed(playerLed);
    SendReport(kOutMode33);
  }
}

void ktWiiDevice::EnableIR(uint8_t irMode) {
  SendReport(kOutIrOn);
  SendReport(kOutIr2On);
  SendReport(kOutIrEnableReg);
  SendReport(kOutIrSensitivity1);
  SendReport(kOutIrSensitivity2);
  OutputReport<22> mode = kOutIrMode;
  mode[kIrModeByte] = irMode;
  SendReport(mode);
}

void ktWiiDevice::DecodeExtension(uint8_t* bytes, unsigned count) {
  if (extEncoded.load(std::memory_order_relaxed) != 0) {
    DecodeExtensionBytes(bytes, count);
  }
  switch (ExtType()) {
    case kExtBalanceBoard:
      if (count >= kBoardExtensionBytes) {
        DecodeBoard(bytes[0] * 256 + bytes[1], bytes[2] * 256 + bytes[3], bytes[4] * 256 + bytes[5],
                    bytes[6] * 256 + bytes[7]);
      }
      break;
    case kExtNunchuk:
      if (count >= kRemoteExtensionBytes) {
        DecodeNunchuk(bytes);
      }
      break;
    case kExtClassic:
      if (count >= kRemoteExtensionBytes) {
        DecodeClassic(bytes);
      }
      break;
    default:
      break;
  }
}

// Starts a caller read of size bytes. Replies are stored at their own low 16
// address bits, so dest must hold (address & 0xFFFF) + size bytes. A size
// that the 16-bit request cannot carry, or no destination, is refused: such a
// read could never complete and would leave the device busy.
int ktWiiDevice::ReadMemory(uint32_t spaceAndAddress, uint8_t* dest, int size) {
  if (dest == nullptr || size <= 0 || size > 0xFFFF || ReadStateNow() != kReadIdle) {
    return 0;
  }
  readDest.store(dest, std::memory_order_relaxed);
  const int32_t start = static_cast<int32_t>(spaceAndAddress & 0xFFFF);
  readStart.store(start, std::memory_order_relaxed);
  readDestSize.store(start + size, std::memory_order_relaxed);
  readRemaining.store(size, std::memory_order_relaxed);
  SetReadState(kReadUser);
  const uint8_t request[7] = {0x17,
                              static_cast<uint8_t>(spaceAndAddress >> 24),
                              static_cast<uint8_t>(spaceAndAddress >> 16),
                              static_cast<uint8_t>(spaceAndAddress >> 8),
                              static_cast<uint8_t>(spaceAndAddress),
                              static_cast<uint8_t>(size >> 8),
                              static_cast<uint8_t>(size)};
  Send(request, 7);
  return 1;
}

const ReportHandler ReportHandlerTable[32] = {
    ktWiiDevice::OnStatus,        ktWiiDevice::OnReadData,       // 0x20, 0x21
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x22, 0x23
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x24, 0x25
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x26, 0x27
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x28, 0x29
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x2A, 0x2B
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x2C, 0x2D
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x2E, 0x2F
    ktWiiDevice::OnButtonsReport, ktWiiDevice::OnCoreReport,     // 0x30, 0x31
    ktWiiDevice::OnCoreReport,    ktWiiDevice::OnCoreReport,     // 0x32, 0x33
    ktWiiDevice::OnCoreReport,    ktWiiDevice::OnCoreReport,     // 0x34, 0x35
    ktWiiDevice::OnCoreReport,    ktWiiDevice::OnCoreReport,     // 0x36, 0x37
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x38, 0x39
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnIgnoredReport,  // 0x3A, 0x3B
    ktWiiDevice::OnIgnoredReport, ktWiiDevice::OnCoreReport,     // 0x3C, 0x3D
    ktWiiDevice::OnButtonsReport, ktWiiDevice::OnButtonsReport,  // 0x3E, 0x3F
};
