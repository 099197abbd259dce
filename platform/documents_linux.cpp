#include <errno.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A folder of the user's own: a full path, never the root of the system.
bool IsUsersFolder(const char* folder) {
  return IsSet(folder) && folder[0] == '/' && std::strcmp(folder, "/") != 0;
}

bool IsFolder(const char* path) {
  struct stat info = {};
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The home folder the password database gives the user, empty when it
// gives none of the user's own.
std::string PasswordHome() {
  struct passwd entry = {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr ||
      !IsUsersFolder(found->pw_dir)) {
    return "";
  }
  return found->pw_dir;
}

// $HOME (which SettleHomeFolder has set when it could); empty when it names
// no folder of the user's own, so that the log never goes to the root or to
// the folder the program started in.
std::string HomeFolder() {
  const char* home = getenv("HOME");
  return IsUsersFolder(home) ? home : "";
}

LogLocation InHomeFolder(const std::string& why) {
  const std::string home = HomeFolder();
  if (home.empty()) {
    return {"", "no home folder, the weight log cannot be kept"};
  }
  return {home + kLogFileName, why};
}

}  // namespace

void SettleHomeFolder() {
  const char* home = getenv("HOME");
  const std::string fromPasswords = IsSet(home) ? "" : PasswordHome();
  if (!fromPasswords.empty()) {
    setenv("HOME", fromPasswords.c_str(), 1);
  }
}

// Only the documents folder itself is made, never its parents: a parent that
// is missing means a setting that points nowhere useful (an unmounted disk,
// a renamed home), and the home folder is the safer place then.
LogLocation ChooseLogLocation() {
  const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
  if (!IsUsersFolder(documents)) {
    return InHomeFolder("no documents folder set, using the home folder");
  }
  if (IsFolder(documents)) {
    return {documents + std::string(kLogFileName), ""};
  }
  if (mkdir(documents, kNewFolderMode) == 0) {
    return {documents + std::string(kLogFileName), std::string("made ") + documents};
  }
  const char* reason = strerror(errno);
  return InHomeFolder(std::string(documents) + " cannot be made (" + reason +
                      "), using the home folder");
}
