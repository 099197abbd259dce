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

// Vendor and product of the node that carries path now, from HID_ID in its
// HID device's uevent: 1 when found, else 0. Nothing is opened.
int HidrawPathAttributes(const std::string& sysClass, const char* path, HidAttributes* attributes);

// An inotify descriptor on a device folder (normally /dev) that turns
// readable when a hidraw node appears, goes, or its owner, mode or access
// list changes; -1 when none can be made. TakeHidrawChanges reads what is waiting
// and gives 1 when a hidraw node was among it (or events were lost).
int WatchHidrawNodes(const std::string& devFolder);
int TakeHidrawChanges(int watch);
