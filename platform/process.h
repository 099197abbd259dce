#pragma once

// Sets the process up as its platform expects of a desktop program, before
// anything else runs. On Windows libraries loaded at run time come from the
// system folder only (never a planted one beside the program), and the
// system timer ticks every millisecond for the program's life, so that the
// frame's 33 ms pause lasts 33 ms rather than three ticks of 15.6 ms; Linux
// needs neither.
void PrepareProcess();
