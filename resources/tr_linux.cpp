#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>

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

}  // namespace

const char* Tr(const char* msgid) {
  // gettext answers the empty text with the catalogue's header.
  return msgid[0] != '\0' ? dgettext(kDomain, msgid) : msgid;
}

void InitTranslations() {
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  bindtextdomain(kDomain, CatalogueFolder());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

int ShowsSourceTexts() {
  // The header is the translation of the empty text; without a catalogue
  // there is none.
  return dgettext(kDomain, "")[0] == '\0' ? 1 : 0;
}
