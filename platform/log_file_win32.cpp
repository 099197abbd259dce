#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/log_file.h"
#include "support/wide_text.h"

namespace {

// Writers of the log take turns through a lock on one byte far beyond any
// real end of the file, so that readers are never locked out of its text.
constexpr DWORD kTurnOffsetHigh = 0x7FFFFFFF;
// Ends a last line that has no line end before the next record starts.
constexpr std::string_view kLineBreak = "\r\n";

// Bytes from the start of text up to and including its last line feed
// within the first `length` bytes.
size_t WholeLines(const char* text, size_t length) {
  while (length > 0 && text[length - 1] != '\n') {
    --length;
  }
  return length;
}

void CutAt(HANDLE file, LONGLONG end) {
  LARGE_INTEGER at;
  at.QuadPart = end;
  if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
    SetEndOfFile(file);
  }
}

// Whether the file's last line lacks its line end, as Notepad saves it.
bool EndsWithinALine(HANDLE file, LONGLONG size) {
  if (size == 0) {
    return false;
  }
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(size - 1);
  at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
  char last = '\n';
  DWORD read = 0;
  return ReadFile(file, &last, 1, &read, &at) && read == 1 && last != '\n';
}

// Appends at the end the file has now, after a line end when the last line
// has none; the caller holds the writers' turn. Gives the bytes of text kept.
size_t AppendAtEnd(HANDLE file, const char* text, size_t length, int* error) {
  LARGE_INTEGER start;
  if (!GetFileSizeEx(file, &start)) {
    return 0;
  }
  const size_t lineBreak = EndsWithinALine(file, start.QuadPart) ? kLineBreak.size() : 0;
  std::string lines(kLineBreak.substr(0, lineBreak));
  lines.append(text, length);
  OVERLAPPED at = {};
  at.Offset = start.LowPart;
  at.OffsetHigh = static_cast<DWORD>(start.HighPart);
  DWORD written = 0;
  if (!WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, &at)) {
    DWORD cause = GetLastError();
    *error = cause == ERROR_DISK_FULL || cause == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
  }
  size_t kept = WholeLines(lines.data(), written);
  if (kept < written) {
    CutAt(file, start.QuadPart + static_cast<LONGLONG>(kept));
  }
  // Lines that cannot be flushed may never reach the disk: they are taken
  // out too, so that writing them again later does not double them.
  if (kept > 0 && !FlushFileBuffers(file)) {
    *error = EIO;
    CutAt(file, start.QuadPart);
    kept = 0;
  }
  return kept > lineBreak ? kept - lineBreak : 0;
}

}  // namespace

// Both modes are binary: the lines already end in CR LF, which a text-mode
// stream would turn into CR CR LF. The path is UTF-8, which only the wide
// functions take whole.
FILE* OpenLogStream(const char* path, const char* mode) {
  const std::wstring widePath = WideText(path);
  if (strcmp(mode, "rb") == 0) {
    return _wfopen(widePath.c_str(), L"rb");
  }
  if (strcmp(mode, "a") != 0) {
    return nullptr;
  }
  HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(descriptor, "ab");
  if (stream == nullptr) {
    _close(descriptor);
  }
  return stream;
}

size_t AppendLines(FILE* stream, const char* text, size_t length) {
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  OVERLAPPED turn = {};
  turn.OffsetHigh = kTurnOffsetHigh;
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn)) {
    errno = 0;
    return 0;
  }
  int error = 0;  // a short write gives no cause
  size_t kept = AppendAtEnd(file, text, length, &error);
  UnlockFileEx(file, 0, 1, 0, &turn);
  errno = error;
  return kept;
}

void ReadLocalTime(struct tm* out) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  *out = {};
  out->tm_year = now.wYear - 1900;
  out->tm_mon = now.wMonth - 1;
  out->tm_mday = now.wDay;
  out->tm_hour = now.wHour;
  out->tm_min = now.wMinute;
  out->tm_sec = now.wSecond;
  out->tm_wday = now.wDayOfWeek;
  out->tm_isdst = -1;
}
