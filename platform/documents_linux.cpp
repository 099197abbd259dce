#include <errno.h>
#include <glib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "platform/documents.h"

namespace {

constexpr const char* kLogFileName = "/Gravimo_log.txt";
// A documents folder made here holds personal files: only its owner may look in.
constexpr mode_t kNewFolderMode = 0700;

bool IsSet(const char* folder) {
  return folder != nullptr && folder[0] != '\0';
}

bool IsFolder(const char* path) {
  struct stat info = {};
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (IsSet(home)) {
    return home;
  }
  // No $HOME: the password database still knows the home folder.
  const char* passwdHome = g_get_home_dir();
  return IsSet(passwdHome) ? passwdHome : "";
}

}  // namespace

// Only the documents folder itself is made, never its parents: a parent that
// is missing means a setting that points nowhere useful (an unmounted disk,
// a renamed home), and the home folder is the safer place then.
LogLocation ChooseLogLocation() {
  const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
  if (!IsSet(documents)) {
    return {HomeFolder() + kLogFileName, "no documents folder set, using the home folder"};
  }
  if (IsFolder(documents)) {
    return {documents + std::string(kLogFileName), ""};
  }
  if (mkdir(documents, kNewFolderMode) == 0) {
    return {documents + std::string(kLogFileName), std::string("made ") + documents};
  }
  const char* reason = strerror(errno);
  return {HomeFolder() + kLogFileName,
          std::string(documents) + " cannot be made (" + reason + "), using the home folder"};
}
