#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/report_port.h"
#include "transport/hid_binding.h"

class ktWiiDevice;

// How a channel's output goes (channelFlags).
inline constexpr int kChannelWriteFile = 1;  // writes through the SendQueue, for good
inline constexpr int kChannelOpened = 2;     // opened on set-output-report
inline constexpr int kChannelProbing = 4;    // output path not settled yet

// The open HID device of one ktWiiDevice and the means to move its reports.
//
// One read is outstanding while the device is open: the device manager's I/O
// loop waits on ReadDescriptor(), and when it is readable OnReadReady() reads
// one report, hands it to the device and posts the next read. Output goes by
// set-output-report until that fails for good (the device refuses the call,
// or the same failure comes twice in a row) or the manager's probe time-out
// switches the channel to writes; then every report is copied into a slot of
// the 32-slot SendQueue, padded with zeros and written whole
// (outputReportLength bytes). Each
// accepted write leaves one write completion that the I/O loop delivers with
// OnWriteComplete(), which frees the oldest slot.
//
// Everything runs on the I/O thread except IsOpen from the user-interface
// thread and a test's own calls; a per-channel mutex guards the output path.
class ktDeviceChannel final : public ktReportPort {
 public:
  static constexpr int kQueueCapacity = 32;

  // Becomes the device's port.
  ktDeviceChannel(ktHidProvider& provider, ktWiiDevice& device);
  ~ktDeviceChannel();
  ktDeviceChannel(const ktDeviceChannel&) = delete;
  ktDeviceChannel& operator=(const ktDeviceChannel&) = delete;

  // Opens path (closing first), sends the opening reports through the device
  // and posts the first read. 1 on success; on failure the channel keeps the
  // path and the index, closed, without buffers.
  int Open(const char* path, int listIndex);
  // Frees the path and the buffers and closes the device; repeatable.
  void Close();
  // Closes the device only; buffers and flags stay.
  void CloseFile();
  void SetPath(const char* path);
  void PostRead();

  // ktReportPort.
  int IsOpen() override;
  void Send(const uint8_t* report, int length) override;

  // I/O loop: the descriptor to wait on while a read is outstanding (-1 when
  // none), the read completing, and the write completions waiting.
  int ReadDescriptor() const;
  // 1 when a read completed (a report arrived or the device went away).
  int OnReadReady(bool hungUp);
  int PendingWriteCompletions() const;
  void OnWriteComplete();

  // The probe time-out: a channel opened on set-output-report switches to
  // writes. 1 when it switched.
  int SwitchToWritesOnTimeout();

  // When the open device last delivered a report (or was opened). I/O thread.
  std::chrono::steady_clock::time_point LastReportTime() const { return lastReport; }
  HidHandle Handle() const { return handle.load(std::memory_order_acquire); }

  const char* GetPath() const { return path.get(); }
  int GetFlags() const { return channelFlags.load(std::memory_order_relaxed); }
  int GetListIndex() const { return listIndex; }
  int GetInputReportLength() const { return inputReportLength; }
  int GetOutputReportLength() const { return outputReportLength; }
  int GetQueueHead() const;
  int GetQueueTail() const;

 private:
  void CloseFileLocked();
  void SwitchToWritesLocked();
  void QueueWriteLocked(const uint8_t* report, int length);
  int SetOutputReportLocked(HidHandle held, const uint8_t* report, int length);
  int TakeCaps(HidHandle handle);

  ktHidProvider& provider;
  ktWiiDevice& device;
  mutable std::mutex mutex;

  std::unique_ptr<char[]> path;
  std::atomic<HidHandle> handle{kHidInvalidHandle};
  HidPreparsedData* preparsedData = nullptr;
  int inputReportLength = 0;
  int outputReportLength = 0;
  std::unique_ptr<uint8_t[]> readBuffer;
  std::unique_ptr<uint8_t[]> wholeReport;  // a short report padded for set-output-report
  int lastSetOutputError = 0;              // of the last send, 0 when it went through
  int listIndex = 0;
  std::atomic<int> channelFlags{kChannelProbing};
  bool readPosted = false;
  std::chrono::steady_clock::time_point lastReport;
  std::unique_ptr<uint8_t[]> queueStorage;
  int queueCapacity = kQueueCapacity;
  int queueEntrySize = 0;
  int queueHead = 0;
  int queueTail = 0;
  std::atomic<int> pendingWriteCompletions{0};
};
