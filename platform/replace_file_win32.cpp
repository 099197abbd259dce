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

constexpr char kStandardOutput[] = "-";

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

namespace {

// Opens what path names, links followed, for the access given; a folder
// opens too, so that it can be told apart.
HANDLE OpenExisting(const std::string& path, DWORD access) {
  return CreateFileW(WideText(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

int Fail(DWORD error) {
  errno = ErrnoOf(error);
  return 0;
}

// The file a handle of a file on a disk names, links resolved: "\\?\C:\...".
int FinalPath(HANDLE file, std::string* path) {
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
  if (length >= name.size()) {
    name.resize(length);
    length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
  }
  if (length == 0 || length >= name.size())
    return 0;
  name.resize(length);
  *path = Utf8Text(name);
  return 1;
}

int IdentifyFile(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  return file != INVALID_HANDLE_VALUE && file != nullptr && GetFileInformationByHandle(file, info);
}

int Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  if (path == kStandardOutput)
    return IdentifyFile(GetStdHandle(STD_OUTPUT_HANDLE), info);
  HANDLE file = OpenExisting(path, 0);
  const int known = IdentifyFile(file, info);
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  return known;
}

int WriteToHandle(HANDLE file, const std::string& contents) {
  if (file == INVALID_HANDLE_VALUE || file == nullptr) {
    errno = EBADF;
    return 0;
  }
  return WriteAll(file, contents) ? 1 : Fail(GetLastError());
}

}  // namespace

// Opening for writing refuses a file another program holds without sharing
// (the opening itself changes nothing); a read-only file is refused too.
int WriteToDestination(const std::string& path, const std::string& contents) {
  if (path == kStandardOutput)
    return WriteToHandle(GetStdHandle(STD_OUTPUT_HANDLE), contents);
  HANDLE file = OpenExisting(path, GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ReplaceFileContents(path, contents) : Fail(error);
  }
  const DWORD type = GetFileType(file);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    const int done = WriteToHandle(file, contents);
    CloseHandle(file);
    return done;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  std::string target;
  const int isFile = IdentifyFile(file, &info) && FinalPath(file, &target);
  CloseHandle(file);
  if (!isFile || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = isFile ? EISDIR : EINVAL;
    return 0;
  }
  // A privileged caller may open a read-only file for writing all the same.
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    errno = EACCES;
    return 0;
  }
  return ReplaceFileContents(target, contents);
}

int IsSameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION one = {};
  BY_HANDLE_FILE_INFORMATION other = {};
  return Identify(first, &one) && Identify(second, &other) &&
         one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}
