#pragma once

#include <string>

#include "window/window.h"

// The dialogs that save the weight log's records elsewhere or pick a file
// to read, from the platform's toolkit.

// What the save dialog asks for.
struct SaveQuestion {
  const char* title = "";
  std::string folder;              // where the dialog starts, when it exists
  const char* suggestedName = "";  // its extension is the one the dialog offers
  int appends = 0;                 // the file is added to, never replaced: no question
                                   // before an existing one is chosen
};

// Asks where to save: the chosen path, or an empty string when the user
// cancels.
std::string AskSavePath(WindowHandle owner, const SaveQuestion& question);

// Asks which file to read, starting in folder: the chosen path, or an empty
// string when the user cancels.
std::string AskOpenPath(WindowHandle owner, const char* title, const std::string& folder);

// Tells the user how a save went, as information or as an error.
void ShowExportMessage(WindowHandle owner, const std::string& text, int isError);

// Asks whether records that the log file did not take are to be saved in
// another file (1) or left (0); text says which records and which file and
// ends in that question.
int AskToSaveElsewhere(WindowHandle owner, const std::string& text);
