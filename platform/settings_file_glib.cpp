#include <glib.h>

#include <cerrno>

#include "platform/settings_file.h"
#include "support/trace.h"

// The settings file as a GLib key file. Its syntax is the plain one that
// g_key_file_to_data writes: "[Group]" lines, "Key=value" lines and "#"
// comments.

namespace {

// Only the folder the program makes is private; its parents are the desktop's.
constexpr int kNewFolderMode = 0700;

std::string SettingsPath(const std::string& folder) {
  return folder + "/" + kSettingsFileName;
}

// Each read value means something or is said to mean nothing; either way the
// rest of the file still counts.
void ReadKeys(GKeyFile* file, const std::string& path, const std::vector<SettingsFileKey>& keys) {
  for (const SettingsFileKey& key : keys) {
    gchar* value = g_key_file_get_string(file, key.group, key.name, nullptr);
    if (value != nullptr && !key.read(value)) {
      DebugPrint("settings: %s=%s in %s means nothing, keeping %s", key.name, value, path.c_str(),
                 key.write().c_str());
    }
    g_free(value);
  }
}

}  // namespace

// Empty when the configuration folder is no folder of the user's own: a
// relative one (an empty HOME) or one at the root of the system (no home at
// all); the defaults then hold and nothing is saved.
std::string UserSettingsFolder() {
  const std::string config = g_get_user_config_dir();
  if (config.empty() || config[0] != '/' || config.rfind('/') == 0) {
    return "";
  }
  return config + "/gravimo";
}

int LoadSettingsFile(const std::string& folder, const std::vector<SettingsFileKey>& keys) {
  if (folder.empty())
    return 0;
  const std::string path = SettingsPath(folder);
  GKeyFile* file = g_key_file_new();
  GError* error = nullptr;
  const int loaded = g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, &error);
  if (loaded) {
    ReadKeys(file, path, keys);
  } else {
    if (!g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
      DebugPrint("settings: %s cannot be read (%s), using the defaults", path.c_str(),
                 error->message);
    }
    g_error_free(error);
  }
  g_key_file_free(file);
  return loaded;
}

int SaveSettingsFile(const std::string& folder, const std::vector<SettingsFileKey>& keys) {
  if (folder.empty()) {
    DebugPrint("settings: no configuration folder of the user's own, the settings are not kept");
    return 0;
  }
  const std::string path = SettingsPath(folder);
  GKeyFile* file = g_key_file_new();
  // What the file holds besides our keys is kept, keys in every language
  // too (GLib would keep only the user's); a damaged file is replaced.
  const auto keepAll =
      static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);
  if (!g_key_file_load_from_file(file, path.c_str(), keepAll, nullptr)) {
    g_key_file_free(file);
    file = g_key_file_new();
  }
  for (const SettingsFileKey& key : keys)
    g_key_file_set_string(file, key.group, key.name, key.write().c_str());
  gsize length = 0;
  gchar* data = g_key_file_to_data(file, &length, nullptr);
  g_key_file_free(file);
  GError* error = nullptr;
  // g_file_set_contents writes a temporary file beside it and renames it
  // over the old one, so the old file stays whole until the new one is.
  const int saved = g_mkdir_with_parents(folder.c_str(), kNewFolderMode) == 0 &&
                    g_file_set_contents(path.c_str(), data, static_cast<gssize>(length), &error);
  if (!saved) {
    DebugPrint("settings: %s cannot be written (%s)", path.c_str(),
               error ? error->message : g_strerror(errno));
  }
  if (error)
    g_error_free(error);
  g_free(data);
  return saved;
}
