#include <shlobj.h>
#include <windows.h>

#include "platform/documents.h"

namespace {

constexpr const char* kLogFileName = "\\Gravimo_log.txt";

}  // namespace

// The shell's documents folder, made when it is missing. Without one the
// log goes to the root of the current drive.
LogLocation ChooseLogLocation() {
  char folder[MAX_PATH] = "";
  if (SHGetFolderPathA(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       folder) != S_OK) {
    folder[0] = '\0';
  }
  if (folder[0] == '\0') {
    return {kLogFileName, "no documents folder, using the root of the drive"};
  }
  return {folder + std::string(kLogFileName), ""};
}

void SettleHomeFolder() {}
