#pragma once

#include <string>
#include <vector>

// Sets the process up as its platform expects of a desktop program, before
// its window or any device is opened. On Windows libraries loaded at run
// time come from the system folder only (never a planted one beside the
// program), and the system timer ticks every millisecond for the program's
// life, so that the frame's 33 ms pause lasts 33 ms rather than three ticks
// of 15.6 ms; Linux needs neither.
void PrepareProcess();

// The program's arguments in UTF-8, its own name first. On Windows they come
// from the wide command line, since the runtime's argv holds them in the
// ANSI code page, which cannot spell every file name; elsewhere from argv.
std::vector<std::string> ProgramArguments(int argc, char** argv);
