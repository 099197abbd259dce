#pragma once

#include <cstdint>

// Where the fields of a data report (0x30..0x37, 0x3D) lie; an offset of 0
// means the report has no such field. Length counts the report id byte.
struct DataReportLayout {
  int length;
  bool buttons;
  int accel;
  int ir;
  int irSize;  // 10: basic format, 12: extended format
  int ext;
  int extSize;
};

constexpr DataReportLayout DataReportLayoutOf(uint8_t id) {
  switch (id) {
    case 0x30:
      return {3, true, 0, 0, 0, 0, 0};
    case 0x31:
      return {6, true, 3, 0, 0, 0, 0};
    case 0x32:
      return {11, true, 0, 0, 0, 3, 8};
    case 0x33:
      return {18, true, 3, 6, 12, 0, 0};
    case 0x34:
      return {22, true, 0, 0, 0, 3, 19};
    case 0x35:
      return {22, true, 3, 0, 0, 6, 16};
    case 0x36:
      return {22, true, 0, 3, 10, 13, 9};
    case 0x37:
      return {22, true, 3, 6, 10, 16, 6};
    case 0x3D:
      return {22, false, 0, 0, 0, 1, 21};
    default:
      return {0, false, 0, 0, 0, 0, 0};
  }
}
