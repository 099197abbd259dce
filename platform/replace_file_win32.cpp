#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/replace_file.h"
#include "support/wide_text.h"

namespace {

// The errno that the caller reports for a Windows error.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
      return EINVAL;
    default:
      return EIO;
  }
}

// A new file beside path, named after it, that no other writer has: the
// process id and a count make the name, CREATE_NEW makes sure of it.
HANDLE CreateTemporary(const std::wstring& path, std::wstring* temporary) {
  static LONG count = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(InterlockedIncrement(&count)) + L".tmp";
    HANDLE file = CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
      return file;
  }
  return INVALID_HANDLE_VALUE;
}

int WriteAll(HANDLE file, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, contents.data() + done, chunk, &written, nullptr) || written == 0)
      return 0;
    done += written;
  }
  return 1;
}

}  // namespace

// The move is a rename within one folder, which NTFS does at once; with
// MOVEFILE_WRITE_THROUGH it returns only when the rename is on the disk.
int ReplaceFileContents(const std::string& path, const std::string& contents) {
  const std::wstring target = WideText(path);
  std::wstring temporary;
  HANDLE file = CreateTemporary(target, &temporary);
  if (file == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(GetLastError());
    return 0;
  }
  int done = WriteAll(file, contents) && FlushFileBuffers(file);
  DWORD error = GetLastError();
  CloseHandle(file);
  if (done && !MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    done = 0;
    error = GetLastError();
  }
  if (!done) {
    DeleteFileW(temporary.c_str());
    errno = ErrnoOf(error);
  }
  return done;
}
