#pragma once

#include "transport/hid_binding.h"

// The HID devices of the system the program runs on: hidraw on Linux, the
// HID class and device-setup libraries on Windows.
ktHidProvider& SystemHidProvider();
