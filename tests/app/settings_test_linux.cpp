#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/settings.h"
#include "app_test_helpers.h"
#include "resources/menu.h"

namespace {

// The settings a window starts with when $XDG_CONFIG_HOME is config, after
// the user chose `command` (0: nothing). The desktop's folders are read once
// per process, so each start is a child process of its own, as a real restart.
Settings SettingsOfStartIn(const std::string& config, uint16_t command = 0) {
  const pid_t child = fork();
  if (child == 0) {
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    AppWindow window(nullptr);
    window.LoadUserSettings();
    if (command != 0)
      window.OnMessage(nullptr, kWmCommand, command, 0);
    _exit(static_cast<int>(window.settings.unit) | window.settings.speech << 2);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  Settings settings;
  settings.unit = static_cast<WeightUnit>(WEXITSTATUS(status) & 3);
  settings.speech = WEXITSTATUS(status) >> 2;
  return settings;
}

WeightUnit UnitOfStartIn(const std::string& config, uint16_t command = 0) {
  return SettingsOfStartIn(config, command).unit;
}

TEST(SettingsTest, UnitIsKeptAcrossARestartInTheUsersConfigFolder) {
  TempFolder home;
  const std::string config = home.File("config");
  EXPECT_EQ(UnitOfStartIn(config), WeightUnit::Kilograms);
  EXPECT_FALSE(std::filesystem::exists(config)) << "nothing is written before a choice";

  EXPECT_EQ(UnitOfStartIn(config, resources::kCommandUnitStones), WeightUnit::StonesPounds);
  EXPECT_EQ(ReadWholeFile(config + "/gravimo/settings.ini"),
            "[Display]\nUnit=st\n\n[Accessibility]\nSpeech=false\n\n[Measurement]\nRecognizeUser="
            "false\n");
  EXPECT_EQ(UnitOfStartIn(config), WeightUnit::StonesPounds);
  EXPECT_EQ(UnitOfStartIn(config, resources::kCommandUnitPounds), WeightUnit::Pounds);
  EXPECT_EQ(UnitOfStartIn(config), WeightUnit::Pounds);
}

TEST(SettingsTest, SpeechIsOffUntilChosenAndKeptAcrossARestart) {
  TempFolder home;
  const std::string config = home.File("config");
  EXPECT_EQ(SettingsOfStartIn(config).speech, 0);
  EXPECT_EQ(SettingsOfStartIn(config, resources::kCommandSpeech).speech, 1);
  EXPECT_EQ(SettingsOfStartIn(config).speech, 1);
  EXPECT_EQ(SettingsOfStartIn(config).unit, WeightUnit::Kilograms);
  EXPECT_EQ(SettingsOfStartIn(config, resources::kCommandSpeech).speech, 0);
  EXPECT_EQ(SettingsOfStartIn(config).speech, 0);
}

// The new file is written beside the old one and renamed over it. Here the
// name of the new file is one that the system refuses (longer than a path
// may be), which works even for a user whom permissions do not stop.
TEST(SettingsTest, FailedSaveLeavesTheOldFile) {
  TempFolder folder;
  const std::string name = std::string("/") + kSettingsFileName;
  std::string deep = folder.Path();
  while (deep.size() + name.size() < PATH_MAX - 1) {
    const size_t length = std::min<size_t>(200, PATH_MAX - 2 - deep.size() - name.size());
    deep.append("/").append(length, 'd');
  }
  ASSERT_EQ(deep.size() + name.size(), size_t{PATH_MAX - 1});
  std::filesystem::create_directories(deep);
  WriteWholeFile(deep + name, "[Display]\nUnit=st\n");

  Settings settings;
  settings.unit = WeightUnit::Pounds;
  EXPECT_EQ(SaveSettings(deep, settings), 0);
  EXPECT_EQ(ReadWholeFile(deep + name), "[Display]\nUnit=st\n");
  Settings loaded;
  EXPECT_EQ(LoadSettings(deep, &loaded), 1);
  EXPECT_EQ(loaded.unit, WeightUnit::StonesPounds);

  WriteWholeFile(folder.File("file"), "");
  EXPECT_EQ(SaveSettings(folder.File("file/gravimo"), settings), 0) << "no folder can be made";
}

}  // namespace
