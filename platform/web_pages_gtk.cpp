#include <gtk/gtk.h>

#include "platform/web_pages.h"
#include "resources/tr.h"

int OpenUriWithDesktop(const char* uri) {
  GError* error = nullptr;
  // Launching hands the address over and returns; a browser that fails to
  // start later is not our concern. Where no program takes the address at
  // all, the caller tells the user.
  if (!g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
    g_error_free(error);
    return 0;
  }
  return 1;
}

// A message that does not stop the frames: it closes itself on its button.
void ShowPageNoticeWithDesktop(WindowHandle owner, const std::string& text) {
  GtkWidget* dialog =
      gtk_message_dialog_new(owner ? GTK_WINDOW(owner) : nullptr, GTK_DIALOG_DESTROY_WITH_PARENT,
                             GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), "Gravimo");
  g_signal_connect_swapped(dialog, "response", G_CALLBACK(gtk_widget_destroy), dialog);
  gtk_widget_show(dialog);
}

std::string LocalManualPath() {
  // Japanese while the screen shows its texts as written, English when a
  // catalogue translates them.
  const bool japanese = ShowsSourceTexts() != 0;
  const char* path = japanese ? GRAVIMO_INSTALLED_MANUAL_JA : GRAVIMO_INSTALLED_MANUAL;
  if (!g_file_test(path, G_FILE_TEST_IS_REGULAR)) {
    path = japanese ? GRAVIMO_BUILD_MANUAL_JA : GRAVIMO_BUILD_MANUAL;
  }
  return path;
}

std::string FileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string result = uri != nullptr ? uri : "";
  g_free(uri);
  return result;
}
