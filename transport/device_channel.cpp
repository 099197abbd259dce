#include "transport/device_channel.h"

#include <algorithm>
#include <cstring>

#include "device/wii_device.h"
#include "support/trace.h"
#include "transport/io_system.h"

namespace {

constexpr int kFirstHandledId = 0x20;
constexpr int kLastHandledId = 0x3F;

}  // namespace

ktDeviceChannel::ktDeviceChannel(ktHidProvider& provider, ktWiiDevice& device)
    : provider(provider), device(device) {
  device.SetPort(this);
}

ktDeviceChannel::~ktDeviceChannel() {
  Close();
  device.SetPort(nullptr);
}

int ktDeviceChannel::Open(const char* newPath, int newListIndex) {
  Close();
  SetPath(newPath);
  listIndex = newListIndex;
  HidHandle opened = provider.OpenDevice(newPath, 1);
  if (opened == kHidInvalidHandle) {
    return 0;
  }
  if (!TakeCaps(opened)) {
    return 0;
  }
  Trace("Send Read OutLen=%d", outputReportLength);
  device.SetInputReportLength(inputReportLength);
  channelFlags.fetch_or(kChannelOpened, std::memory_order_relaxed);
  lastReport = std::chrono::steady_clock::now();
  device.OnOpened(listIndex);
  PostRead();
  return 1;
}

// Reads the report lengths and sizes the buffers; on failure the device is
// closed again.
int ktDeviceChannel::TakeCaps(HidHandle opened) {
  std::lock_guard lock(mutex);
  handle.store(opened, std::memory_order_release);
  if (!HidD_GetPreparsedData(opened, &preparsedData)) {
    CloseFileLocked();
    return 0;
  }
  HidCaps caps{};
  // A device must carry at least a report id each way; anything shorter
  // would leave nothing to read into or to send.
  if (HidP_GetCaps(preparsedData, &caps) == 0 || caps.inputReportByteLength < 1 ||
      caps.outputReportByteLength < 1) {
    CloseFileLocked();
    return 0;
  }
  Trace("US=%d", 2);
  inputReportLength = caps.inputReportByteLength;
  outputReportLength = caps.outputReportByteLength;
  IoSetReportSize(opened, inputReportLength);
  readBuffer = std::make_unique<uint8_t[]>(static_cast<size_t>(inputReportLength));
  wholeReport = std::make_unique<uint8_t[]>(static_cast<size_t>(outputReportLength));
  queueEntrySize = outputReportLength;
  queueCapacity = kQueueCapacity;
  queueStorage = std::make_unique<uint8_t[]>(static_cast<size_t>(queueCapacity) * queueEntrySize);
  return 1;
}

void ktDeviceChannel::Close() {
  std::lock_guard lock(mutex);
  path.reset();
  CloseFileLocked();
  queueStorage.reset();
  readBuffer.reset();
  wholeReport.reset();
}

void ktDeviceChannel::CloseFile() {
  std::lock_guard lock(mutex);
  CloseFileLocked();
}

void ktDeviceChannel::CloseFileLocked() {
  HidHandle held = handle.exchange(kHidInvalidHandle, std::memory_order_acq_rel);
  if (held != kHidInvalidHandle) {
    IoClose(held);
  }
  if (preparsedData != nullptr) {
    HidD_FreePreparsedData(preparsedData);
    preparsedData = nullptr;
  }
  readPosted = false;
}

void ktDeviceChannel::SetPath(const char* newPath) {
  size_t length = std::strlen(newPath) + 1;
  auto copy = std::make_unique<char[]>(length);
  std::memcpy(copy.get(), newPath, length);
  std::lock_guard lock(mutex);
  path = std::move(copy);
}

void ktDeviceChannel::PostRead() {
  if (handle.load(std::memory_order_acquire) == kHidInvalidHandle) {
    return;
  }
  readPosted = true;
}

int ktDeviceChannel::IsOpen() {
  return handle.load(std::memory_order_acquire) != kHidInvalidHandle ? 1 : 0;
}

int ktDeviceChannel::ReadDescriptor() const {
  return readPosted ? handle.load(std::memory_order_acquire) : kHidInvalidHandle;
}

int ktDeviceChannel::OnReadReady(bool hungUp) {
  HidHandle held = ReadDescriptor();
  if (held == kHidInvalidHandle) {
    return 0;
  }
  int count = 0;
  IoResult result = IoRead(held, readBuffer.get(), inputReportLength, &count);
  if (result == IoResult::kWouldBlock && !hungUp) {
    return 0;  // nothing there after all; the read stays outstanding
  }
  readPosted = false;
  if (result != IoResult::kDone) {
    // The device is gone (end of file, EIO after removal): the next read
    // cannot be posted. A failed read carries no report, so nothing is
    // handed on; the decoded values stay as they were.
    CloseFile();
    return 1;
  }
  lastReport = std::chrono::steady_clock::now();
  int id = readBuffer[0];
  if (id >= kFirstHandledId && id <= kLastHandledId) {
    device.OnInputReport(readBuffer.get(), count);
  }
  PostRead();
  return 1;
}

void ktDeviceChannel::Send(const uint8_t* report, int length) {
  std::lock_guard lock(mutex);
  HidHandle held = handle.load(std::memory_order_acquire);
  if (held == kHidInvalidHandle || length < 1) {
    return;
  }
  if (GetFlags() & kChannelWriteFile) {
    QueueWriteLocked(report, length);
    return;
  }
  if (SetOutputReportLocked(held, report, length)) {
    lastSetOutputError = 0;
    return;
  }
  // A device or driver that never takes set-output-report says so, or fails
  // the same way again; anything else (a board briefly out of reach) costs
  // only this report.
  int error = HidGetLastError();
  bool lasting = error == kHidErrorInvalidFunction || error == lastSetOutputError;
  lastSetOutputError = error;
  if (!lasting) {
    Trace("ERROR:SetOutputReport %d", error);
    return;
  }
  SwitchToWritesLocked();
  QueueWriteLocked(report, length);
}

// Where the device takes only whole reports, a shorter one goes out padded
// with zeros.
int ktDeviceChannel::SetOutputReportLocked(HidHandle held, const uint8_t* report, int length) {
  if (!provider.WholeOutputReports() || length >= outputReportLength) {
    return HidD_SetOutputReport(held, report, static_cast<uint32_t>(length));
  }
  std::memset(wholeReport.get(), 0, static_cast<size_t>(outputReportLength));
  std::memcpy(wholeReport.get(), report, static_cast<size_t>(length));
  return HidD_SetOutputReport(held, wholeReport.get(), static_cast<uint32_t>(outputReportLength));
}

void ktDeviceChannel::SwitchToWritesLocked() {
  int flags = GetFlags();
  channelFlags.store((flags & ~(kChannelOpened | kChannelProbing)) | kChannelWriteFile,
                     std::memory_order_relaxed);
}

int ktDeviceChannel::SwitchToWritesOnTimeout() {
  std::lock_guard lock(mutex);
  int flags = GetFlags();
  if ((flags & kChannelOpened) == 0 || (flags & kChannelWriteFile) != 0) {
    return 0;
  }
  SwitchToWritesLocked();
  return 1;
}

void ktDeviceChannel::QueueWriteLocked(const uint8_t* report, int length) {
  int slotIndex = queueHead;
  int next = slotIndex + 1 >= queueCapacity ? 0 : slotIndex + 1;
  if (next == queueTail) {
    Trace("ERROR:SendQueue Overflow");
    return;
  }
  uint8_t* slot = queueStorage.get() + static_cast<size_t>(slotIndex) * queueEntrySize;
  queueHead = next;
  // A report longer than a slot is cut to the device's output length; a
  // shorter one is padded with zeros, never with an earlier report's bytes.
  int copied = std::min(length, queueEntrySize);
  std::memcpy(slot, report, static_cast<size_t>(copied));
  std::memset(slot + copied, 0, static_cast<size_t>(queueEntrySize - copied));
  if (IoWrite(handle.load(std::memory_order_relaxed), slot, outputReportLength) !=
      IoResult::kDone) {
    int error = IoLastError();
    Trace("ERROR:WriteFileEx %x %d\n", error, error);
    queueHead = slotIndex;  // no completion will come for it: the slot is free again
    return;
  }
  pendingWriteCompletions.fetch_add(1, std::memory_order_release);
}

int ktDeviceChannel::PendingWriteCompletions() const {
  return pendingWriteCompletions.load(std::memory_order_acquire);
}

void ktDeviceChannel::OnWriteComplete() {
  std::lock_guard lock(mutex);
  if (pendingWriteCompletions.load(std::memory_order_relaxed) > 0) {
    pendingWriteCompletions.fetch_sub(1, std::memory_order_relaxed);
  }
  if (queueTail != queueHead) {
    queueTail = queueTail + 1 >= queueCapacity ? 0 : queueTail + 1;
  }
}

int ktDeviceChannel::GetQueueHead() const {
  std::lock_guard lock(mutex);
  return queueHead;
}

int ktDeviceChannel::GetQueueTail() const {
  std::lock_guard lock(mutex);
  return queueTail;
}
