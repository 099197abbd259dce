#pragma once

#include <clocale>
#include <cstdlib>

#include "resources/tr.h"

// Switches the process to the build's English catalogue for the life of the
// object, and back to the C locale after it. (gettext ignores LANGUAGE in the
// plain C locale, not in C.UTF-8.)
class EnglishLocale {
 public:
  EnglishLocale() {
    setenv("GRAVIMO_LOCALE_DIR", GRAVIMO_TEST_LOCALE_DIR, 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("LANGUAGE", "en", 1);
    InitTranslations();
  }
  ~EnglishLocale() {
    unsetenv("LANGUAGE");
    unsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");
  }
  EnglishLocale(const EnglishLocale&) = delete;
  EnglishLocale& operator=(const EnglishLocale&) = delete;
};
