#include "mock_bluez.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr const char* kAddressVariable = "DBUS_SYSTEM_BUS_ADDRESS";
constexpr const char* kMockInterface = "org.freedesktop.DBus.Mock";
constexpr const char* kBluezMockInterface = "org.bluez.Mock";
constexpr int kCallTimeoutMs = 5000;

// While discovering, the adapter makes each device in range known with its
// class, or, when the stack knows it already, updates its signal strength,
// as BlueZ does for a device that answers. A device with a name delay
// appears with an empty name, which it gets that many milliseconds later (never
// when negative).
constexpr const char* kStartDiscoveryCode =
    "from gi.repository import GLib\n"
    "self.props['org.bluez.Adapter1']['Discovering'] = True\n"
    "def name_later(path, name):\n"
    "    if path in objects:\n"
    "        objects[path].UpdateProperties('org.bluez.Device1', {'Name': name})\n"
    "    return False\n"
    "for address, name, delay, cod in getattr(self, 'in_range', []):\n"
    "    path = self.path + '/dev_' + address.replace(':', '_')\n"
    "    if path in objects:\n"
    "        objects[path].UpdateProperties('org.bluez.Device1', {'RSSI': dbus.Int16(-60)})\n"
    "        continue\n"
    "    objects['/'].AddDevice(self.path.rsplit('/', 1)[1], address, name if delay == 0 else '')\n"
    "    objects[path].UpdateProperties('org.bluez.Device1', {'Class': dbus.UInt32(cod)})\n"
    "    if delay > 0:\n"
    "        GLib.timeout_add(delay, name_later, path, name)\n";
constexpr const char* kPutInRangeCode =
    "self.in_range = getattr(self, 'in_range', []) + [(args[0], args[1], args[2], args[3])]";

// Starts `argv` with standard output going to `outputFd` (or nowhere when -1)
// and standard error nowhere; the child ends when the test process ends.
// The child does no allocation: other threads of the test may hold locks.
pid_t Spawn(const std::vector<const char*>& argv, int outputFd) {
  std::vector<char*> args;
  for (const char* arg : argv) {
    args.push_back(const_cast<char*>(arg));
  }
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) {
    return pid;
  }
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  int null = open("/dev/null", O_RDWR);
  dup2(outputFd >= 0 ? outputFd : null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  execvp(args[0], args.data());
  _exit(127);
}

void Stop(pid_t& pid) {
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') {
    line += c;
  }
  return line;
}

// The Python that has python3-dbusmock: the system's, not one a user put first.
const char* Python() {
  return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

std::string AdapterPath(const std::string& adapter) {
  return "/org/bluez/" + adapter;
}

}  // namespace

MockBluez::MockBluez() {
  if (const char* previous = getenv(kAddressVariable)) {
    previousAddress = previous;
    hadPreviousAddress = true;
  }
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    return;
  }
  daemon = Spawn({"dbus-daemon", "--session", "--nofork", "--print-address"}, pipeFds[1]);
  close(pipeFds[1]);
  std::string address = ReadLine(pipeFds[0]);
  close(pipeFds[0]);
  if (address.empty()) {
    return;
  }
  setenv(kAddressVariable, address.c_str(), 1);
  bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
}

MockBluez::~MockBluez() {
  if (bus != nullptr) {
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
  }
  Stop(bluez);
  Stop(daemon);
  if (hadPreviousAddress) {
    setenv(kAddressVariable, previousAddress.c_str(), 1);
  } else {
    unsetenv(kAddressVariable);
  }
}

namespace {

// A synchronous call; a failure fails the test. Gives the reply or null.
GVariant* CallSync(GDBusConnection* bus, const char* service, const std::string& path,
                   const char* interface, const char* method, GVariant* parameters) {
  GError* error = nullptr;
  GVariant* reply =
      g_dbus_connection_call_sync(bus, service, path.c_str(), interface, method, parameters,
                                  nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
  if (reply == nullptr) {
    ADD_FAILURE() << method << " on " << path << ": " << error->message;
    g_error_free(error);
  }
  return reply;
}

void CallAndForget(GDBusConnection* bus, const std::string& path, const char* interface,
                   const char* method, GVariant* parameters) {
  GVariant* reply = CallSync(bus, "org.bluez", path, interface, method, parameters);
  if (reply != nullptr) {
    g_variant_unref(reply);
  }
}

bool NameHasOwner(GDBusConnection* bus, const char* name) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
      nullptr, &error);
  if (reply == nullptr) {
    g_error_free(error);
    return false;
  }
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

}  // namespace

bool MockBluez::StartBluez() {
  if (bus == nullptr) {
    return false;
  }
  bluez = Spawn({Python(), "-m", "dbusmock", "--system", "--template", "bluez5"}, -1);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!NameHasOwner(bus, "org.bluez")) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string MockBluez::AddAdapter(const std::string& name) {
  CallAndForget(bus, "/", kBluezMockInterface, "AddAdapter",
                g_variant_new("(ss)", name.c_str(), "gravimo-test"));
  std::string path = AdapterPath(name);
  ReplaceMethod(path, "org.bluez.Adapter1", "StartDiscovery", kStartDiscoveryCode);
  CallAndForget(
      bus, path, kMockInterface, "AddMethod",
      g_variant_new("(sssss)", kBluezMockInterface, "PutInRange", "ssiu", "", kPutInRangeCode));
  return path;
}

std::string MockBluez::AddKnownDevice(const std::string& adapter, const std::string& address,
                                      const std::string& name) {
  CallAndForget(bus, "/", kBluezMockInterface, "AddDevice",
                g_variant_new("(sss)", adapter.c_str(), address.c_str(), name.c_str()));
  return DevicePath(adapter, address);
}

void MockBluez::PutInRange(const std::string& adapter, const std::string& address,
                           const std::string& name, int nameDelayMs, unsigned deviceClass) {
  CallAndForget(bus, AdapterPath(adapter), kBluezMockInterface, "PutInRange",
                g_variant_new("(ssiu)", address.c_str(), name.c_str(), nameDelayMs, deviceClass));
}

void MockBluez::MarkPaired(const std::string& adapter, const std::string& address) {
  CallAndForget(bus, "/", kBluezMockInterface, "PairDevice",
                g_variant_new("(ssi)", adapter.c_str(), address.c_str(), 0x2504));
}

void MockBluez::MarkConnected(const std::string& adapter, const std::string& address) {
  CallAndForget(bus, "/", kBluezMockInterface, "ConnectDevice",
                g_variant_new("(ss)", adapter.c_str(), address.c_str()));
}

void MockBluez::SetBoolProperty(const std::string& path, const std::string& interface,
                                const std::string& name, bool value) {
  GVariantBuilder properties;
  g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&properties, "{sv}", name.c_str(), g_variant_new_boolean(value));
  CallAndForget(bus, path, kMockInterface, "UpdateProperties",
                g_variant_new("(sa{sv})", interface.c_str(), &properties));
}

void MockBluez::AddProperty(const std::string& path, const std::string& interface,
                            const std::string& name, GVariant* value) {
  CallAndForget(bus, path, kMockInterface, "AddProperty",
                g_variant_new("(ssv)", interface.c_str(), name.c_str(), value));
}

void MockBluez::ReplaceMethod(const std::string& path, const std::string& interface,
                              const std::string& method, const std::string& code) {
  CallAndForget(bus, path, kMockInterface, "AddMethod",
                g_variant_new("(sssss)", interface.c_str(), method.c_str(), "", "", code.c_str()));
}

std::string MockBluez::Calls(const std::string& path, const std::string& method) {
  GVariant* reply = CallSync(bus, "org.bluez", path, kMockInterface, "GetMethodCalls",
                             g_variant_new("(s)", method.c_str()));
  if (reply == nullptr) {
    return "";
  }
  std::string calls;
  GVariantIter* iter = nullptr;
  guint64 time = 0;
  GVariant* args = nullptr;
  g_variant_get(reply, "(a(tav))", &iter);
  while (g_variant_iter_next(iter, "(t@av)", &time, &args)) {
    gchar* text = g_variant_print(args, FALSE);
    calls += std::string(text) + "\n";
    g_free(text);
    g_variant_unref(args);
  }
  g_variant_iter_free(iter);
  g_variant_unref(reply);
  return calls;
}

int MockBluez::CallCount(const std::string& path, const std::string& method) {
  std::string calls = Calls(path, method);
  return static_cast<int>(std::count(calls.begin(), calls.end(), '\n'));
}

bool MockBluez::BoolProperty(const std::string& path, const std::string& interface,
                             const std::string& name) {
  GVariant* reply = CallSync(bus, "org.bluez", path, "org.freedesktop.DBus.Properties", "Get",
                             g_variant_new("(ss)", interface.c_str(), name.c_str()));
  if (reply == nullptr) {
    return false;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  bool result = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return result;
}

std::string MockBluez::DevicePath(const std::string& adapter, const std::string& address) {
  std::string path = AdapterPath(adapter) + "/dev_" + address;
  std::replace(path.begin(), path.end(), ':', '_');
  return path;
}
