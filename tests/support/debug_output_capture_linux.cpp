#include <gtest/gtest.h>

#include "debug_output_capture.h"

void CaptureDebugOutput() {
  testing::internal::CaptureStderr();
}

std::string CapturedDebugOutput() {
  return testing::internal::GetCapturedStderr();
}
