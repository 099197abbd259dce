#include <windows.h>

#include <string>

#include "demo/log_folder.h"
#include "support/wide_text.h"

namespace {

constexpr int kAttempts = 100;

}  // namespace

// The name carries the process id and a counter; a name that another
// program took in the meantime is skipped, as CreateDirectory never opens an
// existing folder.
std::string MakeLogFolder() {
  wchar_t base[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH) {
    return "";
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::wstring folder = std::wstring(base, length) + L"gravimo-demo-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(attempt);
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
      return Utf8Text(folder);
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
