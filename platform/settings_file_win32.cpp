#include <shlobj.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/key_file.h"
#include "platform/replace_file.h"
#include "platform/settings_file.h"
#include "support/trace.h"
#include "support/wide_text.h"

// The settings file as the key file that the Linux program writes through
// GLib, read and written by KeyFile, in the user's roaming application data.

namespace {

std::string SettingsPath(const std::string& folder) {
  return folder + "\\" + kSettingsFileName;
}

// The whole file; 0 with the Windows error in *error when it cannot be read.
int ReadFileText(const std::string& path, std::string* text, DWORD* error) {
  HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return 0;
  }
  text->clear();
  char buffer[4096];
  DWORD count = 0;
  BOOL read;
  while ((read = ReadFile(file, buffer, sizeof buffer, &count, nullptr)) && count > 0)
    text->append(buffer, count);
  *error = GetLastError();
  CloseHandle(file);
  return read;
}

// 0 when the file cannot be read or is no key file, with the reason in
// *why; a missing file, the first run's normal case, gives no reason.
int LoadKeyFile(const std::string& path, KeyFile* file, std::string* why) {
  std::string text;
  DWORD error = 0;
  if (!ReadFileText(path, &text, &error)) {
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      *why = "Windows error " + std::to_string(error);
    return 0;
  }
  return file->Parse(text, why);
}

// Each read value means something or is said to mean nothing; either way the
// rest of the file still counts.
void ReadKeys(const KeyFile& file, const std::string& path,
              const std::vector<SettingsFileKey>& keys) {
  for (const SettingsFileKey& key : keys) {
    std::string value;
    if (file.Get(key.group, key.name, &value) && !key.read(value.c_str())) {
      DebugPrint("settings: %s=%s in %s means nothing, keeping %s", key.name, value.c_str(),
                 path.c_str(), key.write().c_str());
    }
  }
}

// The folder with its parents; 1 when it is there afterwards.
int MakeFolder(const std::string& folder) {
  const int made = SHCreateDirectoryExW(nullptr, WideText(folder).c_str(), nullptr);
  if (made == ERROR_SUCCESS || made == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = GetFileAttributesW(WideText(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  return 0;
}

}  // namespace

// %APPDATA%\Gravimo; empty when the shell knows no application data folder,
// which loads the defaults and saves nothing.
std::string UserSettingsFolder() {
  wchar_t folder[MAX_PATH] = L"";
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       folder) != S_OK ||
      folder[0] == L'\0') {
    return "";
  }
  return Utf8Text(folder) + "\\Gravimo";
}

int LoadSettingsFile(const std::string& folder, const std::vector<SettingsFileKey>& keys) {
  if (folder.empty())
    return 0;
  const std::string path = SettingsPath(folder);
  KeyFile file;
  std::string why;
  if (!LoadKeyFile(path, &file, &why)) {
    if (!why.empty())
      DebugPrint("settings: %s cannot be read (%s), using the defaults", path.c_str(), why.c_str());
    return 0;
  }
  ReadKeys(file, path, keys);
  return 1;
}

int SaveSettingsFile(const std::string& folder, const std::vector<SettingsFileKey>& keys) {
  if (folder.empty()) {
    DebugPrint("settings: no application data folder, the settings are not kept");
    return 0;
  }
  const std::string path = SettingsPath(folder);
  // What the file holds besides our keys is kept; a damaged file, which
  // leaves the key file empty, is replaced.
  KeyFile file;
  std::string ignored;
  LoadKeyFile(path, &file, &ignored);
  for (const SettingsFileKey& key : keys)
    file.Set(key.group, key.name, key.write());
  if (!MakeFolder(folder)) {
    DebugPrint("settings: the folder %s cannot be made", folder.c_str());
    return 0;
  }
  if (!ReplaceFileContents(path, file.Text())) {
    DebugPrint("settings: %s cannot be written (%s)", path.c_str(), std::strerror(errno));
    return 0;
  }
  return 1;
}
