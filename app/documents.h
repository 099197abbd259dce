#pragma once

#include <string>

// The user's documents folder, or the home folder when the desktop names
// none; empty only when neither is known.
std::string DocumentsFolder();

// Full path of the weight log file in the documents folder.
std::string LogFilePath();
