#pragma once

#include <string>

// Where the weight log file goes, and why, when it is not the documents
// folder.
struct LogLocation {
  std::string path;  // full path of the log file
  std::string note;  // empty when the documents folder was there already
};

// The log file in the user's documents folder. A documents folder that the
// desktop names but that does not exist is made when its parent exists;
// otherwise, or when the desktop names none, the log goes to the home folder.
LogLocation ChooseLogLocation();
