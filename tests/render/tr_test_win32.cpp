#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "resources/tr.h"

namespace {

// Sets the language variables for one test and takes them away after it.
class TrTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableA("GRAVIMO_LOCALE_DIR", GRAVIMO_TEST_LOCALE_DIR); }
  // Back to the source texts, which the other suites expect; without any
  // variable the user's Windows language would choose.
  void TearDown() override {
    for (const char* name : {"GRAVIMO_LOCALE_DIR", "LANGUAGE", "LC_MESSAGES", "LANG"})
      SetEnvironmentVariableA(name, nullptr);
    SetEnvironmentVariableA("LC_ALL", "C");
    InitTranslations();
    SetEnvironmentVariableA("LC_ALL", nullptr);
  }
  static void Choose(const char* language, const char* locale) {
    SetEnvironmentVariableA("LANGUAGE", language);
    SetEnvironmentVariableA("LC_ALL", locale);
    InitTranslations();
  }
};

TEST_F(TrTest, TheEnvironmentChoosesTheLanguage) {
  Choose("en", "en_US.UTF-8");
  EXPECT_EQ(ShowsSourceTexts(), 0);
  const char* zeroing = Tr("0kg調整中");
  EXPECT_STREQ(zeroing, "Zeroing");
  EXPECT_STREQ(Tr(""), "");
  EXPECT_STREQ(Tr("not in the catalogue"), "not in the catalogue");

  Choose(nullptr, "C");  // a C locale shows the source texts
  EXPECT_EQ(ShowsSourceTexts(), 1);
  EXPECT_STREQ(Tr("0kg調整中"), "0kg調整中");
  EXPECT_STREQ(zeroing, "Zeroing");  // what Tr gave stays valid
  Choose("en", "C");                 // unless LANGUAGE names a language
  EXPECT_STREQ(Tr("0kg調整中"), "Zeroing");

  Choose(nullptr, "en_GB.UTF-8@euro");  // no en_GB catalogue: en
  EXPECT_STREQ(Tr("0kg調整中"), "Zeroing");
  Choose("de:en", nullptr);  // the first language that has a catalogue
  EXPECT_STREQ(Tr("0kg調整中"), "Zeroing");
  Choose(nullptr, "de_DE");
  EXPECT_STREQ(Tr("0kg調整中"), "0kg調整中");

  char figure[16];
  std::snprintf(figure, sizeof figure, "%5.1f", 64.5);
  EXPECT_STREQ(figure, " 64.5");
}

TEST_F(TrTest, ADamagedCatalogueShowsTheSourceTexts) {
  std::ifstream source(GRAVIMO_TEST_LOCALE_DIR "/en/LC_MESSAGES/gravimo.mo", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(source)),
                          std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 100u);
  const std::string folder = ::testing::TempDir() + "gravimo-locale";
  for (const std::string& path : {folder, folder + "/en", folder + "/en/LC_MESSAGES"})
    CreateDirectoryA(path.c_str(), nullptr);
  {
    std::ofstream cut(folder + "/en/LC_MESSAGES/gravimo.mo", std::ios::binary | std::ios::trunc);
    cut << bytes.substr(0, bytes.size() / 2);
  }
  SetEnvironmentVariableA("GRAVIMO_LOCALE_DIR", folder.c_str());
  Choose("en", "en_US");
  EXPECT_EQ(ShowsSourceTexts(), 1);
  EXPECT_STREQ(Tr("0kg調整中"), "0kg調整中");
}

}  // namespace
