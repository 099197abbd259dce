#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/log_file.h"
#include "platform/replace_file.h"

namespace {

constexpr mode_t kNewFileMode = 0600;
// Ends a last line that has no line end before the next record starts.
constexpr std::string_view kLineBreak = "\r\n";

int OpenFlagsFor(const char* mode) {
  if (strcmp(mode, "rb") == 0) {
    return O_RDONLY | O_CLOEXEC;
  }
  if (strcmp(mode, "a") == 0) {
    // Read as well: the last byte tells whether the file ends in a line.
    return O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC;
  }
  return -1;
}

ssize_t WriteOnce(int descriptor, const char* text, size_t length) {
  ssize_t written;
  do {
    written = write(descriptor, text, length);
  } while (written < 0 && errno == EINTR);
  return written;
}

// Opens of a log that another rewrite keeps replacing before giving up.
constexpr int kMostReopens = 16;
constexpr size_t kReadChunk = 1 << 16;

// The writers' turn: an exclusive lock on the open file, which ends when the
// descriptor is closed.
int TakeTurn(int descriptor) {
  int result;
  do {
    result = flock(descriptor, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// A rewrite renames a new file over the log; the old one then has no name.
bool WasReplaced(int descriptor) {
  struct stat info = {};
  return fstat(descriptor, &info) == 0 && info.st_nlink == 0;
}

// Bytes from the start of text up to and including its last line feed
// within the first `length` bytes.
size_t WholeLines(const char* text, size_t length) {
  while (length > 0 && text[length - 1] != '\n') {
    --length;
  }
  return length;
}

// Takes the last `bytes` this descriptor wrote off the end of the file, but
// only while they still are its end: what another program appended since
// stays untouched.
void TakeBack(int descriptor, size_t bytes) {
  off_t end = lseek(descriptor, 0, SEEK_CUR);
  struct stat info = {};
  if (end < static_cast<off_t>(bytes) || fstat(descriptor, &info) != 0 || info.st_size != end) {
    return;
  }
  off_t start = end - static_cast<off_t>(bytes);
  if (ftruncate(descriptor, start) == 0) {
    lseek(descriptor, start, SEEK_SET);
  }
}

// Whether the file's last line lacks its line end, as an editor may save it.
bool EndsWithinALine(int descriptor) {
  struct stat info = {};
  char last = '\n';
  return fstat(descriptor, &info) == 0 && info.st_size > 0 &&
         pread(descriptor, &last, 1, info.st_size - 1) == 1 && last != '\n';
}

}  // namespace

FILE* OpenLogStream(const char* path, const char* mode) {
  int flags = OpenFlagsFor(mode);
  if (flags < 0) {
    return nullptr;
  }
  int descriptor = open(path, flags, kNewFileMode);
  if (descriptor < 0) {
    return nullptr;
  }
  FILE* stream = fdopen(descriptor, mode);
  if (stream == nullptr) {
    close(descriptor);
  }
  return stream;
}

size_t AppendLines(FILE* stream, const char* text, size_t length) {
  int descriptor = fileno(stream);
  if (!TakeTurn(descriptor)) {
    return 0;
  }
  if (WasReplaced(descriptor)) {
    errno = EAGAIN;
    return 0;
  }
  const size_t lineBreak = EndsWithinALine(descriptor) ? kLineBreak.size() : 0;
  std::string lines(kLineBreak.substr(0, lineBreak));
  lines.append(text, length);
  ssize_t written = WriteOnce(descriptor, lines.data(), lines.size());
  if (written < 0) {
    return 0;
  }
  int error = 0;  // a short write gives no cause
  size_t kept = WholeLines(lines.data(), static_cast<size_t>(written));
  if (kept < static_cast<size_t>(written)) {
    TakeBack(descriptor, static_cast<size_t>(written) - kept);
  }
  // Lines that cannot be flushed may never reach the disk: they are taken
  // out too and count as not written, so that writing them again later
  // does not double them.
  if (kept > 0 && fsync(descriptor) != 0) {
    error = errno;
    TakeBack(descriptor, kept);
    kept = 0;
  }
  errno = error;
  return kept > lineBreak ? kept - lineBreak : 0;
}

namespace {

// The log opened and locked as the file its path names now, not one that a
// rewrite replaced while this one waited for its turn; -1 on failure.
int OpenForRewrite(const std::string& path) {
  for (int attempt = 0; attempt < kMostReopens; ++attempt) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
      return -1;
    }
    if (!TakeTurn(descriptor)) {
      const int error = errno;
      close(descriptor);
      errno = error;
      return -1;
    }
    if (!WasReplaced(descriptor)) {
      return descriptor;
    }
    close(descriptor);
  }
  errno = EAGAIN;
  return -1;
}

int ReadAll(int descriptor, std::string* text) {
  text->clear();
  for (;;) {
    const size_t size = text->size();
    text->resize(size + kReadChunk);
    const ssize_t got =
        pread(descriptor, text->data() + size, kReadChunk, static_cast<off_t>(size));
    if (got < 0 && errno == EINTR) {
      text->resize(size);
      continue;
    }
    text->resize(size + static_cast<size_t>(got > 0 ? got : 0));
    if (got <= 0) {
      return got == 0;
    }
  }
}

}  // namespace

int RewriteLogFile(const std::string& path, const std::string& backupPath,
                   const LogTextEdit& edit) {
  const int descriptor = OpenForRewrite(path);
  if (descriptor < 0) {
    return 0;
  }
  std::string text;
  std::string edited;
  int done = ReadAll(descriptor, &text);
  int error = errno;
  if (done && !edit(text, &edited)) {
    done = 0;
    error = ECANCELED;
  }
  // The backup first: when it cannot be kept, the log is not touched.
  if (done && !(ReplaceFileContents(backupPath, text) && WriteToDestination(path, edited))) {
    done = 0;
    error = errno;
  }
  close(descriptor);
  errno = error;
  return done;
}

void ReadLocalTime(struct tm* out) {
  time_t now = time(nullptr);
  localtime_r(&now, out);
}
