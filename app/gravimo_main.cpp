// gravimo: the scale on the system's Wii Balance Boards.
//   gravimo                     the window
//   gravimo --export-csv FILE   writes the weight log as CSV to FILE, no window
// Other arguments are ignored, as they always were.
#include <cstdio>
#include <cstring>

#include "app/program.h"
#include "platform/documents.h"
#include "resources/tr.h"

int main(int argc, char** argv) {
  SettleHomeFolder();
  InitTranslations();
  if (argc >= 2 && std::strcmp(argv[1], "--export-csv") == 0) {
    if (argc != 3 || argv[2][0] == '\0') {
      std::fprintf(stderr, "usage: gravimo --export-csv FILE\n");
      return kExitUsage;
    }
    return RunCsvExport(argv[2]);
  }
  ProgramSetup setup;
  setup.singleInstance = true;
  return RunProgram(setup);
}
