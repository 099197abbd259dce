#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "resources/tr.h"

namespace {

// The language variables as a user sets them, for one test; the ones
// before it and the source texts come back after it.
class LanguageVariables {
 public:
  LanguageVariables(const char* lang, const char* language, const char* all = nullptr) {
    for (int i = 0; i < kCount; ++i) {
      const char* value = std::getenv(kNames[i]);
      saved[i] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    Set("LANG", lang);
    Set("LANGUAGE", language);
    Set("LC_ALL", all);
    Set("LC_MESSAGES", nullptr);
    Set("GRAVIMO_LOCALE_DIR", GRAVIMO_TEST_LOCALE_DIR);
    InitTranslations();
  }
  ~LanguageVariables() {
    for (int i = 0; i < kCount; ++i)
      Set(kNames[i], saved[i] ? saved[i]->c_str() : nullptr);
    std::setlocale(LC_ALL, "C");
  }

 private:
  static constexpr int kCount = 5;
  static constexpr const char* kNames[kCount] = {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES",
                                                 "GRAVIMO_LOCALE_DIR"};
  static void Set(const char* name, const char* value) {
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  std::optional<std::string> saved[kCount];
};

bool ShowsEnglish(const char* lang, const char* language, const char* all = nullptr) {
  LanguageVariables variables(lang, language, all);
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  return std::strcmp(Tr("0kg調整中"), "Zeroing") == 0;
}

// LANGUAGE chooses English also where LANG is C or unset, and so does a
// LANG that names an English locale this machine has not generated; a C
// locale alone keeps the source texts.
TEST(Translations, EnglishIsChosenByLanguageOrByLocaleName) {
  EXPECT_TRUE(ShowsEnglish("C", "en"));
  EXPECT_TRUE(ShowsEnglish(nullptr, "en"));
  EXPECT_TRUE(ShowsEnglish("en_ZZ.UTF-8", nullptr));
  EXPECT_FALSE(ShowsEnglish("C", nullptr));
  EXPECT_FALSE(ShowsEnglish("en_ZZ.UTF-8", nullptr, "C"));
  EXPECT_FALSE(ShowsEnglish("de_ZZ.UTF-8", nullptr));
  EXPECT_STREQ(Tr("0kg調整中"), "0kg調整中");
}

}  // namespace
