#include <errno.h>
#include <fcntl.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "app/log_file.h"

namespace {

constexpr mode_t kNewFileMode = 0644;

int OpenFlagsFor(const char* mode) {
  if (strcmp(mode, "rb") == 0) {
    return O_RDONLY | O_CLOEXEC;
  }
  if (strcmp(mode, "a") == 0) {
    return O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
  }
  return -1;
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

int AppendLineDurably(FILE* stream, const char* line, size_t length) {
  int descriptor = fileno(stream);
  ssize_t written;
  do {
    written = write(descriptor, line, length);
  } while (written < 0 && errno == EINTR);
  // A short write leaves a cut line; it counts as a failure like any other.
  if (written != static_cast<ssize_t>(length)) {
    return 0;
  }
  return fsync(descriptor) == 0 ? 1 : 0;
}

void ReadLocalTime(struct tm* out) {
  time_t now = time(nullptr);
  localtime_r(&now, out);
}
