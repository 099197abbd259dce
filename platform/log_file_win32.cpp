#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/log_file.h"
#include "platform/replace_file.h"
#include "support/wide_text.h"

namespace {

// Writers of the log take turns through a lock on one byte far beyond any
// real end of the file, so that readers are never locked out of its text.
constexpr DWORD kTurnOffsetHigh = 0x7FFFFFFF;
// Ends a last line that has no line end before the next record starts.
constexpr std::string_view kLineBreak = "\r\n";

bool TakeTurn(HANDLE file, OVERLAPPED* turn) {
  *turn = {};
  turn->OffsetHigh = kTurnOffsetHigh;
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, turn) != 0;
}

// Bytes from the start of text up to and including its last line feed
// within the first `length` bytes.
size_t WholeLines(const char* text, size_t length) {
  while (length > 0 && text[length - 1] != '\n') {
    --length;
  }
  return length;
}

bool CutAt(HANDLE file, LONGLONG end) {
  LARGE_INTEGER at;
  at.QuadPart = end;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
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
  OVERLAPPED turn;
  if (!TakeTurn(file, &turn)) {
    errno = 0;
    return 0;
  }
  int error = 0;  // a short write gives no cause
  size_t kept = AppendAtEnd(file, text, length, &error);
  UnlockFileEx(file, 0, 1, 0, &turn);
  errno = error;
  return kept;
}

namespace {

// Moves the first size bytes of the file, a megabyte at a time, through
// move(offset, chunk, &moved, &at): a ReadFile or a WriteFile there.
template <typename Move>
int MoveAll(size_t size, Move move) {
  size_t done = 0;
  while (done < size) {
    DWORD moved = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1 << 20));
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(done);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(done) >> 32);
    if (!move(done, chunk, &moved, &at) || moved == 0) {
      return 0;
    }
    done += moved;
  }
  return 1;
}

int ReadAll(HANDLE file, std::string* text) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    return 0;
  }
  text->assign(static_cast<size_t>(size.QuadPart), '\0');
  return MoveAll(text->size(), [&](size_t offset, DWORD chunk, DWORD* moved, OVERLAPPED* at) {
    return ReadFile(file, text->data() + offset, chunk, moved, at);
  });
}

// The whole file becomes text, flushed to the disk.
int WriteWhole(HANDLE file, const std::string& text) {
  return MoveAll(text.size(),
                 [&](size_t offset, DWORD chunk, DWORD* moved, OVERLAPPED* at) {
                   return WriteFile(file, text.data() + offset, chunk, moved, at);
                 }) &&
         CutAt(file, static_cast<LONGLONG>(text.size())) && FlushFileBuffers(file) != 0;
}

}  // namespace

// Windows will not rename a file over one that others hold open, and every
// appender holds the log open for a moment; so the log is rewritten in
// place, in the writers' turn, after its old text is safe in the backup.
// A write that fails puts the old text back, which fits where it was.
int RewriteLogFile(const std::string& path, const std::string& backupPath,
                   const LogTextEdit& edit) {
  HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errno = GetLastError() == ERROR_FILE_NOT_FOUND ? ENOENT : EACCES;
    return 0;
  }
  OVERLAPPED turn;
  if (!TakeTurn(file, &turn)) {
    CloseHandle(file);
    errno = EACCES;
    return 0;
  }
  std::string text;
  std::string edited;
  int done = ReadAll(file, &text);
  int error = done ? 0 : EIO;
  if (done && !edit(text, &edited)) {
    done = 0;
    error = ECANCELED;
  }
  if (done && !ReplaceFileContents(backupPath, text)) {
    done = 0;
    error = errno;
  }
  if (done && !WriteWhole(file, edited)) {
    done = 0;
    error = GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
    WriteWhole(file, text);  // should even this fail, the backup holds the old text
  }
  UnlockFileEx(file, 0, 1, 0, &turn);
  CloseHandle(file);
  errno = error;
  return done;
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
