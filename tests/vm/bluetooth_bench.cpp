#include "bluetooth_bench.h"

#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bluetooth/bluetooth_bluez.h"
#include "device/wii_lib_device.h"
#include "sim/sdp_board.h"
#include "sim/virtual_board_uhid.h"

namespace {

constexpr const char* kStorage = "/var/lib/bluetooth";
constexpr const char* kDaemonLog = "/tmp/bluetoothd.log";
constexpr const char* kDaemon = "/usr/libexec/bluetooth/bluetoothd";
constexpr const char* kZerosFirstDaemon = "/usr/libexec/bluetooth/bluetoothd-zeros-first";
constexpr int kControllersMs = 5000;
constexpr int kAdaptersMs = 10000;
constexpr int kStopMs = 3000;
// Each look at BlueZ's objects costs it a walk over all of them.
constexpr int kBusPollMs = 100;
// The key both sides of a remembered pairing hold.
constexpr RadioBoard::LinkKey kLinkKey = {0x3A, 0x5C, 0x91, 0x07, 0xE2, 0x4B, 0x68, 0xD0,
                                          0x1F, 0x86, 0x27, 0xB9, 0x54, 0xC3, 0x0E, 0x72};

pid_t Spawn(const std::vector<const char*>& argv, const char* log) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(log, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    std::vector<char*> args;
    for (const char* arg : argv)
      args.push_back(const_cast<char*>(arg));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

void Stop(pid_t& pid) {
  if (pid <= 0)
    return;
  kill(pid, SIGTERM);
  const bool ended = WaitFor([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; }, kStopMs);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

// The controller's address as the kernel knows it (HCIGETDEVINFO), in text
// form; "" until the kernel has read it from the controller.
std::string ControllerAddress(int index) {
  const int fd = socket(AF_BLUETOOTH, SOCK_RAW | SOCK_CLOEXEC, 1);
  uint8_t info[92] = {};  // struct hci_dev_info; the address follows id and name
  info[0] = static_cast<uint8_t>(index);
  const bool ok = fd >= 0 && ioctl(fd, _IOR('H', 211, int), info) == 0;
  if (fd >= 0)
    close(fd);
  const uint8_t* a = info + 10;
  if (!ok || (a[0] | a[1] | a[2] | a[3] | a[4] | a[5]) == 0)
    return "";
  char text[18];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", a[5], a[4], a[3], a[2], a[1],
                a[0]);
  return text;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += pair;
  }
  return text;
}

// BlueZ's objects, or null when it does not answer.
GVariant* ManagedObjects() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  if (!bus)
    return nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.bluez", "/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr,
      G_VARIANT_TYPE("(a{oa{sa{sv}}})"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr);
  g_object_unref(bus);
  return reply;
}

// The kernel writes a Bluetooth HID device's address in lower case.
std::string KernelUniq(const std::string& address) {
  std::string uniq = address;
  for (char& c : uniq)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return uniq;
}

bool Flag(GVariant* properties, const char* name) {
  gboolean value = FALSE;
  return g_variant_lookup(properties, name, "b", &value) && value;
}

}  // namespace

BluetoothBench::BluetoothBench(VmScenario& scenario, int adapters, int boardCount)
    : scenario(scenario), adapters(adapters) {
  for (int i = 0; i < boardCount; ++i) {
    boards.push_back(std::make_unique<Board>(kBoardBluetoothName));
    DriftZeroPoints(boards.back()->sim);
  }
}

BluetoothBench::~BluetoothBench() {
  if (!scenario.Passed()) {
    ShowDaemonLog();
    NoteEmulatorEnd();
  }
  Stop(daemon);
  hostRadios.clear();
  for (auto& board : boards)
    board->radio.Detach();
  bystander.Detach();
  Stop(emulator);
  std::error_code ignored;
  std::filesystem::remove_all(kStorage, ignored);
  std::filesystem::create_directories(kStorage, ignored);
}

bool BluetoothBench::StartRadio() {
  const int boardCount = static_cast<int>(boards.size());
  const int total = adapters + boardCount + (boardCount > 1 ? 1 : 0);
  const std::string count = "-l" + std::to_string(total);
  emulator = Spawn({"/usr/bin/btvirt", "-B", count.c_str()}, "/tmp/btvirt.log");
  const bool appeared = WaitFor(
      [&] {
        adapterAddresses.clear();
        for (int i = 0; i < total; ++i) {
          adapterAddresses.push_back(ControllerAddress(i));
          if (adapterAddresses.back().empty())
            return false;
        }
        return true;
      },
      kControllersMs);
  if (!scenario.Check(appeared, "btvirt made no %d controllers through /dev/vhci", total))
    return false;
  adapterAddresses.resize(adapters);
  for (size_t i = 0; i < boards.size(); ++i) {
    if (!scenario.Check(boards[i]->radio.Attach(adapters + static_cast<int>(i)) == 1,
                        "board %zu cannot take controller hci%zu", i, adapters + i))
      return false;
  }
  if (boardCount > 1 && !HoldPlaceholderLinks(total - 1))
    return false;
  std::vector<const RadioBoard*> inAir;
  for (auto& board : boards)
    inAir.push_back(&board->radio);
  for (int i = 0; i < adapters; ++i) {
    hostRadios.push_back(std::make_unique<HostRadio>(inAir));
    if (!scenario.Check(hostRadios.back()->Attach(i) == 1, "no host radio over hci%d", i))
      return false;
    adapterPaths.push_back("/org/bluez/hci" + std::to_string(hostRadios.back()->KernelIndex()));
  }
  return true;
}

// Board i's controller first holds i links to the bystander, so that its
// link to the host is 42 + i (see AirBystander).
bool BluetoothBench::HoldPlaceholderLinks(int bystanderIndex) {
  if (!scenario.Check(bystander.Attach(bystanderIndex) == 1, "no bystander on hci%d",
                      bystanderIndex))
    return false;
  for (size_t i = 1; i < boards.size(); ++i) {
    RadioBoard& radio = boards[i]->radio;
    for (size_t held = 0; held < i; ++held) {
      const bool linked =
          bystander.TakeLink([&] { radio.HoldPlaceholderLink(bystander.AddressText()); },
                             kControllersMs) &&
          WaitFor([&] { return radio.PlaceholderLinks() > static_cast<int>(held); }, kStopMs);
      if (!scenario.Check(linked, "board %zu holds no placeholder link", i))
        return false;
    }
  }
  return true;
}

bool BluetoothBench::StartDaemon(Pin pin) {
  // Only the plugins a Wii device meets: the daemon starts in half the time
  // under emulation. Where the Wii PIN has a plugin of its own (before
  // 5.70), leaving it out makes autopair offer "0000" to the joystick class;
  // later ones come with a daemon built so.
  const bool zerosFirst = pin == Pin::ZerosFirst;
  const bool builtSo = std::filesystem::exists(kZerosFirstDaemon);
  const char* program = zerosFirst && builtSo ? kZerosFirstDaemon : kDaemon;
  const char* plugins =
      zerosFirst && !builtSo ? "input,autopair,policy" : "wiimote,input,autopair,policy";
  daemon = Spawn({program, "-n", "-d", "-p", plugins}, kDaemonLog);
  return scenario.Check(WaitAdaptersPowered(), "bluetoothd shows no %d powered adapters", adapters);
}

bool BluetoothBench::WaitAdaptersPowered() {
  return WaitFor(
      [this] {
        const auto powered =
            std::count_if(adapterPaths.begin(), adapterPaths.end(),
                          [this](const std::string& path) { return AdapterFlag(path, "Powered"); });
        return powered == adapters;
      },
      kAdaptersMs, kBusPollMs);
}

void BluetoothBench::RememberPairing(int adapter, int boardIndex, bool boardRemembers,
                                     bool trusted) {
  RadioBoard& radio = board(boardIndex).radio;
  const std::string adapterDir = std::string(kStorage) + "/" + AdapterAddress(adapter);
  const std::string address = radio.AddressText();
  std::filesystem::create_directories(adapterDir + "/" + address);
  std::filesystem::create_directories(adapterDir + "/cache");
  std::ofstream info(adapterDir + "/" + address + "/info");
  info << "[General]\nName=" << kBoardBluetoothName
       << "\nClass=0x002504\nSupportedTechnologies=BR/EDR;\nTrusted="
       << (trusted ? "true" : "false")
       << "\nBlocked=false\n"
          "Services=00001124-0000-1000-8000-00805f9b34fb;00001200-0000-1000-8000-00805f9b34fb;\n"
          "\n[DeviceID]\nSource=2\nVendor=1406\nProduct=774\nVersion=1536\n"
          "\n[LinkKey]\nKey="
       << Hex({kLinkKey.begin(), kLinkKey.end()}) << "\nType=0\nPINLength=6\n";
  std::ofstream cache(adapterDir + "/cache/" + address);
  cache << "[General]\nName=" << kBoardBluetoothName << "\n\n[ServiceRecords]\n";
  const SdpBoard sdp(kBoardBluetoothName, UhidBoard::ReportDescriptor());
  for (const auto& [handle, bytes] : sdp.Records()) {
    char key[11];
    std::snprintf(key, sizeof key, "0x%08X", handle);
    cache << key << "=" << Hex(bytes) << "\n";
  }
  if (boardRemembers)
    radio.RememberHost(AdapterAddress(adapter), kLinkKey);
}

std::vector<BluetoothBench::DeviceState> BluetoothBench::Devices(const std::string& address) const {
  std::vector<DeviceState> found;
  GVariant* objects = ManagedObjects();
  if (!objects)
    return found;
  GVariantIter* iter = nullptr;
  const gchar* path = nullptr;
  GVariant* interfaces = nullptr;
  g_variant_get(objects, "(a{oa{sa{sv}}})", &iter);
  while (g_variant_iter_next(iter, "{&o@a{sa{sv}}}", &path, &interfaces)) {
    GVariant* properties = nullptr;
    const gchar* text = nullptr;
    const gchar* adapter = nullptr;
    if (g_variant_lookup(interfaces, "org.bluez.Device1", "@a{sv}", &properties)) {
      if (g_variant_lookup(properties, "Address", "&s", &text) &&
          g_ascii_strcasecmp(text, address.c_str()) == 0 &&
          g_variant_lookup(properties, "Adapter", "&o", &adapter)) {
        found.push_back({adapter, Flag(properties, "Paired"), Flag(properties, "Trusted"),
                         Flag(properties, "Connected")});
      }
      g_variant_unref(properties);
    }
    g_variant_unref(interfaces);
  }
  g_variant_iter_free(iter);
  g_variant_unref(objects);
  return found;
}

bool BluetoothBench::Discovering(int adapter) const {
  return AdapterFlag(AdapterPath(adapter), "Discovering");
}

bool BluetoothBench::AdapterFlag(const std::string& path, const char* name) const {
  GVariant* reply = ManagedObjects();
  if (!reply)
    return false;
  GVariant* objects = g_variant_get_child_value(reply, 0);
  GVariant* interfaces = nullptr;
  GVariant* properties = nullptr;
  bool flag = false;
  if (g_variant_lookup(objects, path.c_str(), "@a{sa{sv}}", &interfaces) &&
      g_variant_lookup(interfaces, "org.bluez.Adapter1", "@a{sv}", &properties)) {
    flag = Flag(properties, name);
    g_variant_unref(properties);
  }
  if (interfaces)
    g_variant_unref(interfaces);
  g_variant_unref(objects);
  g_variant_unref(reply);
  return flag;
}

bool BluetoothBench::WaitConnected(int boardIndex, int timeoutMs) const {
  const RadioBoard& radio = boards[boardIndex]->radio;
  return WaitFor(
      [&] {
        for (const DeviceState& state : Devices(radio.AddressText())) {
          if (state.paired && state.connected && radio.HidOpen())
            return true;
        }
        return false;
      },
      timeoutMs, kBusPollMs);
}

bool BluetoothBench::WaitDisconnected(int boardIndex, int timeoutMs) const {
  const std::string address = boards[boardIndex]->radio.AddressText();
  const std::string uniq = KernelUniq(address);
  return WaitFor(
      [&] {
        for (const DeviceState& state : Devices(address)) {
          if (state.connected)
            return false;
        }
        return FindHidraw(uniq).empty();
      },
      timeoutMs, kBusPollMs);
}

bool BluetoothBench::ReturnsByItsButton(ktWiiLib& lib, ktWiiLibDevice& device, int boardIndex,
                                        float kg) {
  Board& returning = board(boardIndex);
  returning.radio.PowerOff();
  if (!scenario.Check(WaitFor([&] { return !device.IsOpen(); }, 5000),
                      "still open after power-off") ||
      !scenario.Check(WaitDisconnected(boardIndex, 5000), "still connected after power-off"))
    return false;
  returning.radio.PressButton();
  if (!scenario.Check(WaitConnected(boardIndex, 10000),
                      "the board did not come back by its button"))
    return false;
  ktWiiLibDevice* again = WaitIdentified(lib, static_cast<unsigned>(boardIndex), 8000);
  return scenario.Check(again == &device && lib.GetDeviceCount() == 1,
                        "not open again at index %d (%d devices listed)", boardIndex,
                        lib.GetDeviceCount()) &&
         Weighs(scenario, device, returning.sim, kg);
}

// The emulator ending early takes every controller with it, the host's too.
void BluetoothBench::NoteEmulatorEnd() {
  int status = 0;
  if (emulator <= 0 || waitpid(emulator, &status, WNOHANG) != emulator)
    return;
  const bool signalled = WIFSIGNALED(status);
  scenario.Note("btvirt ended during the scenario (%s %d)", signalled ? "signal" : "status",
                signalled ? WTERMSIG(status) : WEXITSTATUS(status));
  emulator = -1;
}

void BluetoothBench::ShowDaemonLog() const {
  std::ifstream log(kDaemonLog);
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);)
    lines.push_back(line);
  // What pairing and naming did, then the end of the log.
  const size_t last = lines.size() > 80 ? lines.size() - 80 : 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (i >= last || line.find("bonding") != std::string::npos ||
        line.find("pincode") != std::string::npos ||
        line.find("name_resolve") != std::string::npos || line.find("rror") != std::string::npos ||
        line.find("auth") != std::string::npos)
      scenario.Note("bluetoothd: %s", line.c_str());
  }
}

Registration::Registration(int searchMs)
    : lib(searchMs > 0 ? CreateBluetoothLibSearching(searchMs) : CreateBluetoothLib()),
      thread([this] {
        const auto start = std::chrono::steady_clock::now();
        result = lib->AddDevices(5);
        failure = lib->LastFailure();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      }) {}

Registration::~Registration() {
  Result();
  lib->Release();
}

int Registration::Result() {
  if (thread.joinable())
    thread.join();
  return result;
}

void Registration::Cancel() {
  lib->Cancel();
}

ktWiiLibDevice* IdentifiedAfterRegistration(ktWiiLib& lib, unsigned index, bool& withinWait) {
  ktWiiLibDevice* device = WaitIdentified(lib, index, Registration::kWaitMs);
  withinWait = device != nullptr;
  if (!device) {
    lib.RequestUpdate();
    device = WaitIdentified(lib, index, 5000);
  }
  return device;
}

std::string WaitHidraw(const std::string& address, int timeoutMs) {
  const std::string uniq = KernelUniq(address);
  std::string node;
  WaitFor([&] { return !(node = FindHidraw(uniq)).empty(); }, timeoutMs);
  return node;
}
