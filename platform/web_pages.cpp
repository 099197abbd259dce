#include "platform/web_pages.h"

#include <cstdio>

#include "resources/tr.h"
#include "resources/web_pages.h"

namespace {

UriOpener installedOpener = nullptr;
PageNotice installedNotice = nullptr;

}  // namespace

UriOpener SetUriOpener(UriOpener opener) {
  UriOpener previous = installedOpener;
  installedOpener = opener;
  return previous;
}

PageNotice SetPageNotice(PageNotice notice) {
  PageNotice previous = installedNotice;
  installedNotice = notice;
  return previous;
}

int OpenUri(const char* uri) {
  if (uri == nullptr || uri[0] == '\0') {
    return 0;
  }
  return (installedOpener != nullptr ? installedOpener : OpenUriWithDesktop)(uri);
}

std::string ManualPageUri() {
  return HelpPageUri(resources::kManualUrl);
}

std::string HelpPageUri(const char* configured) {
  return configured[0] != '\0' ? configured : FileUri(LocalManualPath());
}

int OpenHelpPage(WindowHandle owner, const char* configured) {
  if (OpenUri(HelpPageUri(configured).c_str())) {
    return 1;
  }
  const std::string place = configured[0] != '\0' ? configured : LocalManualPath();
  char text[2048];
  std::snprintf(text, sizeof text,
                Tr("ページを開けませんでした。ブラウザで次の場所を開いてください:\n%s"),
                place.c_str());
  (installedNotice != nullptr ? installedNotice : ShowPageNoticeWithDesktop)(owner, text);
  return 0;
}
