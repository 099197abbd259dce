// gravimo: the scale on the system's Wii Balance Boards.
//   gravimo                              the window
//   gravimo --export-csv FILE [--user N] [--unit kg|lb] [--bmi]
//                                        writes the weight log as CSV to FILE, no window
//   gravimo --import-csv FILE [--user N] adds the CSV file's new records to the log
// Other arguments are ignored, as they always were.
#include <cstdio>
#include <cstring>

#include "app/csv_export.h"
#include "app/program.h"
#include "platform/documents.h"
#include "resources/tr.h"

namespace {

// The options after FILE: --user 0-3 for both commands; --unit kg|lb and
// --bmi for the export. 0 when one is not understood.
int ReadOptions(int argc, char** argv, bool exporting, CsvExportOptions* options) {
  for (int i = 3; i < argc; ++i) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (std::strcmp(option, "--user") == 0 && std::strlen(value) == 1 && value[0] >= '0' &&
        value[0] <= '3') {
      options->user = value[0] - '0';
      ++i;
    } else if (exporting && std::strcmp(option, "--unit") == 0 &&
               (std::strcmp(value, "kg") == 0 || std::strcmp(value, "lb") == 0)) {
      options->pounds = std::strcmp(value, "lb") == 0;
      ++i;
    } else if (exporting && std::strcmp(option, "--bmi") == 0) {
      options->bmi = true;
    } else {
      return 0;
    }
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  SettleHomeFolder();
  InitTranslations();
  const bool exporting = argc >= 2 && std::strcmp(argv[1], "--export-csv") == 0;
  const bool importing = argc >= 2 && std::strcmp(argv[1], "--import-csv") == 0;
  if (exporting || importing) {
    CsvExportOptions options;
    if (argc < 3 || argv[2][0] == '\0' || !ReadOptions(argc, argv, exporting, &options)) {
      std::fprintf(stderr,
                   exporting
                       ? "usage: gravimo --export-csv FILE [--user 0-3] [--unit kg|lb] [--bmi]\n"
                       : "usage: gravimo --import-csv FILE [--user 0-3]\n");
      return kExitUsage;
    }
    return exporting ? RunCsvExport(argv[2], options) : RunCsvImport(argv[2], options.user);
  }
  ProgramSetup setup;
  setup.singleInstance = true;
  return RunProgram(setup);
}
