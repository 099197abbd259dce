#pragma once

#include <string>

// Where the weight log file goes, and why, when it is not the documents
// folder.
struct LogLocation {
  std::string path;  // full path of the log file
  std::string note;  // empty when the documents folder was there already
};

// Gives the program an empty or unset HOME from the password database, so
// that the toolkit's folders (settings, recent files) are the user's own and
// not relative to the folder the program started in. Called first thing in
// the program's entry, before anything reads HOME. Nothing on Windows,
// whose folders come from the shell.
void SettleHomeFolder();

// The log file in the user's documents folder. A documents folder that the
// desktop names but that does not exist is made when its parent exists;
// otherwise, or when the desktop names none, the log goes to the home folder.
// Never to the root of the system or a relative path: without a home folder
// of the user's own the path is empty, and no log is written.
LogLocation ChooseLogLocation();
