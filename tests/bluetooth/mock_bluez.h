#pragma once

#include <sys/types.h>

#include <string>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

// A private D-Bus daemon standing in for the system bus, and on it, when
// started, python3-dbusmock's BlueZ service with two additions: devices put
// "in range" appear while an adapter discovers, and every call is recorded.
// The constructor points DBUS_SYSTEM_BUS_ADDRESS at the daemon; the destructor
// restores it and ends both processes.
class MockBluez {
 public:
  MockBluez();
  ~MockBluez();
  MockBluez(const MockBluez&) = delete;
  MockBluez& operator=(const MockBluez&) = delete;

  // False when the daemon could not be started.
  bool BusReady() const { return bus != nullptr; }
  // Starts the BlueZ service and waits until it owns its bus name.
  bool StartBluez();

  // Adds adapter `name` (e.g. "hci0"), powered; gives its object path.
  std::string AddAdapter(const std::string& name);
  // A device the stack already knows (remembered), not paired or connected.
  std::string AddKnownDevice(const std::string& adapter, const std::string& address,
                             const std::string& name);
  // A device that answers when the adapter discovers, with the Wii family's
  // class unless told otherwise. Like a real board it may tell its name only
  // nameDelayMs later (never when negative).
  void PutInRange(const std::string& adapter, const std::string& address, const std::string& name,
                  int nameDelayMs = 0, unsigned deviceClass = 0x002504);
  void MarkPaired(const std::string& adapter, const std::string& address);
  void MarkConnected(const std::string& adapter, const std::string& address);
  void SetBoolProperty(const std::string& path, const std::string& interface,
                       const std::string& name, bool value);
  // A property the template does not have (e.g. Bonded); `value` may be
  // floating, it is consumed.
  void AddProperty(const std::string& path, const std::string& interface, const std::string& name,
                   GVariant* value);
  // Replaces a method of a mocked object with Python code (see dbusmock's AddMethod).
  void ReplaceMethod(const std::string& path, const std::string& interface,
                     const std::string& method, const std::string& code);

  // The recorded calls of `method` on the object at `path`, each call's
  // arguments printed as a GVariant tuple, one call a line.
  std::string Calls(const std::string& path, const std::string& method);
  int CallCount(const std::string& path, const std::string& method);
  bool BoolProperty(const std::string& path, const std::string& interface, const std::string& name);

  static std::string DevicePath(const std::string& adapter, const std::string& address);

 private:
  std::string previousAddress;
  bool hadPreviousAddress = false;
  pid_t daemon = -1;
  pid_t bluez = -1;
  GDBusConnection* bus = nullptr;
};
