#include "platform/process.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <timeapi.h>
// clang-format on

#include "support/wide_text.h"

// The timer's period is given back by the system when the process ends.
void PrepareProcess() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  timeBeginPeriod(1);
}

// The command line split as the runtime splits it; argv only when the
// system cannot split it.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr)
    return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(Utf8Text(wide[i]));
  LocalFree(wide);
  return arguments;
}
