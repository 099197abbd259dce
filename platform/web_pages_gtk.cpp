#include <gio/gio.h>

#include "platform/web_pages.h"
#include "resources/tr.h"

int OpenUriWithDesktop(const char* uri) {
  GError* error = nullptr;
  // Launching hands the address over and returns; a browser that fails to
  // start later is not our concern, and no failure is shown to the user.
  if (!g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    g_error_free(error);
    return 0;
  }
  return 1;
}

std::string LocalManualUri() {
  // Japanese while the screen shows its texts as written, English when a
  // catalogue translates them.
  const bool japanese = ShowsSourceTexts() != 0;
  const char* path = japanese ? GRAVIMO_INSTALLED_MANUAL_JA : GRAVIMO_INSTALLED_MANUAL;
  if (!g_file_test(path, G_FILE_TEST_IS_REGULAR)) {
    path = japanese ? GRAVIMO_SOURCE_MANUAL_JA : GRAVIMO_SOURCE_MANUAL;
  }
  gchar* uri = g_filename_to_uri(path, nullptr, nullptr);
  std::string result = uri != nullptr ? uri : "";
  g_free(uri);
  return result;
}
