#pragma once

#include <string>
#include <vector>

#include "transport/hid_binding.h"

// The system's HID devices through hidraw: /sys/class/hidraw in node order.
// A device's interface path stays the same when it reconnects under another
// /dev/hidrawN: "hid-uniq:<Bluetooth address>" from HID_UNIQ of the hidraw
// parent's uevent, else "hid-phys:<physical path>" from HID_PHYS, else the
// node itself ("/dev/hidrawN"). Opening a path scans sysfs again and opens
// the node that carries it now; "/dev/..." paths are opened as they are.
ktHidProvider& HidrawProvider();

// The interface paths of the hidraw nodes under a sysfs class folder
// (normally /sys/class/hidraw), in node-number order.
std::vector<std::string> HidrawInterfacePaths(const std::string& sysClass);
