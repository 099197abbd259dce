#pragma once

#include <clocale>
#include <cstdlib>

#include "resources/tr.h"

// Switches the process to the build's English catalogue for the life of the
// object, and back to the source texts after it. (gettext ignores LANGUAGE
// in the plain C locale, not in C.UTF-8.)
class EnglishLocale {
 public:
  EnglishLocale() {
    Set("GRAVIMO_LOCALE_DIR", GRAVIMO_TEST_LOCALE_DIR);
    Set("LC_ALL", "C.UTF-8");
    Set("LANGUAGE", "en");
    InitTranslations();
  }
  ~EnglishLocale() {
    Set("LANGUAGE", nullptr);
#ifdef _WIN32
    // Windows has no C library locale that hides the catalogue: the
    // translations are set up again in the plain C locale.
    Set("LC_ALL", "C");
    InitTranslations();
#endif
    Set("LC_ALL", nullptr);
    std::setlocale(LC_ALL, "C");
  }
  EnglishLocale(const EnglishLocale&) = delete;
  EnglishLocale& operator=(const EnglishLocale&) = delete;

 private:
  // Sets a variable of the environment, or removes it for null.
  static void Set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
#endif
  }
};
