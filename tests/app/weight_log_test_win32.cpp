// Windows first, without user32's PostQuitMessage, which the window framework has.
#include "window/win32_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app_test_helpers.h"
#include "support/wide_text.h"

namespace {

// Kanji, a Spanish letter, Greek and an emoji: no ANSI code page holds all of
// them, so only wide calls reach such a folder.
const std::wstring kFolderName = L"体重計 ñ Ω \U0001F600";
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

HKEY CreateVolatileKey(HKEY parent, const wchar_t* name) {
  HKEY key = nullptr;
  RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

// The user's documents folder moved, as its properties in Explorer move it:
// the shell reads the place from the user's registry, which this process
// alone sees in a volatile key of its own instead.
class MovedDocumentsTest : public AppWindowTest {
 protected:
  void SetUp() override {
    documents = std::filesystem::path(WideText(folder.Path())) / kFolderName;
    ASSERT_TRUE(std::filesystem::create_directory(documents));
    user = CreateVolatileKey(HKEY_CURRENT_USER, key.c_str());
    ASSERT_NE(user, nullptr);
    // The shell also writes what it found to Shell Folders beside, which
    // under a volatile key has to be volatile too.
    RegCloseKey(CreateVolatileKey(user, kShellFolders));
    HKEY moved = CreateVolatileKey(user, kUserShellFolders);
    ASSERT_NE(moved, nullptr);
    const std::wstring place = documents.wstring();
    RegSetValueExW(moved, L"Personal", 0, REG_SZ, reinterpret_cast<const BYTE*>(place.c_str()),
                   static_cast<DWORD>((place.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(moved);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user), ERROR_SUCCESS);
    window.logPath.clear();
    window.ChooseLogFile();
  }

  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(user);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  }

  std::string LogText() const {
    std::ifstream in(documents / L"Gravimo_log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  const std::wstring key = L"Software\\Gravimo test " + std::to_wstring(GetCurrentProcessId());
  std::filesystem::path documents;
  HKEY user = nullptr;
};

TEST_F(MovedDocumentsTest, TheLogIsWrittenAndReadBackThere) {
  EXPECT_EQ(window.logPath, Utf8Text(documents.wstring()) + "\\Gravimo_log.txt");
  Append(1, 60.54f);
  EXPECT_EQ(LogText(), "log 1 2024-05-06 07:08:09  60.5\r\n");
  AppWindow nextRun(nullptr);
  nextRun.ChooseLogFile();
  nextRun.LoadHistory();
  EXPECT_STREQ(nextRun.history[0], "1 2024-05-06 07:08:09  60.5");
}

TEST_F(MovedDocumentsTest, TheUnwrittenNoticeAndTheSaveDialogNameTheFolderWhole) {
  std::filesystem::create_directory(documents / L"Gravimo_log.txt");
  Append(0, 70.0f);
  ASSERT_EQ(window.unwrittenLog.size(), 1u);
  std::string notice;
  std::string dialogFolder;
  window.askToSaveElsewhere = [&](const std::string& text) {
    notice = text;
    return 1;
  };
  window.askSavePath = [&](const SaveQuestion& question) {
    dialogFolder = question.folder;
    window.askToSaveElsewhere = nullptr;
    return std::string();
  };
  window.OfferToSaveUnwritten();
  const std::string folderName = Utf8Text(kFolderName);
  EXPECT_NE(notice.find(folderName + "\\Gravimo_log.txt"), std::string::npos) << notice;
  EXPECT_EQ(dialogFolder, Utf8Text(documents.wstring()) + "\\");
}

}  // namespace
