#pragma once

#include <string>
#include <vector>

#include "support/memory.h"

// Collects the check reports of a ktMemory while it lives, and shuts the
// heap down at the end of a test.
class ReportCapture {
 public:
  explicit ReportCapture(ktMemory& memory);
  ~ReportCapture();
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  const std::vector<std::string>& Lines() const;

 private:
  ktMemory& memory;
};

// Fails the current test when the heap's invariants do not hold.
void ExpectHeapValid(ktMemory& memory);

// The address a report prints for a header.
std::string HexAddress(const void* address);
