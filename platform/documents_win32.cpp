#include <shlobj.h>
#include <windows.h>

#include "platform/documents.h"
#include "support/wide_text.h"

namespace {

constexpr const char* kLogFileName = "\\Gravimo_log.txt";

// The user's documents folder as the shell knows it (moved, redirected or
// on another drive), made when it is missing; empty when there is none.
std::string DocumentsFolder() {
  wchar_t* folder = nullptr;
  std::string path;
  if (SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &folder) == S_OK)
    path = Utf8Text(folder);
  CoTaskMemFree(folder);
  return path;
}

}  // namespace

// Without a documents folder the log goes to the root of the current drive.
LogLocation ChooseLogLocation() {
  const std::string folder = DocumentsFolder();
  if (folder.empty()) {
    return {kLogFileName, "no documents folder, using the root of the drive"};
  }
  return {folder + kLogFileName, ""};
}

void SettleHomeFolder() {}
