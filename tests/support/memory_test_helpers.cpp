#include "memory_test_helpers.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace {

std::vector<std::string> capturedLines;

void CaptureReport(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  capturedLines.emplace_back(line);
}

}  // namespace

ReportCapture::ReportCapture(ktMemory& memory) : memory(memory) {
  capturedLines.clear();
  memory.SetReportFunction(CaptureReport);
}

ReportCapture::~ReportCapture() {
  memory.SetReportFunction(nullptr);
  memory.Shutdown();
}

const std::vector<std::string>& ReportCapture::Lines() const {
  return capturedLines;
}

void ExpectHeapValid(ktMemory& memory) {
  const char* reason = nullptr;
  EXPECT_EQ(memory.Validate(&reason), 1) << reason;
}

std::string HexAddress(const void* address) {
  char text[32];
  snprintf(text, sizeof text, "%" PRIxPTR, reinterpret_cast<std::uintptr_t>(address));
  return text;
}
