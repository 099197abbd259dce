#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
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

constexpr char kStandardOutput[] = "-";
// As many links as the kernel follows in one path.
constexpr int kMostLinks = 40;

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

namespace {

int StatDestination(const std::string& path, struct stat* info) {
  if (path == kStandardOutput)
    return fstat(STDOUT_FILENO, info);
  return stat(path.c_str(), info);
}

bool IsSame(const struct stat& first, const struct stat& second) {
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool IsStandardOutput(const struct stat& info) {
  struct stat output = {};
  return fstat(STDOUT_FILENO, &output) == 0 && IsSame(info, output);
}

// A pipe, a terminal or a device takes the text as it comes; it is never
// truncated, made or renamed.
int WriteToStream(const std::string& path, const std::string& contents) {
  const int descriptor = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0)
    return 0;
  int done = WriteAll(descriptor, contents);
  int error = errno;
  if (close(descriptor) != 0 && done) {
    done = 0;
    error = errno;
  }
  errno = error;
  return done;
}

// The path a chain of symbolic links ends in, which need not exist yet (a
// link to a file not made so far). A relative link counts from its own
// folder.
int FollowLinks(const std::string& path, std::string* target) {
  *target = path;
  for (int hops = 0; hops < kMostLinks; ++hops) {
    struct stat info = {};
    if (lstat(target->c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
      return 1;
    std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX), '\0');
    const ssize_t length = readlink(target->c_str(), link.data(), link.size());
    if (length < 0)
      return 0;
    link.resize(static_cast<size_t>(length));
    *target = link[0] == '/' ? link : FolderOf(*target) + "/" + link;
  }
  errno = ELOOP;
  return 0;
}

// Root may write anything; a file without any write permission is still
// one its owner meant to keep as it is.
bool MayReplace(const std::string& path, const struct stat& info) {
  return (info.st_mode & 0222) != 0 && faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

int WriteToDestination(const std::string& path, const std::string& contents) {
  if (path == kStandardOutput)
    return WriteAll(STDOUT_FILENO, contents);
  struct stat info = {};
  if (stat(path.c_str(), &info) != 0) {
    std::string target;
    return errno == ENOENT && FollowLinks(path, &target) && ReplaceFileContents(target, contents);
  }
  if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))
    return WriteToStream(path, contents);
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return 0;
  }
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    return 0;
  }
  // /dev/stdout of a program whose output goes to a file: that file is
  // written through the open output, which the shell has already emptied.
  if (IsStandardOutput(info))
    return WriteAll(STDOUT_FILENO, contents);
  std::string target;
  if (!FollowLinks(path, &target))
    return 0;
  if (!MayReplace(target, info)) {
    errno = EACCES;
    return 0;
  }
  return ReplaceFileContents(target, contents);
}

int IsSameFile(const std::string& first, const std::string& second) {
  struct stat one = {};
  struct stat other = {};
  return StatDestination(first, &one) == 0 && StatDestination(second, &other) == 0 &&
         IsSame(one, other);
}
