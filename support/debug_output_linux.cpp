#include <cstdio>

#include "support/debug_output.h"

// Standard error: one locked stream call per line.
void WriteDebugLine(const char* line, std::size_t length) {
  fwrite(line, 1, length, stderr);
  fflush(stderr);
}
