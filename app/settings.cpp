#include "app/settings.h"

#include <string>
#include <vector>

// The keys of the settings file. The file's format is shared by every
// platform, so a key's group, name and values never change. A new setting is
// one field of Settings and one key here.

namespace {

int ReadSpeech(const char* text, int* speech) {
  const std::string value = text;
  if (value != "true" && value != "false")
    return 0;
  *speech = value == "true";
  return 1;
}

std::vector<SettingsFileKey> Keys(Settings* settings) {
  return {
      {"Display", "Unit", [settings] { return std::string(UnitName(settings->unit)); },
       [settings](const char* text) { return ParseUnitName(text, &settings->unit); }},
      {"Accessibility", "Speech",
       [settings] { return std::string(settings->speech ? "true" : "false"); },
       [settings](const char* text) { return ReadSpeech(text, &settings->speech); }},
  };
}

}  // namespace

int LoadSettings(const std::string& folder, Settings* settings) {
  return LoadSettingsFile(folder, Keys(settings));
}

int SaveSettings(const std::string& folder, const Settings& settings) {
  Settings written = settings;
  return SaveSettingsFile(folder, Keys(&written));
}
