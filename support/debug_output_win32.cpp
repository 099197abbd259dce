#include <windows.h>

#include "support/debug_output.h"

// The debugger's output; without a debugger the system drops the line.
void WriteDebugLine(const char* line, std::size_t) {
  OutputDebugStringA(line);
}
