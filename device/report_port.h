#pragma once

#include <cstdint>

// The seam between a device object and whatever carries its reports.
//
// A device hands every output report to its port; the port's owner delivers
// every received input report to ktWiiDevice::OnInputReport. The HID channel
// of the device manager is one port; tests and the simulator provide others.
class ktReportPort {
 public:
  virtual int IsOpen() = 0;
  virtual void Send(const uint8_t* report, int length) = 0;

 protected:
  ~ktReportPort() = default;
};
