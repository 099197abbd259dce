// gravimo: the scale on the system's Wii Balance Boards.
//   gravimo                              the window
//   gravimo --export-csv FILE [--user N] [--unit kg|lb] [--bmi]
//                                        writes the weight log as CSV to FILE, no window
//   gravimo --import-csv FILE [--user N] adds the CSV file's new records to the log
// Other arguments are ignored, as they always were.
#include <cstdio>
#include <string>
#include <vector>

#include "app/csv_export.h"
#include "app/program.h"
#include "platform/documents.h"
#include "platform/process.h"
#include "resources/tr.h"

namespace {

// The options after FILE: --user 0-3 for both commands; --unit kg|lb and
// --bmi for the export. 0 when one is not understood.
int ReadOptions(const std::vector<std::string>& arguments, bool exporting,
                CsvExportOptions* options) {
  for (size_t i = 3; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    const std::string value = i + 1 < arguments.size() ? arguments[i + 1] : "";
    if (option == "--user" && value.size() == 1 && value[0] >= '0' && value[0] <= '3') {
      options->user = value[0] - '0';
      ++i;
    } else if (exporting && option == "--unit" && (value == "kg" || value == "lb")) {
      options->pounds = value == "lb";
      ++i;
    } else if (exporting && option == "--bmi") {
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
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  const bool exporting = arguments.size() >= 2 && arguments[1] == "--export-csv";
  const bool importing = arguments.size() >= 2 && arguments[1] == "--import-csv";
  if (exporting || importing) {
    CsvExportOptions options;
    if (arguments.size() < 3 || arguments[2].empty() ||
        !ReadOptions(arguments, exporting, &options)) {
      std::fprintf(stderr,
                   exporting
                       ? "usage: gravimo --export-csv FILE [--user 0-3] [--unit kg|lb] [--bmi]\n"
                       : "usage: gravimo --import-csv FILE [--user 0-3]\n");
      return kExitUsage;
    }
    const char* file = arguments[2].c_str();
    return exporting ? RunCsvExport(file, options) : RunCsvImport(file, options.user);
  }
  ProgramSetup setup;
  setup.singleInstance = true;
  return RunProgram(setup);
}
