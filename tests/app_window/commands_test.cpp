// The window's message table: which message runs which command, and what
// each handler returns (0 handled, non-zero passed on to the default).
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app_window_fakes_helpers.h"
#include "english_locale.h"
#include "platform/web_pages.h"
#include "resources/chart_texts.h"
#include "resources/menu.h"
#include "resources/web_pages.h"
#include "window/form_dialog.h"

namespace {

using CommandsTest = AppWindowFixture;

constexpr uintptr_t kKeyA = 0x41;
constexpr uintptr_t kKeyC = 0x43;

int Command(AppWindow& window, uintptr_t id) {
  return window.OnMessage(nullptr, kWmCommand, id, 0);
}

void DirtyAllEntries(AppWindow& window) {
  for (DeviceEntry& entry : window.entries) {
    entry.zeroAdjustFrames = 0;
    entry.smoothedWeight = 70.0f;
  }
}

bool AllEntriesZeroAdjusting(const AppWindow& window) {
  for (const DeviceEntry& entry : window.entries) {
    if (entry.zeroAdjustFrames != kZeroAdjustFrames || entry.smoothedWeight != 0.0f) {
      return false;
    }
  }
  return true;
}

TEST_F(CommandsTest, CloseAndExitPostTheQuitMessageWithCodeZero) {
  int code = -1;
  EXPECT_EQ(window.OnMessage(nullptr, kWmDestroy, 0, 0), 0);
  ASSERT_EQ(TakeQuitMessage(&code), 1);
  EXPECT_EQ(code, 0);

  EXPECT_EQ(Command(window, resources::kCommandExit), 0);
  ASSERT_EQ(TakeQuitMessage(&code), 1);
  EXPECT_EQ(code, 0);
}

TEST_F(CommandsTest, KeysAreHandledButAlwaysPassedOn) {
  DirtyAllEntries(window);
  EXPECT_EQ(window.OnMessage(nullptr, kWmKeyDown, kKeyC, 0), 1);
  EXPECT_TRUE(AllEntriesZeroAdjusting(window));

  DirtyAllEntries(window);
  for (uintptr_t key : {uintptr_t{0x42}, uintptr_t{0x61}, uintptr_t{0x63}, uintptr_t{0x0D}}) {
    EXPECT_EQ(window.OnMessage(nullptr, kWmKeyDown, key, 0), 1) << key;
  }
  EXPECT_FALSE(AllEntriesZeroAdjusting(window)) << "only the key code 0x43 adjusts";
  EXPECT_EQ(window.modeFlags.load(), 0) << "only the key code 0x41 registers";

  script.inquiryOpen = false;  // keeps the registration in its pairing phase
  EXPECT_EQ(window.OnMessage(nullptr, kWmKeyDown, kKeyA, 0), 1);
  EXPECT_TRUE(window.modeFlags.load() & ModeRegistering);
  EXPECT_EQ(IsQuitPosted(), 0);
}

TEST_F(CommandsTest, RegisterAndZeroAdjustCommands) {
  DirtyAllEntries(window);
  EXPECT_EQ(Command(window, resources::kCommandZeroAdjust), 0);
  EXPECT_TRUE(AllEntriesZeroAdjusting(window));

  script.inquiryOpen = false;
  EXPECT_EQ(Command(window, resources::kCommandRegister), 0);
  EXPECT_TRUE(window.modeFlags.load() & ModeRegistering);
  EXPECT_TRUE(WaitUntil([&] { return script.Snapshot(&BluetoothScript::inquiries) == 1; }));
}

TEST_F(CommandsTest, MeasureCommandsStartTheirUser) {
  for (int user = 0; user < kUsers; ++user) {
    window.modeFlags.store(0);
    window.frameCount = 9;
    EXPECT_EQ(Command(window, resources::kCommandMeasureUser0 + user), 0);
    EXPECT_EQ(window.currentUser, user);
    EXPECT_TRUE(window.modeFlags.load() & ModeMeasuring);
    EXPECT_EQ(window.frameCount, 0);
  }
  // Only the low word of the parameter is the command id.
  window.modeFlags.store(0);
  EXPECT_EQ(Command(window, (uintptr_t{1} << 16) | resources::kCommandMeasureUser2), 0);
  EXPECT_EQ(window.currentUser, 2);
}

TEST_F(CommandsTest, HelpCommandsOpenTheirPages) {
  EXPECT_EQ(Command(window, resources::kCommandManualPage), 0);
  EXPECT_EQ(Command(window, resources::kCommandProgramPage), 0);
  EXPECT_EQ(Command(window, resources::kCommandBlogPage), 0);
  ASSERT_EQ(openedUris.size(), 3u);
  EXPECT_EQ(openedUris[0], ManualPageUri());
  // Pages without a configured address open the manual.
  EXPECT_EQ(openedUris[1], resources::kProgramUrl[0] ? resources::kProgramUrl : ManualPageUri());
  EXPECT_EQ(openedUris[2], resources::kBlogUrl[0] ? resources::kBlogUrl : ManualPageUri());
  EXPECT_TRUE(pageNotices.empty());
}

int RefuseUri(const char* uri) {
  openedUris.push_back(uri);
  return 0;
}

// Where no program opens web pages, a message names the manual's file, which
// the build has made, so that the user can open it by hand.
TEST_F(CommandsTest, AManualThatNothingOpensIsNamedInAMessage) {
  if (resources::kManualUrl[0] != '\0')
    GTEST_SKIP() << "a web address is configured for the manual";
  SetUriOpener(RefuseUri);
  EXPECT_EQ(Command(window, resources::kCommandManualPage), 0);
  ASSERT_EQ(openedUris.size(), 1u);
  ASSERT_EQ(pageNotices.size(), 1u);
  const std::string path = LocalManualPath();
  EXPECT_NE(pageNotices[0].find("\n" + path), std::string::npos) << pageNotices[0];
  EXPECT_EQ(openedUris[0], FileUri(path));
  EXPECT_TRUE(std::ifstream(path).good()) << path;
}

TEST_F(CommandsTest, UnknownCommandsAndMessagesArePassedOn) {
  DirtyAllEntries(window);
  for (uintptr_t id : {0, 40002, 40004, 40009, 40012, 40026, 0xFFFF}) {
    EXPECT_EQ(Command(window, id), 1) << id;
  }
  for (uint32_t message : {kWmClose, kWmQuit, 0x0000u, 0x0200u}) {
    EXPECT_EQ(window.OnMessage(nullptr, message, kKeyA, 0), 1) << message;
  }
  EXPECT_EQ(window.modeFlags.load(), 0);
  EXPECT_FALSE(AllEntriesZeroAdjusting(window));
  EXPECT_TRUE(openedUris.empty());
  EXPECT_EQ(IsQuitPosted(), 0);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The local manual is in the screen's language: Japanese while the texts
// show untranslated, English with the English catalogue.
TEST(WebPagesTest, ManualIsTheConfiguredAddressOrALocalFileInTheScreensLanguage) {
  const std::string uri = ManualPageUri();
  if (resources::kManualUrl[0] != '\0') {
    EXPECT_EQ(uri, resources::kManualUrl);
    return;
  }
  EXPECT_EQ(uri.rfind("file:///", 0), 0u) << uri;
  EXPECT_TRUE(EndsWith(uri, "/manual.ja.html")) << uri;
  EnglishLocale english;
  EXPECT_TRUE(EndsWith(ManualPageUri(), "/manual.html")) << ManualPageUri();
}

TEST(WebPagesTest, HelpPageIsTheConfiguredAddressOrTheManual) {
  EXPECT_EQ(HelpPageUri(""), ManualPageUri());
  EXPECT_EQ(HelpPageUri("https://pages.example/gravimo"), "https://pages.example/gravimo");
}

TEST(WebPagesTest, EmptyAddressIsNotHandedOver) {
  openedUris.clear();
  SetUriOpener(RecordUri);
  EXPECT_EQ(OpenUri(""), 0);
  EXPECT_EQ(OpenUri(nullptr), 0);
  EXPECT_EQ(OpenUri("https://example.org/"), 1);
  EXPECT_EQ(SetUriOpener(nullptr), &RecordUri);
  ASSERT_EQ(openedUris.size(), 1u);
}

TEST(SetupTest, StartsTheDeviceManagerForTheWiiFamilyAndShowsTheFirstFrameOnce) {
  FakeWiiLib fake;
  FakeWiiLib* wiiLib = &fake;
  int presents = 0;
  {
    AppWindow window(nullptr);
    window.logPath = "/nonexistent-gravimo-folder/Gravimo_log.txt";
    window.settingsFolder = "/nonexistent-gravimo-folder/settings";
    window.createWiiLib = [wiiLib] { return wiiLib; };
    window.firstPresent = [&presents] { ++presents; };
    window.frameSleepMs = 0;
    EXPECT_EQ(window.Setup(), 1);
    EXPECT_EQ(wiiLib->starts.load(), 1);
    EXPECT_EQ(wiiLib->startedVendor.load(), 0x057E);
    EXPECT_EQ(wiiLib->startedProduct.load(), 0x0306);
    ASSERT_NE(window.canvas, nullptr);
    for (int frame = 0; frame < 3; ++frame) {
      window.RenderFrame();
    }
    window.Cleanup();
    EXPECT_EQ(fake.releases.load(), 1);
    EXPECT_EQ(window.canvas, nullptr);
    window.Cleanup();
  }
  EXPECT_EQ(fake.releases.load(), 1) << "the destructor's second Cleanup releases nothing";
  EXPECT_EQ(presents, 1);
}

// The menu's export: the dialog opens in the log's folder, waiting records
// go to the log first, and the result is told. The log itself, which the
// dialog offers by its folder, is refused with a message and stays.
TEST_F(CommandsTest, ExportFromTheMenuWritesTheChosenFileAndSaysSo) {
  std::string chosen = folder + "/weights.csv";
  SaveQuestion asked;
  std::vector<std::pair<std::string, int>> told;
  window.askSavePath = [&](const SaveQuestion& question) {
    asked = question;
    return chosen;
  };
  window.showMessage = [&](const std::string& text, int isError) {
    told.emplace_back(text, isError);
  };
  std::vector<int> choices = {0, 0, 0};  // all users, kg, no BMI
  window.askForm = [&](FormQuestion* form) {
    for (size_t i = 0; i < choices.size(); ++i)
      form->fields[i].choice = choices[i];
    return 1;
  };
  const std::string log = "log 0 2024-05-06 07:08:09  60.5\r\n";
  WriteWholeFile(window.logPath, log);
  window.unwrittenLog.push_back("1 2024-05-07 07:08:09  61.0");
  EXPECT_EQ(Command(window, resources::kCommandExportCsv), 0);
  EXPECT_EQ(asked.folder, folder + "/");
  EXPECT_FALSE(asked.appends);
  EXPECT_EQ(ReadWholeFile(chosen),
            "user,date,time,kg\r\n0,2024-05-06,07:08:09,60.5\r\n1,2024-05-07,07:08:09,61.0\r\n");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].second, 0);
  EXPECT_NE(told[0].first.find("2 件"), std::string::npos) << told[0].first;

  // User1 alone, in pounds, with the body-mass index: 61.0 kg at 1.70 m.
  choices = {2, 1, 1};
  window.userHeightsMm[1] = 1700;
  Command(window, resources::kCommandExportCsv);
  EXPECT_EQ(ReadWholeFile(chosen), "user,date,time,lb,bmi\r\n1,2024-05-07,07:08:09,134.5,21.1\r\n");
  told.clear();

  chosen = window.logPath;
  Command(window, resources::kCommandExportCsv);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].second, 1);
  EXPECT_EQ(told[0].first.find(Tr(resources::kCsvIsTheLog)), 0u) << told[0].first;
  EXPECT_EQ(ReadWholeFile(window.logPath), log + "log 1 2024-05-07 07:08:09  61.0\r\n");
}

// The menu's import says what the file brings before anything is written,
// and counts again when another user is chosen.
TEST_F(CommandsTest, ImportFromTheMenuPreviewsThenMerges) {
  WriteWholeFile(window.logPath, "log 2 2024-05-06 07:08:09  60.5\r\n");
  WriteWholeFile(folder + "/in.csv", "Date,Weight\n2024-05-06 07:08:09,60.5\n2024-05-07,61\nx\n");
  window.askOpenPath = [&](const char*) { return folder + "/in.csv"; };
  std::vector<std::string> notes;
  window.askForm = [&](FormQuestion* form) {
    notes.push_back(form->note);
    form->fields[0].choice = 2;
    return 1;
  };
  std::vector<std::string> told;
  window.showMessage = [&](const std::string& text, int) { told.push_back(text); };
  Command(window, resources::kCommandImportCsv);
  ASSERT_EQ(notes.size(), 2u) << "the counts of User0 first, then of User2";
  EXPECT_NE(notes[0].find("新しい記録 2 件"), std::string::npos) << notes[0];
  EXPECT_NE(notes[1].find("新しい記録 1 件"), std::string::npos) << notes[1];
  EXPECT_NE(notes[1].find("記録済みの 1 件と読めない 1 行"), std::string::npos) << notes[1];
  EXPECT_EQ(ReadWholeFile(window.logPath),
            "log 2 2024-05-06 07:08:09  60.5\r\nlog 2 2024-05-07 00:00:00  61.0\r\n");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_STREQ(window.history[1], "2 2024-05-07 00:00:00  61.0");
}

}  // namespace
