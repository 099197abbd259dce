// Users with names, heights and goals: the arithmetic against figures
// worked out by hand, the settings file, and the dialog's answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_window.h"
#include "app/settings.h"
#include "app/users.h"
#include "app_test_helpers.h"
#include "window/form_dialog.h"

namespace {

TEST(UsersTest, BodyMassIndexAndHeightsInBothUnits) {
  // 70 kg / 1.75 m / 1.75 m = 22.857...; 95.3 kg / 1.8^2 = 29.413...
  EXPECT_NEAR(BodyMassIndex(70.0, 1750), 22.857, 0.001);
  EXPECT_NEAR(BodyMassIndex(95.3, 1800), 29.414, 0.001);
  EXPECT_EQ(BodyMassIndex(70.0, 0), 0.0);

  int32_t mm = 0;
  ASSERT_TRUE(ParseHeight("170,5", WeightUnit::Kilograms, &mm));
  EXPECT_EQ(mm, 1705);
  // 5 ft 9 in = 69 in = 1752.6 mm; 6' = 1828.8 mm.
  ASSERT_TRUE(ParseHeight("5'9\"", WeightUnit::Pounds, &mm));
  EXPECT_EQ(mm, 1753);
  ASSERT_TRUE(ParseHeight(" 6' ", WeightUnit::StonesPounds, &mm));
  EXPECT_EQ(mm, 1829);
  EXPECT_EQ(HeightText(1753, WeightUnit::Pounds), "5'9.0");
  EXPECT_EQ(HeightText(1705, WeightUnit::Kilograms), "170.5");
  ASSERT_TRUE(ParseHeight("", WeightUnit::Kilograms, &mm));
  EXPECT_EQ(mm, 0) << "no height";
  for (const char* refused : {"40", "260", "1.70.5", "170.55", "abc", "5'13x"})
    EXPECT_FALSE(ParseHeight(refused, WeightUnit::Pounds, &mm)) << refused;

  int32_t tenths = 0;
  ASSERT_TRUE(ParseTypedWeight("154.3", WeightUnit::Pounds, &tenths));  // 69.989 kg
  EXPECT_EQ(tenths, 700);
  EXPECT_FALSE(ParseTypedWeight("350.1", WeightUnit::Kilograms, &tenths));
}

TEST(UsersTest, NamesAreCleanedAndCut) {
  EXPECT_EQ(CleanName("  Anna\tMaria  "), "AnnaMaria");
  EXPECT_EQ(CleanName("Bob\xff\xfe!"), "Bob!");
  EXPECT_EQ(CleanName("あいうえおかきくけこさし"), "あいうえおかきくけこ");
  EXPECT_EQ(CleanName("\xe3\x81"), "") << "a cut sequence";
}

TEST(UsersTest, SettingsKeepUsersAndWriteNoneUntilThereAreSome) {
  TempFolder folder;
  Settings settings;
  ASSERT_EQ(SaveSettings(folder.Path(), settings), 1);
  EXPECT_EQ(ReadWholeFile(folder.File(kSettingsFileName)).find("[User"), std::string::npos);

  settings.users[2] = {"Anna", 1705, 620};
  ASSERT_EQ(SaveSettings(folder.Path(), settings), 1);
  Settings read;
  ASSERT_EQ(LoadSettings(folder.Path(), &read), 1);
  EXPECT_EQ(read.users[2].name, "Anna");
  EXPECT_EQ(read.users[2].heightMm, 1705);
  EXPECT_EQ(read.users[2].goalTenthsKg, 620);
  EXPECT_EQ(read.users[1].name, "");

  read.users[2] = {};
  ASSERT_EQ(SaveSettings(folder.Path(), read), 1);
  Settings cleared;
  LoadSettings(folder.Path(), &cleared);
  EXPECT_EQ(cleared.users[2].name, "") << "clearing reaches the file";
  EXPECT_EQ(cleared.users[2].heightMm, 0);
}

class UsersDialogTest : public AppWindowTest {
 protected:
  UsersDialogTest() {
    window.settingsFolder = folder.File("settings");
    window.askForm = [this](FormQuestion* form) {
      asked.push_back(*form);
      if (answers.empty())
        return 0;
      for (size_t i = 0; i < answers.front().size(); ++i)
        form->fields[i].text = answers.front()[i];
      answers.erase(answers.begin());
      return 1;
    };
  }

  std::vector<FormQuestion> asked;
  std::vector<std::vector<std::string>> answers;  // name, height, goal per user
};

TEST_F(UsersDialogTest, AnswersAreCheckedKeptAndTheNamesShown) {
  answers = {{"", "", "", "Anna", "17O", ""}, {"", "", "", "Anna", "170", "62"}};
  window.EditUsers();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_FALSE(asked[1].note.empty()) << "a height that does not read is asked for again";
  EXPECT_EQ(window.settings.users[1].heightMm, 1700);
  EXPECT_EQ(window.settings.users[1].goalTenthsKg, 620);

  Settings saved;
  LoadSettings(window.settingsFolder, &saved);
  EXPECT_EQ(saved.users[1].name, "Anna");

  Append(1, 61.5f);
  ScreenFrame frame;
  frame.history = &window.history;
  frame.userLabels = window.userNames;
  char line[kHistoryText] = {};
  std::snprintf(line, sizeof line, "%s", window.history[0]);
  EXPECT_EQ(LabelledHistoryLine(frame.userLabels, line), "Anna 2024-05-06 07:08:09  61.5");
  EXPECT_EQ(LabelledHistoryLine(frame.userLabels, "0 2024-05-06 07:08:09  61.5"),
            "User0 2024-05-06 07:08:09  61.5");

  window.EditUsers();  // cancelled: nothing changes
  EXPECT_EQ(window.userNames[1], "Anna");
}

}  // namespace
