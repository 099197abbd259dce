#include <glib.h>

#include <cstdlib>

#include "app/documents.h"

namespace {

constexpr const char* kLogFileName = "/Gravimo_log.txt";

bool IsSet(const char* folder) {
  return folder != nullptr && folder[0] != '\0';
}

}  // namespace

std::string DocumentsFolder() {
  const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
  if (IsSet(documents)) {
    return documents;
  }
  const char* home = getenv("HOME");
  if (IsSet(home)) {
    return home;
  }
  // No $HOME: the password database still knows the home folder.
  const char* passwdHome = g_get_home_dir();
  return IsSet(passwdHome) ? passwdHome : "";
}

std::string LogFilePath() {
  return DocumentsFolder() + kLogFileName;
}
