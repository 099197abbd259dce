#include "sim/sim_device.h"

#include <algorithm>

#include "device/report_layout.h"

namespace {

constexpr int kReadChunk = 16;
constexpr uint8_t kReadErrorCode = 0x07;
constexpr uint32_t kExtensionRegisters = 0xA40000;

// Extended IR format: x low, y low, then the high bits of y and x over a
// spot size of 1.
void PutIrExtended(const int (&ir)[4][2], uint8_t* out) {
  for (int p = 0; p < 4; ++p) {
    const int x = ir[p][0];
    const int y = ir[p][1];
    out[3 * p] = static_cast<uint8_t>(x);
    out[3 * p + 1] = static_cast<uint8_t>(y);
    const int size = (x == 1023 && y == 1023) ? 0x0F : 0x01;
    out[3 * p + 2] = static_cast<uint8_t>(((y >> 8) & 3) << 6 | ((x >> 8) & 3) << 4 | size);
  }
}

// Basic IR format: two points per five bytes, their high bits sharing the
// middle byte.
void PutIrBasic(const int (&ir)[4][2], uint8_t* out) {
  for (int group = 0; group < 2; ++group) {
    const int* a = ir[2 * group];
    const int* b = ir[2 * group + 1];
    uint8_t* o = out + 5 * group;
    o[0] = static_cast<uint8_t>(a[0]);
    o[1] = static_cast<uint8_t>(a[1]);
    o[2] = static_cast<uint8_t>(((a[1] >> 8) & 3) << 6 | ((a[0] >> 8) & 3) << 4 |
                                ((b[1] >> 8) & 3) << 2 | ((b[0] >> 8) & 3));
    o[3] = static_cast<uint8_t>(b[0]);
    o[4] = static_cast<uint8_t>(b[1]);
  }
}

}  // namespace

uint8_t EncodeExtensionByte(uint8_t plain) {
  return static_cast<uint8_t>(static_cast<uint8_t>(plain - 0x17) ^ 0x17);
}

void SimDevice::SetReportSink(ReportSink newSink) {
  std::lock_guard<std::mutex> lock(mutex);
  sink = std::move(newSink);
}

void SimDevice::Emit(const std::vector<Report>& reports) {
  ReportSink target;
  {
    std::lock_guard<std::mutex> lock(mutex);
    target = sink;
  }
  if (!target) {
    return;
  }
  for (const Report& report : reports) {
    target(report.data(), static_cast<int>(report.size()));
  }
}

void SimDevice::HandleOutput(const uint8_t* report, int length) {
  if (report == nullptr || length < 1) {
    return;
  }
  std::vector<Report> replies;
  {
    std::lock_guard<std::mutex> lock(mutex);
    outputLog.emplace_back(report, report + length);
    HandleOutputLocked(report, length, replies);
  }
  Emit(replies);
}

void SimDevice::HandleOutputLocked(const uint8_t* report, int length, std::vector<Report>& out) {
  switch (report[0]) {
    case 0x11:
      if (length >= 2) {
        leds = report[1] & 0xF0;
      }
      break;
    case 0x12:
      if (length >= 3) {
        reportingMode = report[2];
        AppendDataReportLocked(out);
      }
      break;
    case 0x13:
      if (length >= 2) {
        irClock = (report[1] & 0x04) != 0;
      }
      break;
    case 0x1A:
      if (length >= 2) {
        irCamera = (report[1] & 0x04) != 0;
      }
      break;
    case 0x15:
      AppendStatusLocked(out);
      break;
    case 0x16:
      if (length >= 22) {
        WriteMemoryLocked(report, out);
      }
      break;
    case 0x17:
      if (length >= 7) {
        AppendReadRepliesLocked(report, out);
      }
      break;
    default:
      break;
  }
}

void SimDevice::AppendStatusLocked(std::vector<Report>& out) const {
  const InputState state = InputStateLocked();
  uint8_t flags = static_cast<uint8_t>(leds);
  if (ExtensionConnectedLocked()) {
    flags |= 0x02;
  }
  if (irClock && irCamera) {
    flags |= 0x08;
  }
  out.push_back({0x20, static_cast<uint8_t>(state.buttons >> 8),
                 static_cast<uint8_t>(state.buttons), flags, 0x00, 0x00,
                 static_cast<uint8_t>(battery)});
}

uint8_t SimDevice::WireByteLocked(uint8_t space, uint32_t address) const {
  const auto found = memory.find(Key(space, address));
  const uint8_t plain = found == memory.end() ? 0 : found->second;
  const bool extensionRegister =
      space == kSpaceRegisters && (address & 0xFFFF00) == kExtensionRegisters;
  return encoded && extensionRegister ? EncodeExtensionByte(plain) : plain;
}

void SimDevice::AppendReadRepliesLocked(const uint8_t* request, std::vector<Report>& out) const {
  const InputState state = InputStateLocked();
  const uint8_t space = request[1] & kSpaceRegisters;
  const uint32_t address = (request[2] << 16) | (request[3] << 8) | request[4];
  const int size = (request[5] << 8) | request[6];
  const uint8_t hi = static_cast<uint8_t>(state.buttons >> 8);
  const uint8_t lo = static_cast<uint8_t>(state.buttons);
  if (errorReplies) {
    out.push_back(Report(22, 0));
    Report& reply = out.back();
    reply[0] = 0x21;
    reply[1] = hi;
    reply[2] = lo;
    reply[3] = kReadErrorCode;
    reply[4] = static_cast<uint8_t>(address >> 8);
    reply[5] = static_cast<uint8_t>(address);
    return;
  }
  for (int done = 0; done < size; done += kReadChunk) {
    const int count = std::min(kReadChunk, size - done);
    const uint32_t chunkAddress = address + static_cast<uint32_t>(done);
    Report reply(22, 0);
    reply[0] = 0x21;
    reply[1] = hi;
    reply[2] = lo;
    reply[3] = static_cast<uint8_t>((count - 1) << 4);
    reply[4] = static_cast<uint8_t>(chunkAddress >> 8);
    reply[5] = static_cast<uint8_t>(chunkAddress);
    for (int i = 0; i < count; ++i) {
      reply[6 + i] = WireByteLocked(space, chunkAddress + static_cast<uint32_t>(i));
    }
    out.push_back(std::move(reply));
  }
}

void SimDevice::WriteMemoryLocked(const uint8_t* request, std::vector<Report>& out) {
  const uint8_t space = request[1] & kSpaceRegisters;
  const uint32_t address = (request[2] << 16) | (request[3] << 8) | request[4];
  const int count = std::min<int>(request[5], 16);
  for (int i = 0; i < count; ++i) {
    memory[Key(space, address + static_cast<uint32_t>(i))] = request[6 + i];
  }
  const InputState state = InputStateLocked();
  out.push_back({0x22, static_cast<uint8_t>(state.buttons >> 8),
                 static_cast<uint8_t>(state.buttons), 0x16, 0x00});
}

void SimDevice::AppendDataReportLocked(std::vector<Report>& out) const {
  const DataReportLayout layout = DataReportLayoutOf(static_cast<uint8_t>(reportingMode));
  if (layout.length == 0) {
    return;
  }
  const InputState state = InputStateLocked();
  Report report(static_cast<std::size_t>(layout.length), 0);
  report[0] = static_cast<uint8_t>(reportingMode);
  if (layout.buttons) {
    report[1] = static_cast<uint8_t>(state.buttons >> 8);
    report[2] = static_cast<uint8_t>(state.buttons);
  }
  if (layout.accel != 0) {
    std::copy(state.accel, state.accel + 3, report.begin() + layout.accel);
  }
  if (layout.irSize == 12) {
    PutIrExtended(state.ir, report.data() + layout.ir);
  } else if (layout.irSize == 10) {
    PutIrBasic(state.ir, report.data() + layout.ir);
  }
  for (int i = 0; i < layout.extSize; ++i) {
    const uint8_t plain = state.extension[i];
    report[layout.ext + i] = encoded ? EncodeExtensionByte(plain) : plain;
  }
  out.push_back(std::move(report));
}

void SimDevice::SetErrorReplies(bool on) {
  std::lock_guard<std::mutex> lock(mutex);
  errorReplies = on;
}

void SimDevice::SendStatus() {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lock(mutex);
    AppendStatusLocked(reports);
  }
  Emit(reports);
}

void SimDevice::ResendData() {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> lock(mutex);
    AppendDataReportLocked(reports);
  }
  Emit(reports);
}

void SimDevice::SetBattery(int level) {
  std::lock_guard<std::mutex> lock(mutex);
  battery = level;
}

int SimDevice::ReportingMode() const {
  std::lock_guard<std::mutex> lock(mutex);
  return reportingMode;
}

int SimDevice::Leds() const {
  std::lock_guard<std::mutex> lock(mutex);
  return leds;
}

bool SimDevice::IrEnabled() const {
  std::lock_guard<std::mutex> lock(mutex);
  return irClock && irCamera;
}

std::vector<SimDevice::Report> SimDevice::OutputLog() const {
  std::lock_guard<std::mutex> lock(mutex);
  return outputLog;
}

void SimDevice::ClearOutputLog() {
  std::lock_guard<std::mutex> lock(mutex);
  outputLog.clear();
}

uint8_t SimDevice::MemoryByte(uint8_t space, uint32_t address) const {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = memory.find(Key(space, address));
  return found == memory.end() ? 0 : found->second;
}

void SimDevice::SetMemoryByte(uint8_t space, uint32_t address, uint8_t value) {
  std::lock_guard<std::mutex> lock(mutex);
  memory[Key(space, address)] = value;
}
