#pragma once

#include <cstdint>

// The largest input and output report a device declares, in bytes, with the
// report-id byte counted (a device without report ids still gets one byte in
// front, as the HID class reports it).
struct HidReportLengths {
  int input;
  int output;
};

// Parses a HID report descriptor. Reads only within [bytes, bytes + size);
// returns 0 for a descriptor that ends inside an item or declares no input
// and no output report, 1 otherwise.
int ParseReportDescriptor(const uint8_t* bytes, int size, HidReportLengths* lengths);
