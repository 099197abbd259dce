#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "resources/tr.h"

// Translations through the C library's gettext, from the compiled catalogues
// <folder>/<language>/LC_MESSAGES/gravimo.mo.

namespace {

constexpr char kDomain[] = "gravimo";

const char* CatalogueFolder() {
  const char* chosen = std::getenv("GRAVIMO_LOCALE_DIR");
  if (chosen != nullptr && chosen[0] != '\0') {
    return chosen;
  }
  // An installed program finds its English catalogue; one run from the build
  // folder finds none there and takes the build's.
  if (access(GRAVIMO_INSTALLED_LOCALE_DIR "/en/LC_MESSAGES/gravimo.mo", R_OK) == 0) {
    return GRAVIMO_INSTALLED_LOCALE_DIR;
  }
  return GRAVIMO_BUILD_LOCALE_DIR;
}

// A locale name that asks for no language: C, POSIX or C.<codeset>.
bool AsksForNoLanguage(const char* locale) {
  return locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0 ||
         std::strncmp(locale, "C.", 2) == 0;
}

// The messages locale the environment asks for, as setlocale reads it.
const char* RequestedMessagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0')
      return value;
  }
  return nullptr;
}

// gettext ignores LANGUAGE in the plain C locale, which is what a process
// gets when LANG is C or unset, or names a locale that is not generated on
// this machine. C.UTF-8 takes its place for messages, and a language asked
// for by a locale that could not be set becomes LANGUAGE, which gettext
// reads there.
void KeepTheRequestedLanguage() {
  if (std::strcmp(std::setlocale(LC_MESSAGES, nullptr), "C") != 0 ||
      std::setlocale(LC_MESSAGES, "C.UTF-8") == nullptr) {
    return;
  }
  const char* language = std::getenv("LANGUAGE");
  const char* requested = RequestedMessagesLocale();
  if ((language == nullptr || language[0] == '\0') && !AsksForNoLanguage(requested))
    setenv("LANGUAGE", requested, 1);
}

}  // namespace

const char* Tr(const char* msgid) {
  // gettext answers the empty text with the catalogue's header.
  return msgid[0] != '\0' ? dgettext(kDomain, msgid) : msgid;
}

void InitTranslations() {
  std::setlocale(LC_ALL, "");
  KeepTheRequestedLanguage();
  std::setlocale(LC_NUMERIC, "C");
  bindtextdomain(kDomain, CatalogueFolder());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

int ShowsSourceTexts() {
  // The header is the translation of the empty text; without a catalogue
  // there is none.
  return dgettext(kDomain, "")[0] == '\0' ? 1 : 0;
}
