// gravimo: the scale on the system's Wii Balance Boards. The command line is
// not used.
#include "app/program.h"
#include "resources/tr.h"

int main() {
  InitTranslations();
  return RunProgram(ProgramSetup{});
}
