#pragma once

#include <functional>
#include <string>
#include <vector>

// The settings file: a small key file of "[Group]" lines and "Key=value"
// lines, read and written the same way on every platform so that it moves
// between them unchanged. What the keys mean is the caller's.

// One key of the file and how the caller's setting reads and writes as text.
struct SettingsFileKey {
  const char* group;
  const char* name;
  std::function<std::string()> write;
  // 0 when the text means nothing; the setting is then left as it was.
  std::function<int(const char* text)> read;
};

inline constexpr const char* kSettingsFileName = "settings.ini";

// The program's folder among the user's configuration folders
// ($XDG_CONFIG_HOME/gravimo, %APPDATA%\Gravimo); empty when the user has
// none, and an empty folder reads and writes no file.
std::string UserSettingsFolder();

// Reads the settings file of folder, handing each key's value to its read:
// a missing, unreadable or damaged file reads nothing (and says why on the
// debug output unless the file is simply missing). 1 when the file was read.
int LoadSettingsFile(const std::string& folder, const std::vector<SettingsFileKey>& keys);

// Writes each key's value into the settings file of folder, making the
// folder when needed. Keys of the file that are not asked for are kept. The
// file is replaced whole or not at all, so a failure leaves the old one; 1
// when written.
int SaveSettingsFile(const std::string& folder, const std::vector<SettingsFileKey>& keys);
