#pragma once

class ktHidProvider;
class ktWiiLibDevice;

// The device manager as the application sees it. Operations in slot order.
// The list of devices only grows while the manager runs: a pointer from
// GetDevice stays valid, at the same position, until Release.
class ktWiiLib {
 public:
  virtual ~ktWiiLib() = default;                          // slot 0
  virtual void DumpDevices() = 0;                         // slot 1
  virtual void Release() = 0;                             // slot 2
  virtual int GetDeviceCount() = 0;                       // slot 3
  virtual ktWiiLibDevice* GetDevice(unsigned index) = 0;  // slot 4
  virtual int Start(int vendorId, int productId) = 0;     // slot 5
  virtual int RequestUpdate() = 0;                        // slot 6
};

// The device manager over the system's HID devices: every /dev/hidraw* node
// whose vendor and product match, opened read-write and non-blocking (the
// user needs access to the nodes). Start binds the HID functions and starts
// the I/O thread, which enumerates at once, again after each RequestUpdate,
// and whenever a hidraw node appears or its access changes; a board that
// went away and comes back under another node is re-opened in place, since
// its interface path is built from its Bluetooth address (see
// transport/hid_linux.h).
ktWiiLib* CreateWiiLib();

// The same device manager over any provider of HID devices (the in-process
// virtual HID bus, a test's). Nothing is started; the provider must outlive
// the manager.
ktWiiLib* CreateWiiLibOn(ktHidProvider& provider);

// How many devices of the wanted ids a device manager from CreateWiiLib (or
// CreateWiiLibOn) found at its last look but could not open for lack of
// permission; 0 for any other ktWiiLib. Any thread.
int CountRefusedDevices(ktWiiLib* lib);

inline constexpr int kWiiVendorId = 0x057E;
inline constexpr int kWiiProductId = 0x0306;
