#pragma once

#include <array>
#include <cstdint>

// Every fixed output report the host sends, as a constant byte string. The
// array's size is the report's length, report id included. The 22-byte
// register writes are zero-filled after their data.

template <std::size_t N>
using OutputReport = std::array<uint8_t, N>;

namespace output_report_detail {
// A 22-byte write-memory report (id 0x16): space, 24-bit address, byte count,
// then the data bytes, zero-filled to the end.
template <std::size_t DataCount>
constexpr OutputReport<22> WriteReport(uint8_t space, uint32_t address,
                                       const std::array<uint8_t, DataCount>& data) {
  static_assert(DataCount >= 1 && DataCount <= 16);
  OutputReport<22> report{};
  report[0] = 0x16;
  report[1] = space;
  report[2] = static_cast<uint8_t>(address >> 16);
  report[3] = static_cast<uint8_t>(address >> 8);
  report[4] = static_cast<uint8_t>(address);
  report[5] = static_cast<uint8_t>(DataCount);
  for (std::size_t i = 0; i < DataCount; ++i) {
    report[6 + i] = data[i];
  }
  return report;
}
}  // namespace output_report_detail

inline constexpr OutputReport<2> kOutLedsOff{0x11, 0x00};
inline constexpr OutputReport<2> kOutStatusRequest{0x15, 0x00};
inline constexpr OutputReport<2> kOutIrOn{0x13, 0x04};
inline constexpr OutputReport<2> kOutIr2On{0x1A, 0x04};
inline constexpr OutputReport<2> kOutIrOff{0x13, 0x00};
inline constexpr OutputReport<2> kOutIr2Off{0x1A, 0x00};

inline constexpr OutputReport<3> kOutModeButtons{0x12, 0x00, 0x30};
inline constexpr OutputReport<3> kOutMode32{0x12, 0x00, 0x32};
inline constexpr OutputReport<3> kOutMode33{0x12, 0x00, 0x33};
inline constexpr OutputReport<3> kOutMode37{0x12, 0x00, 0x37};

inline constexpr OutputReport<7> kOutReadRemoteCal{0x17, 0x00, 0x00, 0x00, 0x10, 0x00, 0x10};
inline constexpr OutputReport<7> kOutReadExtId{0x17, 0x04, 0xA4, 0x00, 0xF0, 0x00, 0x10};
inline constexpr OutputReport<7> kOutReadExtMemory{0x17, 0x04, 0xA4, 0x00, 0x00, 0x01, 0x00};

inline constexpr OutputReport<22> kOutExtInit =
    output_report_detail::WriteReport<1>(0x04, 0xA40040, {0x00});
inline constexpr OutputReport<22> kOutIrEnableReg =
    output_report_detail::WriteReport<1>(0x04, 0xB00030, {0x08});
inline constexpr OutputReport<22> kOutIrSensitivity1 = output_report_detail::WriteReport<9>(
    0x04, 0xB00000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90, 0x00, 0xC0});
inline constexpr OutputReport<22> kOutIrSensitivity2 =
    output_report_detail::WriteReport<2>(0x04, 0xB0001A, {0x40, 0x00});
// Template of the IR mode write; byte kIrModeByte carries the mode.
inline constexpr OutputReport<22> kOutIrMode =
    output_report_detail::WriteReport<1>(0x04, 0xB00033, {0x00});
inline constexpr int kIrModeByte = 6;

// IR camera modes written by EnableIR.
inline constexpr uint8_t kIrModeBasic = 1;
inline constexpr uint8_t kIrModeExtended = 3;
