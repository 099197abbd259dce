#include "transport/wii_lib_imp.h"

#include <errno.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "device/output_reports.h"
#include "device/wii_device.h"
#include "support/trace.h"
#include "transport/device_channel.h"
#include "transport/hid_system.h"
#include "transport/io_system.h"

namespace {

constexpr uint32_t kEnumerateFlags = kSetupPresent | kSetupAllClasses | kSetupDeviceInterface;
// A path longer than this is not a device path; such an interface is skipped.
constexpr uint32_t kMaxDetailSize = 4096;

template <std::size_t N>
void SendReport(ktWiiDevice& device, const OutputReport<N>& report) {
  device.Send(report.data(), static_cast<int>(N));
}

bool Contains(const std::vector<std::string>& paths, const std::string& path) {
  return std::find(paths.begin(), paths.end(), path) != paths.end();
}

int MillisecondsUntil(std::chrono::steady_clock::time_point when,
                      std::chrono::steady_clock::time_point now) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(when - now);
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// The shorter of two time-outs, where -1 waits without limit.
int Sooner(int a, int b) {
  return a < 0 ? b : b < 0 ? a : std::min(a, b);
}

}  // namespace

struct ktWiiLibImp::Entry {
  explicit Entry(ktHidProvider& provider) : channel(provider, device) {}
  ktWiiDevice device;
  ktDeviceChannel channel;
  // I/O thread only: a status request went to the quiet device at askedAt.
  bool asked = false;
  std::chrono::steady_clock::time_point askedAt;
};

ktWiiLibImp::ktWiiLibImp(ktHidProvider& provider) : provider(provider) {}

ktWiiLibImp::~ktWiiLibImp() {
  Shutdown();
}

ktWiiLib* CreateWiiLibOn(ktHidProvider& provider) {
  return new ktWiiLibImp(provider);
}

ktWiiLib* CreateWiiLib() {
  return CreateWiiLibOn(SystemHidProvider());
}

int CountRefusedDevices(ktWiiLib* lib) {
  auto* imp = dynamic_cast<ktWiiLibImp*>(lib);
  return imp != nullptr ? imp->RefusedDeviceCount() : 0;
}

// A manager whose I/O thread had to be left running stays with it.
void ktWiiLibImp::Release() {
  Shutdown();
  if (!abandoned) {
    delete this;
  }
}

int ktWiiLibImp::GetDeviceCount() {
  return Count();
}

ktWiiLibDevice* ktWiiLibImp::GetDevice(unsigned index) {
  return index < static_cast<unsigned>(Count()) ? &devices[index]->device : nullptr;
}

void ktWiiLibImp::DumpDevices() {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    const ktDeviceChannel& channel = devices[i]->channel;
    Trace("%s\n", channel.GetPath() != nullptr ? channel.GetPath() : "");
    Trace("%d %d\n", channel.GetInputReportLength(), channel.GetOutputReportLength());
  }
}

int ktWiiLibImp::Start(int vendor, int product) {
  if (thread.joinable()) {
    return 0;
  }
  modulesBound = InitModule(provider) != 0;
  if (!modulesBound) {
    Trace("ERROR: InitModule\n");
  }
  vendorId = vendor;
  productId = product;
  exitEvent = IoCreateEvent();
  updateEvent = IoCreateEvent();
  if (exitEvent < 0 || updateEvent < 0) {
    return 0;
  }
  if (modulesBound) {
    changeWatch = provider.OpenChangeWatch();
  }
  watchSilence = provider.SilentWhenGone() != 0;
  thread = std::thread([this] { ThreadMain(); });
  return 1;
}

int ktWiiLibImp::RequestUpdate() {
  return updateEvent >= 0 ? IoSignalEvent(updateEvent) : 0;
}

void ktWiiLibImp::ThreadMain() {
  Enumerate(vendorId, productId);
  for (;;) {
    int timeoutMs = AnyProbing() ? kProbeTimeoutMs : -1;
    if (WaitAndDeliver(timeoutMs) == 0) {
      break;
    }
  }
  if (!closingCancelled.load(std::memory_order_relaxed)) {
    SendClosingReports();
  }
  threadEnded.set_value();
}

// One wait of the I/O loop and whatever it brings. 0 when the thread is to
// end. The probe time-out only counts a full wait in which nothing completed.
int ktWiiLibImp::WaitAndDeliver(int probeTimeoutMs) {
  constexpr int kFixedItems = 3;  // exit, update, change watch
  static thread_local IoWaitItem items[kMaxDevices + kFixedItems];
  static thread_local ktDeviceChannel* reading[kMaxDevices];
  items[0] = IoWaitItem{exitEvent, false, false};
  items[1] = IoWaitItem{updateEvent, false, false};
  items[2] = IoWaitItem{changeWatch, false, false};  // poll skips -1
  int waiting = 0;
  int count = Count();
  for (int i = 0; i < count; ++i) {
    int fd = devices[i]->channel.ReadDescriptor();
    if (fd >= 0) {
      items[kFixedItems + waiting] = IoWaitItem{fd, false, false};
      reading[waiting++] = &devices[i]->channel;
    }
  }
  auto started = std::chrono::steady_clock::now();
  int ready =
      IoWait(items, kFixedItems + waiting, AnyWriteCompletion() ? 0 : WaitTimeout(probeTimeoutMs));
  if (items[0].readable) {
    Trace("Req Exit!!");
    return 0;
  }
  bool requested = items[1].readable && IoConsumeEvent(updateEvent);
  bool changed = items[2].readable && provider.TakeChanges(changeWatch);
  bool silenceRetry = CheckSilence();
  if (requested || changed || RetryDue() || silenceRetry) {
    Enumerate(vendorId, productId);
    return 1;
  }
  int completed = DeliverWriteCompletions();
  for (int i = 0; i < waiting; ++i) {
    const IoWaitItem& item = items[kFixedItems + i];
    if (item.readable || item.hungUp) {
      completed += reading[i]->OnReadReady(item.hungUp);
    }
  }
  auto waited = std::chrono::steady_clock::now() - started;
  if (ready == 0 && completed == 0 && probeTimeoutMs >= 0 &&
      waited >= std::chrono::milliseconds(probeTimeoutMs)) {
    Trace("Timeout");
    OnTimeout();
  }
  return 1;
}

// The probe time-out, or less when a refused device is to be looked at
// again or a quiet device is due to be asked or closed.
int ktWiiLibImp::WaitTimeout(int probeTimeoutMs) const {
  auto now = std::chrono::steady_clock::now();
  int timeoutMs = Sooner(probeTimeoutMs, SilenceTimeout(now));
  return retryPending ? Sooner(timeoutMs, MillisecondsUntil(retryAt, now)) : timeoutMs;
}

int ktWiiLibImp::SilenceTimeout(std::chrono::steady_clock::time_point now) const {
  if (!watchSilence) {
    return -1;
  }
  int timeoutMs = silenceRetryPending ? MillisecondsUntil(silenceRetryAt, now) : -1;
  int count = Count();
  for (int i = 0; i < count; ++i) {
    const Entry& entry = *devices[i];
    if (entry.channel.Handle() != kHidInvalidHandle) {
      auto due =
          entry.asked ? entry.askedAt + kAnswerTime : entry.channel.LastReportTime() + kQuietTime;
      timeoutMs = Sooner(timeoutMs, MillisecondsUntil(due, now));
    }
  }
  return timeoutMs;
}

// Asks the devices that have been quiet for their status and closes those
// that did not answer. True when devices closed earlier are due to be looked
// for again.
bool ktWiiLibImp::CheckSilence() {
  if (!watchSilence) {
    return false;
  }
  auto now = std::chrono::steady_clock::now();
  int count = Count();
  for (int i = 0; i < count; ++i) {
    Entry& entry = *devices[i];
    ktDeviceChannel& channel = entry.channel;
    if (!channel.IsOpen()) {
      continue;
    }
    if (entry.asked && channel.LastReportTime() > entry.askedAt) {
      entry.asked = false;
    }
    if (entry.asked && now - entry.askedAt >= kAnswerTime) {
      Trace("Silent %s", channel.GetPath());
      channel.CloseFile();
      entry.asked = false;
      silenceRetryPending = true;
      silenceRetryAt = now + kQuietTime;
    } else if (!entry.asked && now - channel.LastReportTime() >= kQuietTime) {
      entry.asked = true;
      entry.askedAt = now;
      SendReport(entry.device, kOutStatusRequest);
    }
  }
  if (silenceRetryPending && now >= silenceRetryAt) {
    silenceRetryPending = false;
    return true;
  }
  return false;
}

bool ktWiiLibImp::RetryDue() const {
  return retryPending && std::chrono::steady_clock::now() >= retryAt;
}

int ktWiiLibImp::DeliverWriteCompletions() {
  int delivered = 0;
  int count = Count();
  for (int i = 0; i < count; ++i) {
    ktDeviceChannel& channel = devices[i]->channel;
    for (int pending = channel.PendingWriteCompletions(); pending > 0; --pending) {
      channel.OnWriteComplete();
      ++delivered;
    }
  }
  return delivered;
}

bool ktWiiLibImp::AnyProbing() {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    if (devices[i]->channel.GetFlags() & kChannelProbing) {
      return true;
    }
  }
  return false;
}

bool ktWiiLibImp::AnyWriteCompletion() {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    if (devices[i]->channel.PendingWriteCompletions() > 0) {
      return true;
    }
  }
  return false;
}

void ktWiiLibImp::OnTimeout() {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    Entry& entry = *devices[i];
    if (entry.channel.SwitchToWritesOnTimeout()) {
      SendReport(entry.device, kOutLedsOff);
      SendReport(entry.device, kOutStatusRequest);
    }
  }
}

int ktWiiLibImp::Enumerate(int vendor, int product) {
  if (!modulesBound) {
    return 0;  // nothing to enumerate with
  }
  refusedNow.clear();
  HidGuid guid{};
  HidD_GetHidGuid(&guid);
  HidDeviceInfoSet* set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, kEnumerateFlags);
  int result = 1;
  for (unsigned index = 0; index < kMaxInterfaces; ++index) {
    HidInterfaceData data{};
    data.size = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
      if (HidGetLastError() == kHidErrorNoMoreItems) {
        break;
      }
      Trace("SetupDiEnumDeviceInterfaces ERROR\n");
      continue;
    }
    int looked = LookAtInterface(set, &data, index, vendor, product);
    if (looked < 0) {
      result = 0;
      break;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  SettleRefusals();
  return result;
}

int ktWiiLibImp::LookAtInterface(HidDeviceInfoSet* set, HidInterfaceData* data, unsigned index,
                                 int vendor, int product) {
  uint32_t required = 0;
  SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
  Trace("**START\nreq=%d %d", static_cast<int>(required), 8);
  // A size that cannot even hold the record's fixed part (or is absurdly
  // large) would make the detail call write beyond the allocation: skip it.
  if (required < kHidInterfaceDetailFixedSize || required > kMaxDetailSize) {
    return 1;
  }
  // uint32_t storage keeps the record's size field aligned.
  auto storage = std::make_unique<uint32_t[]>((required + 3) / 4);
  auto* detail = reinterpret_cast<HidInterfaceDetail*>(storage.get());
  detail->size = kHidInterfaceDetailFixedSize;
  if (!SetupDiGetDeviceInterfaceDetailA(set, data, detail, required, &required, nullptr)) {
    return -1;
  }
  const char* path = detail->devicePath;
  Trace("OK= %d %d", static_cast<int>(index), static_cast<int>(required));
  Trace("%s", path);
  if (ProbeDevice(path, vendor, product)) {
    ReOpen(path);
  }
  return 1;
}

// Devices whose ids the provider knows without opening them are opened only
// when they match.
bool ktWiiLibImp::ProbeDevice(const char* path, int vendor, int product) {
  HidAttributes known{};
  bool idsKnown = provider.PeekAttributes(path, &known) != 0;
  if (idsKnown && (known.vendorId != vendor || known.productId != product)) {
    return false;
  }
  HidHandle probe = provider.OpenDevice(path, 0);
  if (probe == kHidInvalidHandle) {
    int error = IoLastError();
    if (idsKnown && (error == EACCES || error == EPERM)) {
      refusedNow.push_back(path);
    }
    return false;
  }
  bool matched = false;
  HidAttributes attributes{};
  attributes.size = sizeof attributes;
  if (HidD_GetAttributes(probe, &attributes)) {
    Trace("vid=%x pid=%d", attributes.vendorId, attributes.productId);
    matched = attributes.vendorId == vendor && attributes.productId == product;
    if (matched) {
      Trace("Found vid=%x pid=%x", attributes.vendorId, attributes.productId);
    }
  }
  IoClose(probe);
  return matched;
}

// A refusal counts once it has lasted kAccessRetry: a node refused for the
// first time is looked at again then, unless a change brought a look sooner.
void ktWiiLibImp::SettleRefusals() {
  auto now = std::chrono::steady_clock::now();
  std::erase_if(refusals,
                [&](const Refusal& refusal) { return !Contains(refusedNow, refusal.path); });
  for (const std::string& path : refusedNow) {
    if (std::none_of(refusals.begin(), refusals.end(),
                     [&](const Refusal& refusal) { return refusal.path == path; })) {
      refusals.push_back(Refusal{path, now, false});
    }
  }
  int lasting = 0;
  retryPending = false;
  for (Refusal& refusal : refusals) {
    if (now - refusal.since < kAccessRetry) {
      retryAt = retryPending ? std::min(retryAt, refusal.since + kAccessRetry)
                             : refusal.since + kAccessRetry;
      retryPending = true;
      continue;
    }
    ++lasting;
    if (!refusal.reported) {
      DebugPrint(
          "No permission to open the board %s: \"make install\" installs the udev rule "
          "that allows it; if it is installed, log out and in again.",
          refusal.path.c_str());
      refusal.reported = true;
    }
  }
  refusedCount.store(lasting, std::memory_order_relaxed);
}

void ktWiiLibImp::ReOpen(const char* path) {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    ktDeviceChannel& channel = devices[i]->channel;
    if (channel.GetPath() != nullptr && SamePathIgnoringCase(channel.GetPath(), path)) {
      if (!channel.IsOpen()) {
        channel.Open(path, i);
        Trace("ReOpen %s", path);
      }
      return;
    }
  }
  AddOpen(path);
}

int ktWiiLibImp::AddOpen(const char* path) {
  int count = Count();
  if (count >= kMaxDevices) {
    return 0;
  }
  auto entry = std::make_unique<Entry>(provider);
  if (!entry->channel.Open(path, count)) {
    return 0;
  }
  Trace("AddOpen %s", path);
  devices[count] = entry.release();
  deviceCount.store(count + 1, std::memory_order_release);
  return 1;
}

// On Windows a write that the thread started is cancelled when the thread
// ends, so the thread waits for its closing writes, briefly.
void ktWiiLibImp::SendClosingReports() {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    ktWiiDevice& device = devices[i]->device;
    if (device.GetExtensionType() != kExtBalanceBoard) {
      SendReport(device, kOutIrOff);
      SendReport(device, kOutIr2Off);
    }
    SendReport(device, kOutModeButtons);
  }
  auto deadline = std::chrono::steady_clock::now() + kCloseWait;
  for (int i = 0; i < count; ++i) {
    IoFinishWrites(devices[i]->channel.Handle(),
                   MillisecondsUntil(deadline, std::chrono::steady_clock::now()));
  }
}

// A board out of reach can hold a set-output-report for seconds: after
// kCloseWait the thread is told to skip what it has not sent yet, and the
// calls under way are cancelled (again and again, since one may just be
// starting) for another kCloseWait. False when the thread is still stuck
// after that and has been left running.
bool ktWiiLibImp::WaitForThread() {
  std::future<void> ended = threadEnded.get_future();
  if (ended.wait_for(kCloseWait) != std::future_status::ready) {
    closingCancelled.store(true, std::memory_order_relaxed);
    auto deadline = std::chrono::steady_clock::now() + kCloseWait;
    do {
      int count = Count();
      for (int i = 0; i < count; ++i) {
        provider.CancelPending(devices[i]->channel.Handle());
      }
    } while (ended.wait_for(kCancelRepeat) != std::future_status::ready &&
             std::chrono::steady_clock::now() < deadline);
    if (ended.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
      DebugPrint("The device manager's thread does not end; it is left running.");
      thread.detach();
      abandoned = true;
      return false;
    }
  }
  thread.join();
  return true;
}

// The I/O thread sends the closing reports as it ends. Once it has ended no
// I/O refers to a device any more and the devices can be closed and deleted.
void ktWiiLibImp::Shutdown() {
  if (abandoned) {
    return;
  }
  if (thread.joinable()) {
    IoSignalEvent(exitEvent);
    if (!WaitForThread()) {
      return;
    }
  }
  IoClose(exitEvent);
  exitEvent = -1;
  IoClose(updateEvent);
  updateEvent = -1;
  if (changeWatch >= 0) {
    provider.CloseChangeWatch(changeWatch);
    changeWatch = -1;
  }
  int count = Count();
  deviceCount.store(0, std::memory_order_release);
  for (int i = 0; i < count; ++i) {
    devices[i]->channel.Close();
    delete devices[i];
    devices[i] = nullptr;
  }
  if (modulesBound) {
    ExitModule();
    modulesBound = false;
  }
}
