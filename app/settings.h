#pragma once

#include <string>

#include "app/users.h"
#include "platform/settings_file.h"
#include "screen/screen_data.h"
#include "screen/units.h"

// What the user chose and the program keeps between runs. Each setting is
// one key of the settings file; a key that is missing or holds a value that
// means nothing keeps its default.
struct Settings {
  WeightUnit unit = WeightUnit::Kilograms;
  int speech = 0;  // 1: results are said aloud
  // 1: a measurement the board's button started goes to the named user
  // whose trend is the one near its weight.
  int recognizeUser = 0;
  UserProfile users[kUsers];
  // The users' groups are in the file: they are written even when empty,
  // so clearing a name reaches the file; a file that never had them gets
  // none.
  int usersInFile = 0;
};

// Reads the settings file of folder into *settings, which should hold the
// defaults; 1 when the file was read (see LoadSettingsFile).
int LoadSettings(const std::string& folder, Settings* settings);

// Writes the settings into the settings file of folder; 1 when written (see
// SaveSettingsFile).
int SaveSettings(const std::string& folder, const Settings& settings);
