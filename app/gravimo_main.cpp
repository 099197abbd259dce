// gravimo: the scale on the system's Wii Balance Boards.
//   gravimo                              the window
//   gravimo --export-csv FILE            writes the weight log as CSV to FILE, no window
//   gravimo --import-csv FILE [--user N] adds the CSV file's new records to the log
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
  if (argc >= 2 && std::strcmp(argv[1], "--import-csv") == 0) {
    int user = -1;
    const bool withUser = argc == 5 && std::strcmp(argv[3], "--user") == 0 &&
                          std::strlen(argv[4]) == 1 && argv[4][0] >= '0' && argv[4][0] <= '3';
    if ((argc != 3 && !withUser) || argv[2][0] == '\0') {
      std::fprintf(stderr, "usage: gravimo --import-csv FILE [--user 0-3]\n");
      return kExitUsage;
    }
    if (withUser)
      user = argv[4][0] - '0';
    return RunCsvImport(argv[2], user);
  }
  ProgramSetup setup;
  setup.singleInstance = true;
  return RunProgram(setup);
}
