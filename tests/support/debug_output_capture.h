#pragma once

#include <string>

// Collects what the program sends to the platform's debug output from
// CaptureDebugOutput on; CapturedDebugOutput stops and returns it.
void CaptureDebugOutput();
std::string CapturedDebugOutput();
