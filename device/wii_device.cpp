#include "device/wii_device.h"

#include "device/output_reports.h"

void ktWiiDevice::OnOpened(int listIndex) {
  this->listIndex.store(listIndex, std::memory_order_relaxed);
  extType.store(kExtNone, std::memory_order_relaxed);
  SendReport(kOutLedsOff);
  SendReport(kOutStatusRequest);
}

void ktWiiDevice::OnInputReport(const uint8_t* report, int count) {
  if (report == nullptr || count < 1) {
    return;
  }
  const int id = report[0];
  if (id < 0x20 || id > 0x3F) {
    return;
  }
  ReportHandlerTable[id - 0x20](*this, report, ReceivedLength(count));
}

// The bytes a handler may use: what was received, never more than the
// device's declared input report length.
int ktWiiDevice::ReceivedLength(int count) const {
  const int declared = inputReportLength.load(std::memory_order_relaxed);
  return declared > 0 && declared < count ? declared : count;
}

int ktWiiDevice::IsOpen() {
  ktReportPort* current = port.load(std::memory_order_acquire);
  return current != nullptr && current->IsOpen() ? 1 : 0;
}

int ktWiiDevice::GetIndex() {
  return listIndex.load(std::memory_order_relaxed);
}

void ktWiiDevice::Send(const uint8_t* report, int length) {
  if (length >= 3 && report[0] == kOutModeButtons[0]) {
    reportingMode.store(report[2], std::memory_order_relaxed);
  }
  ktReportPort* current = port.load(std::memory_order_acquire);
  if (current != nullptr) {
    current->Send(report, length);
  }
}

int ktWiiDevice::GetReadState() {
  return ReadStateNow();
}

void ktWiiDevice::GetExtensionMemory(uint8_t* dest) {
  for (int i = 0; i < kExtMemorySize; ++i) {
    dest[i] = ExtMemoryByte(i);
  }
}

int ktWiiDevice::GetExtensionType() {
  return ExtType();
}

int ktWiiDevice::GetBattery() {
  return battery.load(std::memory_order_relaxed);
}

int ktWiiDevice::GetButtons() {
  return buttons.load(std::memory_order_relaxed);
}
