#include <gio/gio.h>

#include <utility>

#include "platform/single_instance.h"
#include "support/trace.h"

// The program's name on the session bus, as a GtkApplication would own it,
// and the standard interface through which desktops activate an application.

namespace {

constexpr char kBusName[] = "io.github.gravimo.Gravimo";
constexpr char kObjectPath[] = "/io/github/gravimo/Gravimo";
constexpr char kInterface[] = "org.freedesktop.Application";
constexpr char kInterfaceXml[] =
    "<node><interface name='org.freedesktop.Application'>"
    "<method name='Activate'><arg type='a{sv}' name='platform_data' direction='in'/></method>"
    "</interface></node>";
// RequestName's flag and answers, as the bus daemon numbers them.
constexpr guint32 kDoNotQueue = 4;
constexpr guint32 kPrimaryOwner = 1;
constexpr guint32 kAlreadyOwner = 4;

GDBusConnection* sessionBus = nullptr;  // held from the claim to its release
guint objectId = 0;
int ownsName = 0;
std::function<void()> bringToFrontNow;

GVariant* CallBus(GDBusConnection* bus, const char* method, GVariant* arguments,
                  const GVariantType* replyType, GError** error) {
  return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", method, arguments, replyType,
                                     G_DBUS_CALL_FLAGS_NONE, -1, nullptr, error);
}

void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                  GVariant*, GDBusMethodInvocation* invocation, gpointer) {
  if (g_strcmp0(method, "Activate") == 0 && bringToFrontNow) {
    bringToFrontNow();
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

constexpr GDBusInterfaceVTable kVTable = {OnMethodCall, nullptr, nullptr, {}};

// The object answers before the name is owned, so that no activation is
// lost between the two.
guint ExportActivation(GDBusConnection* bus) {
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterfaceXml, nullptr);
  const guint id = g_dbus_connection_register_object(bus, kObjectPath, node->interfaces[0],
                                                     &kVTable, nullptr, nullptr, nullptr);
  g_dbus_node_info_unref(node);
  return id;
}

// 1 owned, 0 owned by another copy, -1 when the bus did not answer.
int RequestName(GDBusConnection* bus) {
  GError* error = nullptr;
  GVariant* reply = CallBus(bus, "RequestName", g_variant_new("(su)", kBusName, kDoNotQueue),
                            G_VARIANT_TYPE("(u)"), &error);
  if (reply == nullptr) {
    DebugPrint("single copy: the session bus refused %s (%s)", kBusName, error->message);
    g_error_free(error);
    return -1;
  }
  guint32 answer = 0;
  g_variant_get(reply, "(u)", &answer);
  g_variant_unref(reply);
  return answer == kPrimaryOwner || answer == kAlreadyOwner ? 1 : 0;
}

void ActivateOtherCopy(GDBusConnection* bus) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus, kBusName, kObjectPath, kInterface, "Activate",
                                                g_variant_new("(a{sv})", nullptr), nullptr,
                                                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
  if (reply == nullptr) {
    DebugPrint("single copy: the running copy did not answer (%s)", error->message);
    g_error_free(error);
    return;
  }
  g_variant_unref(reply);
}

}  // namespace

int ClaimSingleInstance(std::function<void()> bringToFront) {
  ReleaseSingleInstance();
  sessionBus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (sessionBus == nullptr) {
    return 1;
  }
  bringToFrontNow = std::move(bringToFront);
  objectId = ExportActivation(sessionBus);
  const int owned = RequestName(sessionBus);
  if (owned != 0) {
    ownsName = owned == 1;
    return 1;
  }
  ActivateOtherCopy(sessionBus);
  ReleaseSingleInstance();
  return 0;
}

void ReleaseSingleInstance() {
  bringToFrontNow = nullptr;
  if (sessionBus == nullptr) {
    return;
  }
  if (ownsName) {
    GVariant* reply =
        CallBus(sessionBus, "ReleaseName", g_variant_new("(s)", kBusName), nullptr, nullptr);
    if (reply != nullptr) {
      g_variant_unref(reply);
    }
  }
  if (objectId != 0) {
    g_dbus_connection_unregister_object(sessionBus, objectId);
  }
  ownsName = 0;
  objectId = 0;
  g_object_unref(sessionBus);
  sessionBus = nullptr;
}
