#pragma once

#include <cstdint>
#include <vector>

// The Service Discovery Protocol server of a simulated board: two records,
// the HID service (its report descriptor, control PSM 0x11 and interrupt
// PSM 0x13) and the Device ID (vendor 0x057E, product 0x0306), both under
// the public browse group.
//
// Answers one request PDU with one response PDU. Service search, attribute
// and search-attribute requests are served; a response longer than the
// client allows, or than fits maxPayload bytes, is continued in later
// requests as the protocol's continuation state says.
class SdpBoard {
 public:
  SdpBoard(const char* name, std::vector<uint8_t> reportDescriptor);

  std::vector<uint8_t> Answer(const uint8_t* request, int length, int maxPayload) const;
  // Each record whole, as a client that browsed the board stores it.
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Records() const;

  struct Record {
    uint32_t handle;
    std::vector<uint16_t> uuids;                                        // every UUID it carries
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> attributes;  // ascending ids
  };

 private:
  std::vector<const Record*> Matching(const std::vector<uint16_t>& pattern) const;
  std::vector<const Record*> WithHandle(uint32_t handle) const;

  std::vector<Record> records;
};
