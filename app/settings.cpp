#include "app/settings.h"

#include <string>

// The keys of the settings file. The file's format is shared by every
// platform, so a key's group, name and values never change.

namespace {

const char* WriteUnit(const Settings& settings) {
  return UnitName(settings.unit);
}

int ReadUnit(const char* text, Settings* settings) {
  return ParseUnitName(text, &settings->unit);
}

const char* WriteSpeech(const Settings& settings) {
  return settings.speech ? "true" : "false";
}

int ReadSpeech(const char* text, Settings* settings) {
  const std::string value = text;
  if (value != "true" && value != "false")
    return 0;
  settings->speech = value == "true";
  return 1;
}

}  // namespace

const SettingKey kSettingKeys[] = {
    {"Display", "Unit", WriteUnit, ReadUnit},
    {"Accessibility", "Speech", WriteSpeech, ReadSpeech},
};

const int kSettingKeyCount = sizeof(kSettingKeys) / sizeof(kSettingKeys[0]);
