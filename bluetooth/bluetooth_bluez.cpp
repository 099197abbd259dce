// Bluetooth registration over BlueZ's D-Bus API (org.bluez on the system bus).
//
// One AddDevices call is one session: a private connection to the system bus,
// driven on a private main context on the calling thread, so every wait is
// bounded and Cancel (any thread) wakes it through one GCancellable.
//
// The session discovers for the whole search and registers each Wii device
// that answers as soon as its name is known: a user presses SYNC some
// seconds after choosing the command, and two boards may come one after the
// other. Devices that did not answer are never touched: a board that is
// merely switched off keeps its pairing.
#include "bluetooth/bluetooth_bluez.h"

#include <gio/gio.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

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

constexpr int kBusConnectMs = 2000;
constexpr int kShortCallMs = 3000;
// Pairing pages the board, exchanges the PIN and reads its services.
constexpr int kPairMs = 15000;
constexpr int kConnectMs = 10000;

// The agent answers only for the device this session is registering and
// refuses every request about any other: BlueZ makes the first agent
// registered its default one, which other devices would reach. The Wii PIN
// comes from BlueZ itself, so requests for a PIN or passkey are refused.
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

// Whether the agent accepts `method` with `parameters`, while `pairing` is
// the object path of the device being registered ("" when none is).
bool AgentAccepts(const gchar* method, GVariant* parameters, const std::string& pairing) {
  if (g_str_equal(method, "Release") || g_str_equal(method, "Cancel")) {
    return true;
  }
  if (g_str_equal(method, "RequestPinCode") || g_str_equal(method, "RequestPasskey")) {
    return false;
  }
  const gchar* device = nullptr;
  g_variant_get_child(parameters, 0, "&o", &device);
  return !pairing.empty() && pairing == device;
}

void OnAgentCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                 GVariant* parameters, GDBusMethodInvocation* invocation, gpointer pairing) {
  const bool accepted = AgentAccepts(method, parameters, *static_cast<const std::string*>(pairing));
  Trace("Bluetooth agent: %s %s", method, accepted ? "accepted" : "refused");
  if (accepted) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.bluez.Error.Rejected",
                                               "Not the device being registered");
  }
}

const GDBusInterfaceVTable kAgentVTable = {OnAgentCall, nullptr, nullptr, {}};

bool IsWiiName(const std::string& name) {
  return name == kBoardBluetoothName || name == kRemoteBluetoothName;
}

struct BluezDevice {
  std::string name;
  std::string address;
  std::string adapter;
  guint32 deviceClass = 0;
  bool connected = false;
  bool paired = false;
  bool bonded = false;
  bool knowsBonded = false;  // the stack tells Bonded (BlueZ 5.65 and later)
  bool found = false;        // answered while this run discovered

  // A pairing whose key the stack keeps. Older stacks know only Paired.
  bool StoredPairing() const { return knowsBonded ? bonded : paired; }
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
  if (g_variant_lookup(properties, "Bonded", "b", &flag)) {
    device.bonded = flag;
    device.knowsBonded = true;
  }
  g_variant_lookup(properties, "Class", "u", &device.deviceClass);
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

  int AddDevices(int searchMs) {
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
      Fail(adapters.empty()  ? BluetoothFailure::NoAdapter
           : blocked.empty() ? BluetoothFailure::AdapterOff
                             : BluetoothFailure::AdapterBlocked);
      return 0;
    }
    adapters = usable;
    for (const std::string& adapter : adapters) {
      if (StartDiscovery(adapter)) {
        discovering.push_back(adapter);
      }
    }
    int count = RegisterWhileSearching(searchMs);
    for (const std::string& adapter : discovering) {
      CallSimple(adapter, kAdapterInterface, "StopDiscovery", nullptr, kShortCallMs);
    }
    if (!Cancelled() && HeardWithoutName()) {
      Fail(BluetoothFailure::NameUnknown);
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

  // PowerState tells a radio switch apart from the user's choice (BlueZ
  // 5.64 and later; older ones are taken as switched off).
  void ReadAdapterPower(const std::string& path, GVariant* properties) {
    gboolean powered = FALSE;
    if (g_variant_lookup(properties, "Powered", "b", &powered) && !powered) {
      poweredOff.push_back(path);
      const gchar* state = nullptr;
      if (g_variant_lookup(properties, "PowerState", "&s", &state) &&
          g_str_equal(state, "off-blocked")) {
        blocked.push_back(path);
      }
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
    blocked.clear();
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

  // A cancelled run was stopped, not refused; the first reason is kept.
  void Fail(BluetoothFailure reason) {
    if (Cancelled() || failure != BluetoothFailure::None) {
      return;
    }
    failure = reason;
    Trace("Bluetooth: failure %d", static_cast<int>(failure));
  }

  bool StartDiscovery(const std::string& adapter) {
    // Wii devices are classic Bluetooth; a stack without filters still finds
    // them. A filter that only repeats an adapter's own transport counts as
    // none, and BlueZ then pauses 5 s after each 10.24 s inquiry; asking for
    // every report keeps the filter, and each inquiry follows the last at
    // once, so a board whose SYNC is pressed late is heard in time.
    GVariantBuilder filter;
    g_variant_builder_init(&filter, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&filter, "{sv}", "Transport", g_variant_new_string("bredr"));
    g_variant_builder_add(&filter, "{sv}", "DuplicateData", g_variant_new_boolean(TRUE));
    CallSimple(adapter, kAdapterInterface, "SetDiscoveryFilter", g_variant_new("(a{sv})", &filter),
               kShortCallMs);
    return CallSimple(adapter, kAdapterInterface, "StartDiscovery", nullptr, kShortCallMs);
  }

  // Registers each Wii device as its name arrives until searchMs have passed,
  // then those already named by then.
  int RegisterWhileSearching(int searchMs) {
    gint64 deadline = g_get_monotonic_time() + gint64{searchMs} * 1000;
    int count = 0;
    std::string path;
    while (!Cancelled()) {
      if (NextToRegister(path)) {
        count += RegisterDevice(path);
        continue;
      }
      gint64 leftMs = (deadline - g_get_monotonic_time()) / 1000;
      if (leftMs <= 0) {
        break;
      }
      WaitUntil([&] { return NextToRegister(path); }, static_cast<int>(leftMs));
    }
    return count;
  }

  // The next Wii device that answered in this search and is not connected
  // through any adapter, once per address: the stack keeps a device object
  // per adapter that saw it.
  bool NextToRegister(std::string& next) const {
    std::set<std::string> connected;
    for (const auto& [path, device] : devices) {
      if (device.connected) {
        connected.insert(AddressKey(device.address));
      }
    }
    for (const auto& [path, device] : devices) {
      std::string address = AddressKey(device.address);
      if (device.found && IsWiiName(device.name) && connected.count(address) == 0 &&
          handled.count(address) == 0) {
        next = path;
        return true;
      }
    }
    return false;
  }

  // A Wii-family device that answered, was never named and was not registered.
  bool HeardWithoutName() const {
    return std::any_of(devices.begin(), devices.end(), [this](const auto& entry) {
      const BluezDevice& device = entry.second;
      return device.found && device.name.empty() && device.deviceClass == kWiiClassOfDevice &&
             handled.count(AddressKey(device.address)) == 0;
    });
  }

  static std::string AddressKey(const std::string& address) {
    std::string key = address;
    std::transform(key.begin(), key.end(), key.begin(), [](char c) { return g_ascii_toupper(c); });
    return key;
  }

  // Pairs the device through the agent, trusts it so that it may reconnect
  // by its button, and connects it at once: a board left unconnected drops
  // the link after a few seconds. 1 when all three succeeded; otherwise the
  // reason is recorded.
  int RegisterDevice(const std::string& path) {
    const BluezDevice device = devices.at(path);
    std::string address = AddressKey(device.address);
    Trace("Bluetooth: registering %s", path.c_str());
    if (device.StoredPairing() && forgotten.count(address) == 0) {
      // It answers in pairing mode while the stack holds a pairing: the
      // board has lost its key. The device comes back, unpaired, in the
      // search that restarts.
      forgotten.insert(address);
      Forget(path, device);
      return 0;
    }
    handled.insert(address);
    RegisterAgent();
    pairing = path;
    int registered = PairTrustAndConnect(path);
    pairing.clear();
    return registered;
  }

  int PairTrustAndConnect(const std::string& path) {
    CallResult paired;
    Call(paired, path, kDeviceInterface, "Pair", nullptr, kPairMs);
    if (!paired.Ok() && !paired.ErrorIs("org.bluez.Error.AlreadyExists")) {
      Fail(IsRefusal(paired) ? BluetoothFailure::PairingRefused : BluetoothFailure::PairingFailed);
      return 0;
    }
    if (!SetProperty(path, kDeviceInterface, "Trusted", g_variant_new_boolean(TRUE))) {
      // A board that is not trusted never comes back by its button: undo the
      // pairing so that the next registration starts afresh.
      Fail(BluetoothFailure::NotTrusted);
      RemoveDevice(path);
      return 0;
    }
    if (!CallSimple(path, kDeviceInterface, "Connect", nullptr, kConnectMs)) {
      Fail(BluetoothFailure::NotConnected);
      return 0;
    }
    return 1;
  }

  static bool IsRefusal(const CallResult& result) {
    return result.ErrorIs("org.bluez.Error.AuthenticationFailed") ||
           result.ErrorIs("org.bluez.Error.AuthenticationRejected");
  }

  // Removes the device and restarts discovery on its adapter, which finds
  // it again from the start of a fresh inquiry.
  void Forget(const std::string& path, const BluezDevice& device) {
    if (!RemoveDevice(path)) {
      Fail(BluetoothFailure::PairingFailed);
      handled.insert(AddressKey(device.address));
      return;
    }
    std::string adapter = AdapterOf(path, device);
    if (std::find(discovering.begin(), discovering.end(), adapter) != discovering.end()) {
      CallSimple(adapter, kAdapterInterface, "StopDiscovery", nullptr, kShortCallMs);
      if (!StartDiscovery(adapter)) {
        std::erase(discovering, adapter);
      }
    }
  }

  bool RemoveDevice(const std::string& path) {
    std::string adapter = AdapterOf(path, devices.at(path));
    if (!CallSimple(adapter, kAdapterInterface, "RemoveDevice", g_variant_new("(o)", path.c_str()),
                    kShortCallMs)) {
      return false;
    }
    devices.erase(path);
    return true;
  }

  static std::string AdapterOf(const std::string& path, const BluezDevice& device) {
    return device.adapter.empty() ? path.substr(0, path.find_last_of('/')) : device.adapter;
  }

  void RegisterAgent() {
    if (agentObject != 0) {
      return;
    }
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kAgentXml, nullptr);
    agentObject = g_dbus_connection_register_object(connection, kAgentPath, node->interfaces[0],
                                                    &kAgentVTable, &pairing, nullptr, nullptr);
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
  std::vector<std::string> blocked;  // off by a radio switch
  std::vector<std::string> discovering;
  std::map<std::string, BluezDevice> devices;
  std::set<std::string> handled;    // addresses registered or given up in this search
  std::set<std::string> forgotten;  // addresses whose stale pairing was removed
  std::string pairing;              // the device the agent answers for
  guint agentObject = 0;
  bool agentRegistered = false;
  BluetoothFailure failure = BluetoothFailure::None;
};

}  // namespace

class ktBluetoothLibImp : public ktBluetoothLib {
 public:
  // searchMs 0: as long as the multiplier and kBluetoothSearchLeastMs ask.
  explicit ktBluetoothLibImp(int searchMs) : cancellable(g_cancellable_new()), searchMs(searchMs) {}
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
    int count = session.AddDevices(
        searchMs > 0 ? searchMs : std::max(units * kInquiryUnitMs, kBluetoothSearchLeastMs));
    failure = session.Failure();
    Trace("Bluetooth: %d device(s) registered", count);
    return count;
  }

  void Cancel() override { g_cancellable_cancel(cancellable); }

  BluetoothFailure LastFailure() override { return failure; }

 private:
  GCancellable* cancellable;
  const int searchMs;
  BluetoothFailure failure = BluetoothFailure::None;
};

ktBluetoothLib* CreateBluetoothLib() {
  return new ktBluetoothLibImp(0);
}

ktBluetoothLib* CreateBluetoothLibSearching(int searchMs) {
  return new ktBluetoothLibImp(searchMs);
}
