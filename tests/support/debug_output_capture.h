#pragma once

#include <gtest/gtest.h>

#include <string>

// Collects what the program sends to the platform's debug output from
// CaptureDebugOutput on; CapturedDebugOutput stops and returns it.
void CaptureDebugOutput();
std::string CapturedDebugOutput();

// The number of lines in captured debug output, each checked to end in CR LF.
inline int CountLines(const std::string& output) {
  int lines = 0;
  for (size_t end = 0; (end = output.find("\r\n", end)) != std::string::npos; end += 2) {
    ++lines;
  }
  EXPECT_TRUE(output.empty() || output.substr(output.size() - 2) == "\r\n") << output;
  return lines;
}
