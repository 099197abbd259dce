#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/settings.h"
#include "platform/temp_folder.h"

// The settings file reads and writes the same on every platform: these
// cases run against each platform's reader and writer.

namespace {

WeightUnit LoadedUnit(const std::string& folder, int* loaded = nullptr) {
  Settings settings;
  const int result = LoadSettings(folder, &settings);
  if (loaded)
    *loaded = result;
  return settings.unit;
}

TEST(SettingsTest, MissingOrDamagedFileGivesTheDefaults) {
  TempFolder folder;
  int loaded = -1;
  EXPECT_EQ(LoadedUnit(folder.File("none"), &loaded), WeightUnit::Kilograms);
  EXPECT_EQ(loaded, 0);

  const std::string path = folder.File(kSettingsFileName);
  const char binary[] = "\x00\x01\x02[Display]\nUnit=lb\n";
  const std::string damaged[] = {
      "[Display\nUnit=lb\n",                   // a group line without its end
      "Unit=lb\n",                             // a key before any group
      "[Display]\nUnit lb\n",                  // no '='
      "[Display]\nUnit=pounds\n",              // a value that means nothing
      "[Display]\nUnit=\n",                    // an empty one
      "[Display]\nUnit=l\xff\n",               // bytes that are not UTF-8
      std::string(binary, sizeof binary - 1),  // binary rubbish
  };
  for (const std::string& text : damaged) {
    WriteWholeFile(path, text);
    EXPECT_EQ(LoadedUnit(folder.Path()), WeightUnit::Kilograms) << text;
  }
  for (const char* text : {"[Accessibility]\nSpeech=yes\n", "[Accessibility]\nSpeech=\n",
                           "[Accessibility]\nSpeech=truex\n", "[Accessibility\nSpeech=true\n"}) {
    WriteWholeFile(path, text);
    Settings settings;
    LoadSettings(folder.Path(), &settings);
    EXPECT_EQ(settings.speech, 0) << text;
  }
  WriteWholeFile(path, "[Display]\r\nUnit=lb\r\n");
  EXPECT_EQ(LoadedUnit(folder.Path()), WeightUnit::Pounds) << "lines ending in CR LF";
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_EQ(LoadedUnit(folder.Path(), &loaded), WeightUnit::Kilograms) << "a folder in its place";
  EXPECT_EQ(loaded, 0);
}

TEST(SettingsTest, SavingKeepsOtherKeysAndReplacesADamagedFile) {
  TempFolder folder;
  const std::string path = folder.File(kSettingsFileName);
  WriteWholeFile(path, "# mine\n[Display]\nUnit=kg\nSpeak=true\n[Other]\nA=1\nA[de]=2\n");
  Settings settings;
  settings.unit = WeightUnit::Pounds;
  ASSERT_EQ(SaveSettings(folder.Path(), settings), 1);
  EXPECT_EQ(
      ReadWholeFile(path),
      "# "
      "mine\n\n[Display]\nUnit=lb\nSpeak=true\n\n[Other]\nA=1\nA[de]=2\n\n[Accessibility]\nSpeech="
      "false\n\n[Measurement]\nRecognizeUser=false\n");

  WriteWholeFile(path, "[Display\n");
  ASSERT_EQ(SaveSettings(folder.Path(), settings), 1);
  EXPECT_EQ(ReadWholeFile(path),
            "[Display]\nUnit=lb\n\n[Accessibility]\nSpeech=false\n\n[Measurement]\nRecognizeUser="
            "false\n");
}

}  // namespace
