// Correcting the log from the chart, as the keys and the record dialog do
// it: the history and the chart follow, and Z takes the last change back.
#include <string>
#include <vector>

#include "app_test_helpers.h"
#include "window/form_dialog.h"
#include "window/virtual_key.h"

namespace {

constexpr char kThreeRecords[] =
    "log 0 2024-05-01 07:00:00  70.0\r\n"
    "log 1 2024-05-02 07:00:00  60.0\r\n"
    "log 0 2024-05-03 07:00:00  69.5\r\n";

class CorrectionsTest : public AppWindowTest {
 protected:
  CorrectionsTest() {
    WriteWholeFile(window.logPath, kThreeRecords);
    window.LoadHistory();
    window.showMessage = [this](const std::string& text, int) { messages.push_back(text); };
    window.askForm = [this](FormQuestion* form) {
      asked.push_back(*form);
      if (answers.empty())
        return 0;
      for (size_t i = 0; i < form->fields.size(); ++i) {
        form->fields[i].text = answers.front()[i];
        form->fields[i].choice = std::stoi(answers.front()[3]);
      }
      answers.erase(answers.begin());
      return 1;
    };
    Key('G');
  }

  void Key(uint32_t key) { window.OnMessage(nullptr, kWmKeyDown, key, 0); }

  std::vector<std::string> messages;
  std::vector<FormQuestion> asked;
  std::vector<std::vector<std::string>> answers;  // date, time, weight, user
};

TEST_F(CorrectionsTest, DeleteTheSelectedRecordThenUndoIt) {
  Key(kVkDelete);
  EXPECT_EQ(ReadWholeFile(window.logPath), kThreeRecords) << "nothing selected yet";
  Key(kVkLeft);
  Key(kVkLeft);
  ASSERT_NE(window.SelectedRecord(), nullptr);
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 600);
  Key(kVkDelete);
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 0 2024-05-01 07:00:00  70.0\r\nlog 0 2024-05-03 07:00:00  69.5\r\n");
  EXPECT_EQ(ReadWholeFile(window.logPath + ".bak"), kThreeRecords);
  EXPECT_STREQ(window.history[1], "0 2024-05-03 07:00:00  69.5");
  EXPECT_STREQ(window.history[2], "");
  EXPECT_EQ(window.chartLog.records.size(), 2u);

  Key('Z');
  EXPECT_EQ(ReadWholeFile(window.logPath), kThreeRecords);
  EXPECT_EQ(window.SelectedRecord()->tenthsKg, 600) << "the record put back is selected";
  EXPECT_STREQ(window.history[2], "0 2024-05-03 07:00:00  69.5");
  EXPECT_TRUE(messages.empty());
}

TEST_F(CorrectionsTest, ChangeAsksUntilTheAnswerIsARecord) {
  Key(kVkHome);
  answers = {{"2024-02-30", "07:00:00", "70.0", "0"},
             {"2024-05-01", "07:00:00", "0", "0"},
             {"2024-05-01", "07:00:00", "68,25", "2"}};
  Key('E');
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].fields[0].text, "2024-05-01");
  EXPECT_EQ(asked[0].fields[2].text, "70.0");
  EXPECT_EQ(asked[0].fields[3].choice, 0);
  EXPECT_TRUE(asked[0].note.empty());
  EXPECT_FALSE(asked[1].note.empty());
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 2 2024-05-01 07:00:00  68.3\r\n"
            "log 1 2024-05-02 07:00:00  60.0\r\n"
            "log 0 2024-05-03 07:00:00  69.5\r\n");
}

TEST_F(CorrectionsTest, AddByHandInPoundsGoesToItsPlaceInTime) {
  window.settings.unit = WeightUnit::Pounds;
  answers = {{"2024-05-02", "06:30:00", "143.3", "3"}};
  Key('N');
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].fields[0].text, "2024-05-06") << "the form starts at today";
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 0 2024-05-01 07:00:00  70.0\r\n"
            "log 3 2024-05-02 06:30:00  65.0\r\n"
            "log 1 2024-05-02 07:00:00  60.0\r\n"
            "log 0 2024-05-03 07:00:00  69.5\r\n");
  EXPECT_EQ(window.SelectedRecord()->user, 3);

  Key('N');  // cancelled: nothing changes
  EXPECT_EQ(ReadWholeFile(window.logPath + ".bak"), kThreeRecords);
}

TEST_F(CorrectionsTest, RecordGoneFromTheLogIsSaidAndNothingChanges) {
  Key(kVkLeft);
  WriteWholeFile(window.logPath, "log 1 2024-05-02 07:00:00  60.0\r\n");
  Key(kVkDelete);
  EXPECT_EQ(ReadWholeFile(window.logPath), "log 1 2024-05-02 07:00:00  60.0\r\n");
  EXPECT_EQ(messages.size(), 1u);
  Key('Z');
  EXPECT_EQ(messages.size(), 1u) << "nothing to undo";
}

}  // namespace
