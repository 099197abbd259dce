#pragma once

#include <string>

#include "window/window.h"

// The dialogs of the CSV export, from the platform's toolkit.

// Asks where to save the CSV file, starting in folder (when it exists) with
// suggestedName: the chosen path, or an empty string when the user cancels.
std::string AskSavePath(WindowHandle owner, const char* title, const std::string& folder,
                        const char* suggestedName);

// Tells the user how the export went, as information or as an error.
void ShowExportMessage(WindowHandle owner, const std::string& text, int isError);
