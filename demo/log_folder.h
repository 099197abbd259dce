#pragma once

#include <string>

#include "app/program.h"

// Makes a new, empty folder for the demo's log among the user's temporary
// files and returns its path, or "" when none can be made.
std::string MakeLogFolder();

// Where the demo is a window program without a console (Windows), the line
// that says where its log goes becomes its window's title too; on Linux the
// terminal shows the line.
void TellLogFolderInWindow(const std::string& line, ProgramSetup& setup);
