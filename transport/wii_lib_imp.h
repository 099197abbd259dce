#pragma once

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "transport/hid_binding.h"
#include "transport/wii_lib.h"

class ktWiiDevice;
class ktDeviceChannel;

// The device manager: finds the devices with the wanted vendor and product id
// among the provider's HID devices, opens each through its channel and keeps
// them in a list that only grows. Its I/O thread enumerates, opens, and runs
// every read and write completion (and so every report handler) in one poll
// loop over an exit event, an update event, the provider's change watch and
// the descriptor of every open device. A change the watch reports (a device
// node that appeared or changed its access) counts as an update request.
//
// A device of the wanted ids that the user may not open is retried shortly
// after it was first refused (udev grants access a moment after a node
// appears); one still refused then is counted in RefusedDeviceCount and
// reported once with DebugPrint.
//
// Where the provider says a gone device may stay open and silent (Windows),
// a device that sent nothing for kQuietTime is asked for its status, and
// one that still sent nothing kAnswerTime later is closed; its path is
// looked for again kQuietTime after that, and at every update.
//
// Closing reports go out from the I/O thread as it ends. Release waits for
// it kCloseWait, then cancels whatever set-output-report is under way for
// another kCloseWait; a thread still stuck in the system after that is left
// running with the manager and the modules it uses (the program is ending).
//
// The list is fixed storage of kMaxDevices entries: an entry is written
// before the count that covers it is published (release), and readers load
// the count first (acquire), so the user-interface thread can read the list
// while the I/O thread appends to it.
class ktWiiLibImp final : public ktWiiLib {
 public:
  static constexpr int kMaxDevices = 256;
  static constexpr int kProbeTimeoutMs = 2000;
  static constexpr unsigned kMaxInterfaces = 32;
  static constexpr std::chrono::milliseconds kAccessRetry{1000};
  static constexpr std::chrono::milliseconds kQuietTime{3000};
  static constexpr std::chrono::milliseconds kAnswerTime{2000};
  static constexpr std::chrono::milliseconds kCloseWait{400};
  static constexpr std::chrono::milliseconds kCancelRepeat{20};

  // The provider must outlive the manager.
  explicit ktWiiLibImp(ktHidProvider& provider);
  ~ktWiiLibImp() override;

  void DumpDevices() override;
  void Release() override;
  int GetDeviceCount() override;
  ktWiiLibDevice* GetDevice(unsigned index) override;
  int Start(int vendorId, int productId) override;
  int RequestUpdate() override;

  // Devices of the wanted ids found at the last look that could not be opened
  // for lack of permission. Any thread.
  int RefusedDeviceCount() const { return refusedCount.load(std::memory_order_relaxed); }

 private:
  struct Entry;
  struct Refusal {
    std::string path;
    std::chrono::steady_clock::time_point since;
    bool reported;
  };

  void ThreadMain();
  int WaitAndDeliver(int probeTimeoutMs);
  int WaitTimeout(int probeTimeoutMs) const;
  bool RetryDue() const;
  int SilenceTimeout(std::chrono::steady_clock::time_point now) const;
  bool CheckSilence();
  bool WaitForThread();
  int DeliverWriteCompletions();
  bool AnyProbing();
  bool AnyWriteCompletion();
  void OnTimeout();
  int Enumerate(int vendor, int product);
  // -1 when the path cannot be read (the walk ends), else 1.
  int LookAtInterface(HidDeviceInfoSet* set, HidInterfaceData* data, unsigned index, int vendor,
                      int product);
  bool ProbeDevice(const char* path, int vendor, int product);
  void SettleRefusals();
  void ReOpen(const char* path);
  int AddOpen(const char* path);
  void Shutdown();
  void SendClosingReports();
  int Count() const { return deviceCount.load(std::memory_order_acquire); }

  ktHidProvider& provider;
  Entry* devices[kMaxDevices] = {};
  std::atomic<int> deviceCount{0};
  int vendorId = 0;
  int productId = 0;
  bool modulesBound = false;
  std::thread thread;
  std::promise<void> threadEnded;
  std::atomic<bool> closingCancelled{false};
  bool abandoned = false;
  bool watchSilence = false;
  // I/O thread only: when to look again for devices closed for silence.
  bool silenceRetryPending = false;
  std::chrono::steady_clock::time_point silenceRetryAt;
  int exitEvent = -1;
  int updateEvent = -1;
  int changeWatch = -1;
  // I/O thread only: paths refused in the enumeration under way, and every
  // path refused since an earlier one.
  std::vector<std::string> refusedNow;
  std::vector<Refusal> refusals;
  bool retryPending = false;
  std::chrono::steady_clock::time_point retryAt;
  std::atomic<int> refusedCount{0};
};
