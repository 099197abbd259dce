#include "platform/process.h"

// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on

// The timer's period is given back by the system when the process ends.
void PrepareProcess() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  timeBeginPeriod(1);
}
