// Bluetooth registration over BlueZ's D-Bus API (org.bluez on the system bus).
//
// One AddDevices call is one session: a private connection to the system bus,
// driven on a private main context on the calling thread, so every wait is
// bounded and Cancel (any thread) wakes it through one GCancellable.
#include <gio/gio.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bluetooth/bluetooth_lib.h"
#include "support/trace.h"

namespace {

constexpr const char* kBluezService = "org.bluez";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kDeviceInterface = "org.bluez.Device1";
constexpr const char* kAgentManagerPath = "/org/bluez";
constexpr const char* kAgentManagerInterface = "org.bluez.AgentManager1";
constexpr const char* kObjectManagerInterface = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kAgentPath = "/org/gravimo/BluetoothAgent";
constexpr const char* kAgentCapability = "NoInputNoOutput";

// One unit of the inquiry length, and the longest inquiry Bluetooth allows.
constexpr int kInquiryUnitMs = 1280;
constexpr int kMaxInquiryUnits = 48;
// A Wii device sends no extended inquiry response: the stack learns its name
// by a remote-name request after the inquiry (BlueZ's own lasts 10.24 s).
// Discovery goes on until every device it found has a name, up to this long.
constexpr int kNamedSearchMs = kBluetoothSearchMostMs;

constexpr int kBusConnectMs = 2000;
constexpr int kShortCallMs = 3000;
// Pairing pages the board, exchanges the PIN and reads its services.
constexpr int kPairMs = 15000;
constexpr int kConnectMs = 10000;

// The agent answers only for pairings this session asks for (it is never the
// default agent). The Wii PIN comes from BlueZ itself, so requests for a PIN
// or passkey are refused; confirmations and authorisations are accepted.
constexpr const char* kAgentXml =
    "<node><interface name='org.bluez.Agent1'>"
    "<method name='Release'/>"
    "<method name='RequestPinCode'><arg type='o' direction='in'/>"
    "<arg type='s' direction='out'/></method>"
    "<method name='DisplayPinCode'><arg type='o' direction='in'/>"
    "<arg type='s' direction='in'/></method>"
    "<method name='RequestPasskey'><arg type='o' direction='in'/>"
    "<arg type='u' direction='out'/></method>"
    "<method name='DisplayPasskey'><arg type='o' direction='in'/>"
    "<arg type='u' direction='in'/><arg type='q' direction='in'/></method>"
    "<method name='RequestConfirmation'><arg type='o' direction='in'/>"
    "<arg type='u' direction='in'/></method>"
    "<method name='RequestAuthorization'><arg type='o' direction='in'/></method>"
    "<method name='AuthorizeService'><arg type='o' direction='in'/>"
    "<arg type='s' direction='in'/></method>"
    "<method name='Cancel'/>"
    "</interface></node>";

void OnAgentCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                 GVariant*, GDBusMethodInvocation* invocation, gpointer) {
  Trace("Bluetooth agent: %s", method);
  if (g_str_equal(method, "RequestPinCode") || g_str_equal(method, "RequestPasskey")) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.bluez.Error.Rejected",
                                               "No input available");
    return;
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

const GDBusInterfaceVTable kAgentVTable = {OnAgentCall, nullptr, nullptr, {}};

bool IsWiiName(const std::string& name) {
  return name == kBoardBluetoothName || name == kRemoteBluetoothName;
}

struct BluezDevice {
  std::string name;
  std::string address;
  std::string adapter;
  bool connected = false;
  bool paired = false;
  bool found = false;  // answered while this run discovered
};

// Copies the properties present in an a{sv} dictionary; a change signal
// carries only the properties that changed.
void ReadDeviceProperties(GVariant* properties, BluezDevice& device) {
  const gchar* text = nullptr;
  if (g_variant_lookup(properties, "Name", "&s", &text)) {
    device.name = text;
  }
  if (g_variant_lookup(properties, "Address", "&s", &text)) {
    device.address = text;
  }
  if (g_variant_lookup(properties, "Adapter", "&o", &text)) {
    device.adapter = text;
  }
  gboolean flag = FALSE;
  if (g_variant_lookup(properties, "Connected", "b", &flag)) {
    device.connected = flag;
  }
  if (g_variant_lookup(properties, "Paired", "b", &flag)) {
    device.paired = flag;
  }
}

// The stack updates the signal strength of every device that answers an
// inquiry.
bool HasSignalStrength(GVariant* properties) {
  gint16 rssi = 0;
  return g_variant_lookup(properties, "RSSI", "n", &rssi);
}

// The outcome of one D-Bus method call.
class CallResult {
 public:
  CallResult() = default;
  ~CallResult() {
    if (reply != nullptr) {
      g_variant_unref(reply);
    }
    g_clear_error(&error);
  }
  CallResult(const CallResult&) = delete;
  CallResult& operator=(const CallResult&) = delete;

  bool Ok() const { return reply != nullptr; }
  bool ErrorIs(const char* name) const {
    gchar* remote = error != nullptr ? g_dbus_error_get_remote_error(error) : nullptr;
    bool same = remote != nullptr && g_str_equal(remote, name);
    g_free(remote);
    return same;
  }

  bool finished = false;
  GVariant* reply = nullptr;
  GError* error = nullptr;
};

void OnCallFinished(GObject* source, GAsyncResult* result, gpointer data) {
  auto* call = static_cast<CallResult*>(data);
  call->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &call->error);
  call->finished = true;
}

struct PendingConnection {
  bool finished = false;
  GDBusConnection* connection = nullptr;
  GError* error = nullptr;
};

void OnBusConnected(GObject*, GAsyncResult* result, gpointer data) {
  auto* pending = static_cast<PendingConnection*>(data);
  pending->connection = g_dbus_connection_new_for_address_finish(result, &pending->error);
  pending->finished = true;
}

void CancelLinked(GCancellable*, gpointer step) {
  g_cancellable_cancel(G_CANCELLABLE(step));
}

gboolean WakeOnly(gpointer) {
  return G_SOURCE_REMOVE;
}

gboolean WakeOnCancel(GCancellable*, gpointer) {
  return G_SOURCE_REMOVE;
}

// One registration run on the calling thread.
class BluezSession {
 public:
  explicit BluezSession(GCancellable* cancellable)
      : cancellable(cancellable), context(g_main_context_new()) {
    g_main_context_push_thread_default(context);
    cancelWatch = g_cancellable_source_new(cancellable);
    g_source_set_callback(cancelWatch, G_SOURCE_FUNC(WakeOnCancel), nullptr, nullptr);
    g_source_attach(cancelWatch, context);
  }

  ~BluezSession() {
    UnregisterAgent();
    for (guint id : subscriptions) {
      g_dbus_connection_signal_unsubscribe(connection, id);
    }
    if (connection != nullptr) {
      g_dbus_connection_close(connection, nullptr, nullptr, nullptr);
      g_object_unref(connection);
    }
    // Let callbacks that are already queued run while the session still exists.
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_source_destroy(cancelWatch);
    g_source_unref(cancelWatch);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  BluezSession(const BluezSession&) = delete;
  BluezSession& operator=(const BluezSession&) = delete;

  int AddDevices(int inquiryMs) {
    if (!ConnectToSystemBus()) {
      Fail(BluetoothFailure::NoService);
      return 0;
    }
    SubscribeToChanges();
    if (!LoadObjects()) {
      Fail(BluetoothFailure::NoService);
      return 0;
    }
    // Switching an adapter on is the user's choice: off ones are not used.
    std::vector<std::string> usable = PoweredAdapters();
    if (usable.empty()) {
      Fail(adapters.empty() ? BluetoothFailure::NoAdapter : BluetoothFailure::AdapterOff);
      return 0;
    }
    adapters = usable;
    // At least the inquiry asked for, then until every device that answered
    // has its name.
    RunDiscovery(adapters, inquiryMs, std::max(inquiryMs, kNamedSearchMs),
                 [this] { return EveryFoundDeviceNamed(); });
    int count = 0;
    for (const std::string& path : Candidates()) {
      if (Cancelled()) {
        break;
      }
      RegisterDevice(path, inquiryMs);
      ++count;
    }
    return count;
  }

  BluetoothFailure Failure() const { return failure; }

 private:
  bool Cancelled() const { return g_cancellable_is_cancelled(cancellable); }

  // Runs the context until `done` holds, the time is up or Cancel is called.
  bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
    GSource* timer = g_timeout_source_new(timeoutMs);
    g_source_set_callback(timer, WakeOnly, nullptr, nullptr);
    g_source_attach(timer, context);
    while (!done() && !Cancelled() && g_get_monotonic_time() < deadline) {
      g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(timer);
    g_source_unref(timer);
    return done();
  }

  // Runs the context until a started operation reports back. Each one has a
  // time-out or a cancellable that Cancel or a deadline fires, so it will.
  void Drain(const bool& finished) {
    while (!finished) {
      g_main_context_iteration(context, TRUE);
    }
  }

  bool ConnectToSystemBus() {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, cancellable, &error);
    if (address == nullptr) {
      Trace("Bluetooth: no system bus address: %s", error->message);
      g_error_free(error);
      return false;
    }
    GCancellable* step = g_cancellable_new();
    gulong link = g_cancellable_connect(cancellable, G_CALLBACK(CancelLinked), step, nullptr);
    PendingConnection pending;
    g_dbus_connection_new_for_address(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, step, OnBusConnected, &pending);
    if (!WaitUntil([&pending] { return pending.finished; }, kBusConnectMs)) {
      g_cancellable_cancel(step);
      Drain(pending.finished);
    }
    g_cancellable_disconnect(cancellable, link);
    g_object_unref(step);
    g_free(address);
    if (pending.connection == nullptr) {
      Trace("Bluetooth: no system bus: %s", pending.error->message);
      g_error_free(pending.error);
      return false;
    }
    connection = pending.connection;
    return true;
  }

  // Sends one method call to BlueZ and waits for its reply, its error, its
  // time-out or Cancel. `parameters` may be floating; it is consumed.
  void Call(CallResult& result, const std::string& path, const char* interface, const char* method,
            GVariant* parameters, int timeoutMs) {
    g_dbus_connection_call(connection, kBluezService, path.c_str(), interface, method, parameters,
                           nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, cancellable,
                           OnCallFinished, &result);
    Drain(result.finished);
    if (!result.Ok()) {
      Trace("Bluetooth: %s %s failed: %s", method, path.c_str(), result.error->message);
    }
  }

  bool CallSimple(const std::string& path, const char* interface, const char* method,
                  GVariant* parameters, int timeoutMs) {
    CallResult result;
    Call(result, path, interface, method, parameters, timeoutMs);
    return result.Ok();
  }

  bool SetProperty(const std::string& path, const char* interface, const char* name,
                   GVariant* value) {
    return CallSimple(path, kPropertiesInterface, "Set",
                      g_variant_new("(ssv)", interface, name, value), kShortCallMs);
  }

  void Subscribe(const char* interface, const char* member, const char* arg0,
                 GDBusSignalCallback callback) {
    subscriptions.push_back(g_dbus_connection_signal_subscribe(
        connection, kBluezService, interface, member, nullptr, arg0, G_DBUS_SIGNAL_FLAGS_NONE,
        callback, this, nullptr));
  }

  // Subscribed before the first look at BlueZ's objects, so no change is lost.
  void SubscribeToChanges() {
    Subscribe(kObjectManagerInterface, "InterfacesAdded", nullptr, OnInterfacesAdded);
    Subscribe(kObjectManagerInterface, "InterfacesRemoved", nullptr, OnInterfacesRemoved);
    Subscribe(kPropertiesInterface, "PropertiesChanged", kDeviceInterface, OnPropertiesChanged);
  }

  static void OnInterfacesAdded(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar*, GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa{sa{sv}})"))) {
      return;
    }
    const gchar* path = nullptr;
    GVariant* interfaces = nullptr;
    g_variant_get(parameters, "(&o@a{sa{sv}})", &path, &interfaces);
    static_cast<BluezSession*>(self)->AddObject(path, interfaces, true);
    g_variant_unref(interfaces);
  }

  static void OnInterfacesRemoved(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oas)"))) {
      return;
    }
    const gchar* path = nullptr;
    const gchar** names = nullptr;
    g_variant_get(parameters, "(&o^a&s)", &path, &names);
    if (g_strv_contains(names, kDeviceInterface)) {
      static_cast<BluezSession*>(self)->devices.erase(path);
    }
    g_free(names);
  }

  static void OnPropertiesChanged(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                                  const gchar*, GVariant* parameters, gpointer self) {
    auto& devices = static_cast<BluezSession*>(self)->devices;
    auto known = devices.find(path);
    if (known == devices.end() || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) {
      return;
    }
    GVariant* changed = g_variant_get_child_value(parameters, 1);
    ReadDeviceProperties(changed, known->second);
    known->second.found = known->second.found || HasSignalStrength(changed);
    g_variant_unref(changed);
  }

  // `appeared` marks a device that became known while this run discovers.
  void AddObject(const std::string& path, GVariant* interfaces, bool appeared) {
    GVariant* properties = nullptr;
    if (g_variant_lookup(interfaces, kAdapterInterface, "@a{sv}", &properties)) {
      adapters.push_back(path);
      ReadAdapterPower(path, properties);
      g_variant_unref(properties);
    }
    if (g_variant_lookup(interfaces, kDeviceInterface, "@a{sv}", &properties)) {
      BluezDevice& device = devices[path];
      ReadDeviceProperties(properties, device);
      device.found = device.found || appeared;
      g_variant_unref(properties);
    }
  }

  void ReadAdapterPower(const std::string& path, GVariant* properties) {
    gboolean powered = FALSE;
    if (g_variant_lookup(properties, "Powered", "b", &powered) && !powered) {
      poweredOff.push_back(path);
    }
  }

  // Known adapters and devices, in object-path order.
  bool LoadObjects() {
    CallResult result;
    Call(result, "/", kObjectManagerInterface, "GetManagedObjects", nullptr, kShortCallMs);
    if (!result.Ok() || !g_variant_is_of_type(result.reply, G_VARIANT_TYPE("(a{oa{sa{sv}}})"))) {
      return false;
    }
    // Signals seen before this reply are in it as well; start from the reply.
    adapters.clear();
    poweredOff.clear();
    devices.clear();
    GVariantIter* objects = nullptr;
    const gchar* path = nullptr;
    GVariant* interfaces = nullptr;
    g_variant_get(result.reply, "(a{oa{sa{sv}}})", &objects);
    while (g_variant_iter_next(objects, "{&o@a{sa{sv}}}", &path, &interfaces)) {
      AddObject(path, interfaces, false);
      g_variant_unref(interfaces);
    }
    g_variant_iter_free(objects);
    std::sort(adapters.begin(), adapters.end());
    return true;
  }

  std::vector<std::string> PoweredAdapters() const {
    std::vector<std::string> on;
    for (const std::string& adapter : adapters) {
      if (std::find(poweredOff.begin(), poweredOff.end(), adapter) == poweredOff.end()) {
        on.push_back(adapter);
      }
    }
    return on;
  }

  // A cancelled run was stopped, not refused.
  void Fail(BluetoothFailure reason) {
    failure = Cancelled() ? BluetoothFailure::None : reason;
    Trace("Bluetooth: cannot search (%d)", static_cast<int>(failure));
  }

  // Discovers on the given adapters for at least leastMs, then until `done`
  // holds or mostMs have passed in all.
  void RunDiscovery(const std::vector<std::string>& on, int leastMs, int mostMs,
                    const std::function<bool()>& done) {
    std::vector<std::string> started;
    for (const std::string& adapter : on) {
      if (StartDiscovery(adapter)) {
        started.push_back(adapter);
      }
    }
    WaitUntil([] { return false; }, leastMs);
    WaitUntil(done, mostMs - leastMs);
    for (const std::string& adapter : started) {
      CallSimple(adapter, kAdapterInterface, "StopDiscovery", nullptr, kShortCallMs);
    }
  }

  bool StartDiscovery(const std::string& adapter) {
    // Wii devices are classic Bluetooth; a stack without filters still finds them.
    GVariantBuilder filter;
    g_variant_builder_init(&filter, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&filter, "{sv}", "Transport", g_variant_new_string("bredr"));
    CallSimple(adapter, kAdapterInterface, "SetDiscoveryFilter", g_variant_new("(a{sv})", &filter),
               kShortCallMs);
    return CallSimple(adapter, kAdapterInterface, "StartDiscovery", nullptr, kShortCallMs);
  }

  bool EveryFoundDeviceNamed() const {
    return std::all_of(devices.begin(), devices.end(), [](const auto& entry) {
      return !entry.second.found || !entry.second.name.empty();
    });
  }

  // The Wii devices to register, one per address: the stack keeps a device
  // object per adapter that saw it. A device connected through any adapter is
  // left alone; otherwise the object of an adapter that heard it now is
  // taken, else the first.
  std::vector<std::string> Candidates() const {
    std::map<std::string, std::string> chosen;
    std::set<std::string> connected;
    for (const auto& [path, device] : devices) {
      if (!IsWiiName(device.name)) {
        continue;
      }
      std::string address = device.address.empty() ? path : AddressKey(device.address);
      if (device.connected) {
        connected.insert(address);
        continue;
      }
      auto [entry, added] = chosen.emplace(address, path);
      if (!added && device.found && !devices.at(entry->second).found) {
        entry->second = path;
      }
    }
    std::vector<std::string> paths;
    for (const auto& [address, path] : chosen) {
      if (connected.count(address) == 0) {
        paths.push_back(path);
      }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  static std::string AddressKey(const std::string& address) {
    std::string key = address;
    std::transform(key.begin(), key.end(), key.begin(), [](char c) { return g_ascii_toupper(c); });
    return key;
  }

  // Pairs the device through the no-input agent, trusts it so that it may
  // reconnect on its own, and connects it at once: a board left unconnected
  // drops the link after a few seconds.
  void RegisterDevice(std::string path, int inquiryMs) {
    Trace("Bluetooth: registering %s", path.c_str());
    auto known = devices.find(path);
    if (known == devices.end()) {
      Trace("Bluetooth: %s went away", path.c_str());
      return;
    }
    if (known->second.paired) {
      path = ForgetAndFindAgain(path, known->second, inquiryMs);
      if (path.empty()) {
        return;
      }
    }
    RegisterAgent();
    if (!Pair(path)) {
      return;
    }
    SetProperty(path, kDeviceInterface, "Trusted", g_variant_new_boolean(TRUE));
    CallSimple(path, kDeviceInterface, "Connect", nullptr, kConnectMs);
  }

  bool Pair(const std::string& path) {
    CallResult result;
    Call(result, path, kDeviceInterface, "Pair", nullptr, kPairMs);
    return result.Ok() || result.ErrorIs("org.bluez.Error.AlreadyExists");
  }

  // A stale pairing holds a link key the board no longer has: remove the
  // device and discover it again. Gives the device's new path, or "" when it
  // did not reappear in time.
  std::string ForgetAndFindAgain(const std::string& path, BluezDevice stale, int inquiryMs) {
    std::string adapter = stale.adapter.empty() ? ParentPath(path) : stale.adapter;
    if (!CallSimple(adapter, kAdapterInterface, "RemoveDevice", g_variant_new("(o)", path.c_str()),
                    kShortCallMs)) {
      return "";
    }
    devices.erase(path);
    std::string found;
    RunDiscovery({adapter}, 0, inquiryMs, [&] { return FindUnpaired(stale.address, found); });
    if (found.empty()) {
      Trace("Bluetooth: %s did not reappear", stale.address.c_str());
    }
    return found;
  }

  bool FindUnpaired(const std::string& address, std::string& path) const {
    for (const auto& [candidate, device] : devices) {
      if (device.address == address && !device.paired) {
        path = candidate;
        return true;
      }
    }
    return false;
  }

  static std::string ParentPath(const std::string& path) {
    return path.substr(0, path.find_last_of('/'));
  }

  void RegisterAgent() {
    if (agentObject != 0) {
      return;
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kAgentXml, nullptr);
    agentObject = g_dbus_connection_register_object(connection, kAgentPath, node->interfaces[0],
                                                    &kAgentVTable, nullptr, nullptr, nullptr);
    g_dbus_node_info_unref(node);
    agentRegistered = agentObject != 0 &&
                      CallSimple(kAgentManagerPath, kAgentManagerInterface, "RegisterAgent",
                                 g_variant_new("(os)", kAgentPath, kAgentCapability), kShortCallMs);
  }

  void UnregisterAgent() {
    if (agentRegistered) {
      CallSimple(kAgentManagerPath, kAgentManagerInterface, "UnregisterAgent",
                 g_variant_new("(o)", kAgentPath), kShortCallMs);
      agentRegistered = false;
    }
    if (agentObject != 0) {
      g_dbus_connection_unregister_object(connection, agentObject);
      agentObject = 0;
    }
  }

  GCancellable* cancellable;
  GMainContext* context;
  GSource* cancelWatch = nullptr;
  GDBusConnection* connection = nullptr;
  std::vector<guint> subscriptions;
  std::vector<std::string> adapters;
  std::vector<std::string> poweredOff;
  std::map<std::string, BluezDevice> devices;
  guint agentObject = 0;
  bool agentRegistered = false;
  BluetoothFailure failure = BluetoothFailure::None;
};

}  // namespace

class ktBluetoothLibImp : public ktBluetoothLib {
 public:
  ktBluetoothLibImp() : cancellable(g_cancellable_new()) {}
  ~ktBluetoothLibImp() override { g_object_unref(cancellable); }
  ktBluetoothLibImp(const ktBluetoothLibImp&) = delete;
  ktBluetoothLibImp& operator=(const ktBluetoothLibImp&) = delete;

  void Release() override { delete this; }

  int AddDevices(int timeoutMultiplier) override {
    failure = BluetoothFailure::None;
    if (g_cancellable_is_cancelled(cancellable)) {
      return 0;
    }
    int units = std::clamp(timeoutMultiplier, 1, kMaxInquiryUnits);
    BluezSession session(cancellable);
    int count = session.AddDevices(units * kInquiryUnitMs);
    failure = session.Failure();
    Trace("Bluetooth: %d device(s) registered", count);
    return count;
  }

  void Cancel() override { g_cancellable_cancel(cancellable); }

  BluetoothFailure LastFailure() override { return failure; }

 private:
  GCancellable* cancellable;
  BluetoothFailure failure = BluetoothFailure::None;
};

ktBluetoothLib* CreateBluetoothLib() {
  return new ktBluetoothLibImp();
}
