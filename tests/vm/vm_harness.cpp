#include "vm_harness.h"

#include "device/wii_lib_device.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string Format(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

}  // namespace

// The machine names the BlueZ a Bluetooth scenario runs on ("@5.82").
VmScenario::VmScenario(const char* name) : name(name) {
  if (const char* suffix = std::getenv("VM_NAME_SUFFIX"))
    this->name += suffix;
}

bool VmScenario::Check(bool ok, const char* format, ...) {
  if (ok || !failure.empty())
    return ok;
  va_list args;
  va_start(args, format);
  failure = Format(format, args);
  va_end(args);
  std::printf("VMNOTE %s failed: %s\n", name.c_str(), failure.c_str());
  std::fflush(stdout);
  return ok;
}

void VmScenario::Note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::printf("VMNOTE %s %s\n", name.c_str(), Format(format, args).c_str());
  va_end(args);
  std::fflush(stdout);
}

int VmScenario::Finish() {
  if (failure.empty()) {
    std::printf("VMTEST %s PASS\n", name.c_str());
  } else {
    std::printf("VMTEST %s FAIL %s\n", name.c_str(), failure.c_str());
  }
  std::fflush(stdout);
  return failure.empty() ? 0 : 1;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
  return true;
}

std::string FindHidraw(const std::string& uniq) {
  DIR* dir = opendir("/sys/class/hidraw");
  if (!dir)
    return "";
  std::string found;
  while (dirent* entry = readdir(dir)) {
    const std::string node = entry->d_name;
    if (node.rfind("hidraw", 0) != 0)
      continue;
    std::ifstream uevent("/sys/class/hidraw/" + node + "/device/uevent");
    for (std::string line; std::getline(uevent, line);) {
      if (line == "HID_UNIQ=" + uniq)
        found = "/dev/" + node;
    }
    if (!found.empty())
      break;
  }
  closedir(dir);
  return found;
}

bool WiimoteBound(const std::string& node) {
  const std::string link =
      "/sys/class/hidraw/" + node.substr(node.rfind('/') + 1) + "/device/driver";
  std::error_code error;
  const auto target = std::filesystem::read_symlink(link, error);
  return !error && target.filename() == "wiimote";
}

namespace {

// The system call a thread of this process is in: the first field of its
// /proc syscall file, -1 while it runs.
long SyscallOf(const std::string& task) {
  std::ifstream file("/proc/self/task/" + task + "/syscall");
  long number = -1;
  return file >> number ? number : -1;
}

bool AnotherThreadPolls() {
  const std::string self = std::to_string(gettid());
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    const std::string id = task.path().filename();
    const long call = id == self ? -1 : SyscallOf(id);
    if (call == SYS_poll || call == SYS_ppoll)
      return true;
  }
  return false;
}

}  // namespace

bool WaitManagerWaiting(int timeoutMs) {
  return WaitFor(AnotherThreadPolls, timeoutMs);
}

BoardPump::BoardPump(UhidBoard& board) : thread([this, &board] { board.Run(stop); }) {}

BoardPump::~BoardPump() {
  stop.store(true);
  thread.join();
}

namespace {

constexpr int kNodeTimeoutMs = 5000;
constexpr int kWeighTimeoutMs = 3000;
constexpr float kWeighTolerance = 0.1f;
// Raw units the cells' zero points have moved since the factory calibration.
constexpr int kZeroDrift[4] = {40, -25, 30, -35};
constexpr int kZeroAdjustReports = 16;  // even, so the button ends released
constexpr int kBoardButtonBit = 0x0008;

}  // namespace

VirtualBoard::VirtualBoard(const char* uniq) : uniq(uniq), uhid({.uniq = uniq}) {
  uhid.Attach(sim);
  DriftZeroPoints(sim);
}

bool VirtualBoard::Appear(VmScenario& scenario) {
  if (!scenario.Check(uhid.Create(), "uhid device %s not created", uniq.c_str()))
    return false;
  if (!pump)
    pump = std::make_unique<BoardPump>(uhid);
  const bool found = WaitFor([this] { return !(node = FindHidraw(uniq)).empty(); }, kNodeTimeoutMs);
  return scenario.Check(found, "no hidraw node for %s", uniq.c_str());
}

std::vector<std::vector<uint8_t>> VirtualBoard::WaitDriverQuiet() {
  std::vector<std::vector<uint8_t>> seen;
  for (int quietMs = 0; quietMs < 500;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto outputs = uhid.TakeOutputs();
    quietMs = outputs.empty() ? quietMs + 50 : 0;
    seen.insert(seen.end(), outputs.begin(), outputs.end());
  }
  return seen;
}

ktWiiLib* StartManager() {
  ktWiiLib* lib = CreateWiiLib();
  if (lib)
    lib->Start(kWiiVendorId, kWiiProductId);
  return lib;
}

ktWiiLibDevice* WaitIdentified(ktWiiLib& lib, unsigned index, int timeoutMs) {
  ktWiiLibDevice* device = nullptr;
  const bool identified = WaitFor(
      [&] {
        device = lib.GetDevice(index);
        return device && device->IsOpen() && device->GetExtensionType() == kExtBalanceBoard &&
               device->GetReadState() == 0;
      },
      timeoutMs);
  return identified ? device : nullptr;
}

void DriftZeroPoints(SimBoard& board) {
  board.SetZeroDrift(kZeroDrift);
}

// Each report halves the distance to the drifted zero point. The front
// button changes with each one, so a device's button word tells when it has
// handled the report, still in zero-adjust mode.
bool ZeroAdjustThrough(const std::function<void(bool)>& setZeroAdjust,
                       const std::vector<std::function<int()>>& buttons,
                       const std::vector<SimBoard*>& boards) {
  for (SimBoard* board : boards)
    board->SetTotalLoad(0.0f);
  setZeroAdjust(true);
  bool handled = true;
  for (int i = 0; i < kZeroAdjustReports && handled; ++i) {
    const bool pressed = i % 2 == 0;
    for (SimBoard* board : boards)
      board->SetButton(pressed);
    for (const auto& buttonsOf : buttons) {
      handled =
          handled && WaitFor([&] { return ((buttonsOf() & kBoardButtonBit) != 0) == pressed; },
                             kWeighTimeoutMs);
    }
  }
  setZeroAdjust(false);
  return handled;
}

bool ZeroAdjust(const std::vector<ktWiiLibDevice*>& devices, const std::vector<SimBoard*>& boards) {
  std::vector<std::function<int()>> buttons;
  for (ktWiiLibDevice* device : devices)
    buttons.push_back([device] { return device->GetButtons(); });
  const auto setZeroAdjust = [&](bool on) {
    for (ktWiiLibDevice* device : devices)
      device->SetZeroAdjust(on ? 1 : 0);
  };
  return ZeroAdjustThrough(setZeroAdjust, buttons, boards);
}

bool ZeroAdjustAndWeigh(VmScenario& scenario, ktWiiLibDevice& device, SimBoard& board, float kg) {
  return scenario.Check(ZeroAdjust({&device}, {&board}), "a zero-adjust report was not handled") &&
         Weighs(scenario, device, board, kg);
}

bool Weighs(VmScenario& scenario, ktWiiLibDevice& device, SimBoard& board, float kg) {
  board.SetTotalLoad(kg);
  const bool close = WaitFor(
      [&] { return std::fabs(device.GetBoardWeight() - kg) < kWeighTolerance; }, kWeighTimeoutMs);
  return scenario.Check(
      close,
      "weighs %.2f kg with %.2f kg on the board (cells %.1f %.1f %.1f %.1f, extension %04x, "
      "board's reporting mode %02x)",
      device.GetBoardWeight(), kg, device.GetBoardSensor(0), device.GetBoardSensor(1),
      device.GetBoardSensor(2), device.GetBoardSensor(3), device.GetExtensionType(),
      board.ReportingMode());
}
