#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "platform/temp_folder.h"
#include "support/wide_text.h"

namespace {

TEST(SettingsWin32, TheFileIsKeptInTheRoamingApplicationData) {
  const char* appData = std::getenv("APPDATA");
  ASSERT_NE(appData, nullptr);
  EXPECT_EQ(UserSettingsFolder(), std::string(appData) + "\\Gravimo");
}

TEST(SettingsWin32, SavingMakesTheFoldersAndAFailureKeepsTheOldFile) {
  TempFolder home;
  const std::string folder = home.File("Roaming\\Gravimo");
  Settings settings;
  settings.unit = WeightUnit::StonesPounds;
  ASSERT_EQ(SaveSettings(folder, settings), 1);
  const std::string path = folder + "\\" + kSettingsFileName;
  EXPECT_EQ(ReadWholeFile(path),
            "[Display]\nUnit=st\n\n[Accessibility]\nSpeech=false\n\n[Measurement]\nRecognizeUser="
            "false\n");

  HANDLE holder = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  settings.unit = WeightUnit::Pounds;
  EXPECT_EQ(SaveSettings(folder, settings), 0);
  CloseHandle(holder);
  Settings loaded;
  EXPECT_EQ(LoadSettings(folder, &loaded), 1);
  EXPECT_EQ(loaded.unit, WeightUnit::StonesPounds);

  WriteWholeFile(home.File("file"), "");
  EXPECT_EQ(SaveSettings(home.File("file\\Gravimo"), settings), 0) << "no folder can be made";
}

}  // namespace
