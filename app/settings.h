#pragma once

#include <string>

#include "screen/units.h"

// What the user chose and the program keeps between runs. Each setting is
// one key of a small key file ("[Group]" lines and "Key=value" lines); a key
// that is missing or holds a value that means nothing keeps its default.
struct Settings {
  WeightUnit unit = WeightUnit::Kilograms;
  int speech = 0;  // 1: results are said aloud
};

// One key of the settings file and how its setting reads and writes as text.
// A new setting is one field above and one entry of kSettingKeys.
struct SettingKey {
  const char* group;
  const char* name;
  const char* (*write)(const Settings& settings);
  // 0 when the text means nothing; the setting is then left as it was.
  int (*read)(const char* text, Settings* settings);
};

extern const SettingKey kSettingKeys[];
extern const int kSettingKeyCount;

inline constexpr const char* kSettingsFileName = "settings.ini";

// The program's folder among the user's configuration folders
// ($XDG_CONFIG_HOME/gravimo).
std::string UserSettingsFolder();

// Reads the settings file of folder into *settings, which should hold the
// defaults: a missing, unreadable or damaged file leaves them all (and says
// why on the debug output unless the file is simply missing). 1 when the
// file was read.
int LoadSettings(const std::string& folder, Settings* settings);

// Writes the settings into the settings file of folder, making the folder
// when needed. Keys of the file that this program does not know are kept.
// The file is replaced whole or not at all, so a failure leaves the old one;
// 1 when written.
int SaveSettings(const std::string& folder, const Settings& settings);
