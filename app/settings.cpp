#include "app/settings.h"

// The keys of the settings file. The file's format is shared by every
// platform, so a key's group, name and values never change.

namespace {

const char* WriteUnit(const Settings& settings) {
  return UnitName(settings.unit);
}

int ReadUnit(const char* text, Settings* settings) {
  return ParseUnitName(text, &settings->unit);
}

}  // namespace

const SettingKey kSettingKeys[] = {
    {"Display", "Unit", WriteUnit, ReadUnit},
};

const int kSettingKeyCount = sizeof(kSettingKeys) / sizeof(kSettingKeys[0]);
