#include <gtk/gtk.h>

#include "platform/export_dialogs.h"
#include "resources/chart_texts.h"
#include "resources/tr.h"

namespace {

enum : int { kSaveElsewhere = 1, kLeave = 2 };

// A window the user has closed already parents no dialog (the question at
// exit comes after it).
GtkWindow* AsParent(WindowHandle owner) {
  return owner && gtk_widget_get_realized(GTK_WIDGET(owner)) ? GTK_WINDOW(owner) : nullptr;
}

// The native dialog where the desktop offers one (a portal), GTK's own
// otherwise, starting in folder.
GtkFileChooserNative* NewChooser(WindowHandle owner, const char* title, GtkFileChooserAction action,
                                 const char* acceptButton, const std::string& folder) {
  GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
      title, AsParent(owner), action, acceptButton, Tr(resources::kCsvCancelButton));
  if (!folder.empty())
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
  return dialog;
}

// Shows the chooser and lets go of it: the path chosen, or "".
std::string RunChooser(GtkFileChooserNative* dialog) {
  std::string path;
  if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen)
      path = chosen;
    g_free(chosen);
  }
  g_object_unref(dialog);
  return path;
}

}  // namespace

// It asks before replacing an existing file.
std::string AskSavePath(WindowHandle owner, const SaveQuestion& question) {
  GtkFileChooserNative* dialog = NewChooser(owner, question.title, GTK_FILE_CHOOSER_ACTION_SAVE,
                                            Tr(resources::kCsvSaveButton), question.folder);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, question.appends ? FALSE : TRUE);
  gtk_file_chooser_set_current_name(chooser, question.suggestedName);
  return RunChooser(dialog);
}

std::string AskOpenPath(WindowHandle owner, const char* title, const std::string& folder) {
  return RunChooser(NewChooser(owner, title, GTK_FILE_CHOOSER_ACTION_OPEN,
                               Tr(resources::kCsvOpenButton), folder));
}

void ShowExportMessage(WindowHandle owner, const std::string& text, int isError) {
  GtkWidget* dialog = gtk_message_dialog_new(AsParent(owner), GTK_DIALOG_MODAL,
                                             isError ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

// Closing the dialog leaves the records, as the second button does.
int AskToSaveElsewhere(WindowHandle owner, const std::string& text) {
  GtkWidget* dialog = gtk_message_dialog_new(AsParent(owner), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                             GTK_BUTTONS_NONE, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), Tr(resources::kUnwrittenTitle));
  gtk_dialog_add_buttons(GTK_DIALOG(dialog), Tr(resources::kUnwrittenSaveButton), kSaveElsewhere,
                         Tr(resources::kUnwrittenLeaveButton), kLeave, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), kSaveElsewhere);
  const int answer = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return answer == kSaveElsewhere;
}
