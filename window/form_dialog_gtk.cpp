#include <gtk/gtk.h>

#include "window/form_dialog.h"

namespace {

// A window the user has closed already parents no dialog.
GtkWindow* AsParent(WindowHandle owner) {
  return owner && gtk_widget_get_realized(GTK_WIDGET(owner)) ? GTK_WINDOW(owner) : nullptr;
}

GtkWidget* NewInput(const FormField& field) {
  if (field.choices.empty()) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), field.text.c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    return entry;
  }
  GtkWidget* combo = gtk_combo_box_text_new();
  for (const std::string& choice : field.choices)
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), choice.c_str());
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), field.choice);
  return combo;
}

void ReadInput(GtkWidget* input, FormField* field) {
  if (field->choices.empty()) {
    field->text = gtk_entry_get_text(GTK_ENTRY(input));
  } else {
    field->choice = gtk_combo_box_get_active(GTK_COMBO_BOX(input));
  }
}

}  // namespace

int AskForm(WindowHandle owner, FormQuestion* form) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      form->title.c_str(), AsParent(owner), GTK_DIALOG_MODAL, form->cancelButton.c_str(),
      GTK_RESPONSE_CANCEL, form->acceptButton.c_str(), GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
  int row = 0;
  if (!form->note.empty()) {
    GtkWidget* note = gtk_label_new(form->note.c_str());
    gtk_label_set_xalign(GTK_LABEL(note), 0.0f);
    gtk_grid_attach(GTK_GRID(grid), note, 0, row++, 2, 1);
  }
  std::vector<GtkWidget*> inputs;
  for (const FormField& field : form->fields) {
    GtkWidget* label = gtk_label_new(field.label.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    GtkWidget* input = NewInput(field);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), input);
    gtk_grid_attach(GTK_GRID(grid), label, 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), input, 1, row++, 1, 1);
    inputs.push_back(input);
  }
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), grid);
  gtk_widget_show_all(dialog);
  const int accepted = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT;
  if (accepted) {
    for (size_t i = 0; i < inputs.size(); ++i)
      ReadInput(inputs[i], &form->fields[i]);
  }
  gtk_widget_destroy(dialog);
  return accepted;
}
