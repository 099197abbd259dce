#include <windows.h>

#include <string>

#include "demo/log_folder.h"

namespace {

constexpr int kAttempts = 100;

}  // namespace

// The name carries the process id and a counter; a name that another
// program took in the meantime is skipped, as CreateDirectory never opens an
// existing folder.
std::string MakeLogFolder() {
  char base[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof(base), base);
  if (length == 0 || length > MAX_PATH) {
    return "";
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::string folder = std::string(base) + "gravimo-demo-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(attempt);
    if (CreateDirectoryA(folder.c_str(), nullptr)) {
      return folder;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      return "";
    }
  }
  return "";
}

// Without its line end, which a title cannot show.
void TellLogFolderInWindow(const std::string& line, ProgramSetup& setup) {
  setup.windowTitle = line.substr(0, line.find_last_not_of("\r\n") + 1);
}
