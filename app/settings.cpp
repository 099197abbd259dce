#include "app/settings.h"

#include <string>
#include <vector>

// The keys of the settings file. The file's format is shared by every
// platform, so a key's group, name and values never change. A new setting is
// one field of Settings and one key here.

namespace {

int ReadSwitch(const char* text, int* on) {
  const std::string value = text;
  if (value != "true" && value != "false")
    return 0;
  *on = value == "true";
  return 1;
}

// Tenths as "170.5"; 0 is written as nothing.
std::string TenthsText(int32_t tenths) {
  return tenths > 0 ? std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) : "";
}

int ReadTenths(const char* text, int32_t least, int32_t most, int32_t* tenths) {
  int64_t value = 0;
  if (!ParseDecimal(text, 1, &value) || value < least || value > most)
    return 0;
  *tenths = static_cast<int32_t>(value);
  return 1;
}

// [User0] to [User3]: Name, Height in centimetres, Goal in kilograms.
void AddUserKeys(std::vector<SettingsFileKey>& keys, Settings* settings, int index) {
  static constexpr const char* kGroups[kUsers] = {"User0", "User1", "User2", "User3"};
  UserProfile* user = &settings->users[index];
  int* inFile = &settings->usersInFile;
  keys.push_back({kGroups[index], "Name", [user] { return user->name; },
                  [user, inFile](const char* text) {
                    user->name = CleanName(text);
                    return *inFile = 1;
                  }});
  keys.push_back({kGroups[index], "Height", [user] { return TenthsText(user->heightMm); },
                  [user, inFile](const char* text) {
                    *inFile = 1;
                    return ReadTenths(text, kLeastHeightMm, kMostHeightMm, &user->heightMm);
                  }});
  keys.push_back({kGroups[index], "Goal", [user] { return TenthsText(user->goalTenthsKg); },
                  [user, inFile](const char* text) {
                    *inFile = 1;
                    return ReadTenths(text, 1, kMostTenthsKg, &user->goalTenthsKg);
                  }});
}

bool HasUsers(const Settings& settings) {
  for (const UserProfile& user : settings.users) {
    if (!user.name.empty() || user.heightMm > 0 || user.goalTenthsKg > 0)
      return true;
  }
  return settings.usersInFile != 0;
}

// Reading asks for every key; writing leaves out the users' groups of a
// file that has never had them.
std::vector<SettingsFileKey> Keys(Settings* settings, bool reading) {
  std::vector<SettingsFileKey> keys = {
      {"Display", "Unit", [settings] { return std::string(UnitName(settings->unit)); },
       [settings](const char* text) { return ParseUnitName(text, &settings->unit); }},
      {"Accessibility", "Speech",
       [settings] { return std::string(settings->speech ? "true" : "false"); },
       [settings](const char* text) { return ReadSwitch(text, &settings->speech); }},
      {"Measurement", "RecognizeUser",
       [settings] { return std::string(settings->recognizeUser ? "true" : "false"); },
       [settings](const char* text) { return ReadSwitch(text, &settings->recognizeUser); }},
  };
  if (reading || HasUsers(*settings)) {
    for (int user = 0; user < kUsers; ++user)
      AddUserKeys(keys, settings, user);
  }
  return keys;
}

}  // namespace

int LoadSettings(const std::string& folder, Settings* settings) {
  return LoadSettingsFile(folder, Keys(settings, true));
}

int SaveSettings(const std::string& folder, const Settings& settings) {
  Settings written = settings;
  return SaveSettingsFile(folder, Keys(&written, false));
}
