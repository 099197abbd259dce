#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/replace_file.h"

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int WriteAll(int descriptor, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t written = write(descriptor, contents.data() + done, contents.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return 0;
    done += static_cast<size_t>(written);
  }
  return 1;
}

// The replaced file keeps who may read it; a new one gets mkstemp's 0600.
int KeepPermissions(int descriptor, const std::string& path) {
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0)
    return 1;
  return fchmod(descriptor, info.st_mode & 07777) == 0;
}

}  // namespace

// The temporary file is hidden and named after its target, so a leftover
// from a crash is recognisable.
int ReplaceFileContents(const std::string& path, const std::string& contents) {
  std::string temporary = FolderOf(path) + "/." + NameOf(path) + ".XXXXXX";
  const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
  if (descriptor < 0)
    return 0;
  int done =
      WriteAll(descriptor, contents) && KeepPermissions(descriptor, path) && fsync(descriptor) == 0;
  int error = errno;
  if (close(descriptor) != 0 && done) {
    done = 0;
    error = errno;
  }
  if (done && rename(temporary.c_str(), path.c_str()) != 0) {
    done = 0;
    error = errno;
  }
  if (!done) {
    unlink(temporary.c_str());
    errno = error;
  }
  return done;
}
