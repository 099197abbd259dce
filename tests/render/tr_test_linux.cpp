#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "resources/tr.h"

namespace {

void SetOrRemove(const char* name, const char* value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// Whether a program started with these variables shows English. The
// language is chosen once at start, so each start is a child process.
bool StartsInEnglish(const char* lang, const char* language, const char* all = nullptr) {
  const pid_t child = fork();
  if (child == 0) {
    SetOrRemove("LANG", lang);
    SetOrRemove("LANGUAGE", language);
    SetOrRemove("LC_ALL", all);
    unsetenv("LC_MESSAGES");
    setenv("GRAVIMO_LOCALE_DIR", GRAVIMO_TEST_LOCALE_DIR, 1);
    InitTranslations();
    _exit(std::strcmp(Tr("0kg調整中"), "Zeroing") == 0 ? 0 : 1);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// LANGUAGE chooses English also where LANG is C or unset, and so does a
// LANG that names an English locale this machine has not generated; a C
// locale alone keeps the source texts.
TEST(Translations, EnglishIsChosenByLanguageOrByLocaleName) {
  EXPECT_TRUE(StartsInEnglish("C", "en"));
  EXPECT_TRUE(StartsInEnglish(nullptr, "en"));
  EXPECT_TRUE(StartsInEnglish("en_ZZ.UTF-8", nullptr));
  EXPECT_FALSE(StartsInEnglish("C", nullptr));
  EXPECT_FALSE(StartsInEnglish("en_ZZ.UTF-8", nullptr, "C"));
  EXPECT_FALSE(StartsInEnglish("de_ZZ.UTF-8", nullptr));
}

}  // namespace
