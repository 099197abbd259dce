#include "platform/web_pages.h"

#include "resources/web_pages.h"

namespace {

UriOpener installedOpener = nullptr;

}  // namespace

UriOpener SetUriOpener(UriOpener opener) {
  UriOpener previous = installedOpener;
  installedOpener = opener;
  return previous;
}

int OpenUri(const char* uri) {
  if (uri == nullptr || uri[0] == '\0') {
    return 0;
  }
  return (installedOpener != nullptr ? installedOpener : OpenUriWithDesktop)(uri);
}

std::string ManualPageUri() {
  if (resources::kManualUrl[0] != '\0') {
    return resources::kManualUrl;
  }
  return LocalManualUri();
}

std::string HelpPageUri(const char* configured) {
  return configured[0] != '\0' ? configured : ManualPageUri();
}
