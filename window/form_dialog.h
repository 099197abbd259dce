#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/window.h"

// A small modal form of the platform's toolkit: a line of note, labelled
// text fields and choices, and two buttons. It knows nothing of what the
// fields mean; the caller checks the answers and asks again with a note.

struct FormField {
  std::string label;
  std::string text;                  // a text field's answer, shown first
  std::vector<std::string> choices;  // not empty: a choice among these
  int32_t choice = 0;                // a choice's answer, shown first
};

struct FormQuestion {
  std::string title;
  std::string note;  // shown above the fields, e.g. what was wrong last time
  std::string acceptButton;
  std::string cancelButton;
  std::vector<FormField> fields;
};

// Shows the form until the user accepts it (1, the fields hold the answers)
// or cancels it (0). Return accepts, Escape cancels, Tab moves between fields.
int AskForm(WindowHandle owner, FormQuestion* form);
