#pragma once

#include <string>

// Makes a new, empty folder for the demo's log among the user's temporary
// files and returns its path, or "" when none can be made.
std::string MakeLogFolder();
